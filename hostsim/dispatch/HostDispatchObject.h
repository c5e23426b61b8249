// Base of the dispatch objects the host hands to the plug-in. A subclass
// registers one typed handler per DISPID; Invoke converts the caller's
// arguments (which arrive last-first in DISPPARAMS), runs the handler and stores
// its result. Failures are reported the COM way and never unwind into the caller:
//   unknown DISPID            -> E_NOTIMPL
//   wrong number of arguments -> DISP_E_BADPARAMCOUNT
//   argument does not convert -> DISP_E_TYPEMISMATCH (*argErr = its rgvarg index)
//   handler throws            -> DISP_E_EXCEPTION, EXCEPINFO scode E_UNEXPECTED and
//                                the exception's text as description
// Objects are reference counted and start with one reference, owned by whoever
// created them (normally a THostPtr from MakeHostObject).
#pragma once

#include "plugin/com/ComTypes.h"
#include "plugin/com/Variant.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace hostsim {

class THostDispatchObject : public com::IDispatch {
public:
    THostDispatchObject(const THostDispatchObject&) = delete;
    THostDispatchObject& operator=(const THostDispatchObject&) = delete;

    com::HRESULT QueryInterface(const com::GUID& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    com::HRESULT GetTypeInfoCount(uint32_t* count) override;
    com::HRESULT GetTypeInfo(uint32_t index, uint32_t lcid, void** typeInfo) override;
    com::HRESULT GetIDsOfNames(const com::GUID& iid, char16_t** names, uint32_t nameCount, uint32_t lcid,
                               int32_t* dispids) override;
    com::HRESULT Invoke(int32_t dispid, const com::GUID& iid, uint32_t lcid, uint16_t flags,
                        com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excepInfo,
                        uint32_t* argErr) override;

    uint32_t RefCount() const { return FRefs.load(); }
    // Name used as the source of EXCEPINFO records.
    const std::string& ObjectName() const { return FName; }
    bool HasMethod(int32_t dispid) const { return FMethods.count(dispid) != 0; }

protected:
    explicit THostDispatchObject(std::string name) : FName(std::move(name)) {}
    virtual ~THostDispatchObject() = default;

    // Registers the handler of a DISPID. Argument types: int32_t, int64_t, bool,
    // std::string, com::IDispatch* (borrowed for the call). Result types: void,
    // int32_t, uint32_t, int64_t, bool, std::string, com::IDispatch* (the caller
    // receives its own reference; the handler keeps ownership of what it returns).
    template <class F> void Method(int32_t dispid, F handler);

    // Further interfaces a subclass offers: return the interface pointer for iid
    // (cast from this) or nullptr. QueryInterface adds the reference.
    virtual void* QueryExtraInterface(const com::GUID& iid) { return nullptr; }

private:
    struct TArgumentMismatch {
        uint32_t Position; // rgvarg index of the argument
    };
    using TThunk = std::function<void(const com::DISPPARAMS& params, com::VARIANT* result)>;

    template <class F, class R, class... A> void Register(int32_t dispid, F handler, R (F::*)(A...) const);
    template <class F, class R, class... A> void Register(int32_t dispid, F handler, R (F::*)(A...));
    template <class F, class R, class... A> void RegisterThunk(int32_t dispid, F handler);

    template <class T> static T Convert(const com::DISPPARAMS& params, uint32_t index);
    template <class R> static void Store(com::VARIANT* result, const R& value);

    std::string FName;
    std::atomic<uint32_t> FRefs{1};
    std::unordered_map<int32_t, std::pair<uint32_t, TThunk>> FMethods; // dispid -> (argument count, thunk)
};

// Owning pointer to a host object (one reference).
template <class T> class THostPtr {
public:
    THostPtr() = default;
    THostPtr(std::nullptr_t) {}
    THostPtr(const THostPtr& other) : FObject(other.FObject)
    {
        if (FObject) FObject->AddRef();
    }
    THostPtr(THostPtr&& other) noexcept : FObject(std::exchange(other.FObject, nullptr)) {}
    THostPtr& operator=(THostPtr other) noexcept
    {
        std::swap(FObject, other.FObject);
        return *this;
    }
    ~THostPtr()
    {
        if (FObject) FObject->Release();
    }
    // Takes over a reference the caller already holds.
    static THostPtr Adopt(T* object)
    {
        THostPtr p;
        p.FObject = object;
        return p;
    }
    T* Get() const { return FObject; }
    T* operator->() const { return FObject; }
    T& operator*() const { return *FObject; }
    explicit operator bool() const { return FObject != nullptr; }

private:
    T* FObject = nullptr;
};

template <class T, class... A> THostPtr<T> MakeHostObject(A&&... args)
{
    return THostPtr<T>::Adopt(new T(std::forward<A>(args)...));
}

// ---- implementation of the templates ------------------------------------------

template <class F> void THostDispatchObject::Method(int32_t dispid, F handler)
{
    Register(dispid, std::move(handler), &F::operator());
}

template <class F, class R, class... A>
void THostDispatchObject::Register(int32_t dispid, F handler, R (F::*)(A...) const)
{
    RegisterThunk<F, R, A...>(dispid, std::move(handler));
}

template <class F, class R, class... A>
void THostDispatchObject::Register(int32_t dispid, F handler, R (F::*)(A...))
{
    RegisterThunk<F, R, A...>(dispid, std::move(handler));
}

template <class F, class R, class... A> void THostDispatchObject::RegisterThunk(int32_t dispid, F handler)
{
    constexpr uint32_t count = sizeof...(A);
    TThunk thunk = [handler = std::move(handler)](const com::DISPPARAMS& params, com::VARIANT* result) mutable {
        // Argument i of the operation is rgvarg[count - 1 - i].
        auto args = [&]<size_t... I>(std::index_sequence<I...>) {
            return std::tuple<std::decay_t<A>...>{Convert<std::decay_t<A>>(params, count - 1 - I)...};
        }(std::index_sequence_for<A...>{});
        if constexpr (std::is_void_v<R>) {
            std::apply(handler, std::move(args));
        } else {
            R value = std::apply(handler, std::move(args));
            if (result) Store(result, value);
        }
    };
    FMethods[dispid] = {count, std::move(thunk)};
}

template <class T> T THostDispatchObject::Convert(const com::DISPPARAMS& params, uint32_t index)
{
    const com::VARIANT& v = params.rgvarg[index];
    try {
        if constexpr (std::is_same_v<T, int32_t>) return com::VariantToInt32(v);
        else if constexpr (std::is_same_v<T, int64_t>) return com::VariantToInt64(v);
        else if constexpr (std::is_same_v<T, bool>) return com::VariantToBool(v);
        else if constexpr (std::is_same_v<T, std::string>) return com::VariantToString(v);
        else if constexpr (std::is_same_v<T, com::IDispatch*>) return com::VariantToDispatch(v);
        else static_assert(!sizeof(T), "unsupported argument type");
    } catch (const com::TTypeMismatch&) {
        throw TArgumentMismatch{index};
    }
}

template <class R> void THostDispatchObject::Store(com::VARIANT* result, const R& value)
{
    if constexpr (std::is_same_v<R, int32_t>) com::VariantSetInt32(result, value);
    else if constexpr (std::is_same_v<R, uint32_t>) com::VariantSetInt32(result, static_cast<int32_t>(value));
    else if constexpr (std::is_same_v<R, int64_t>) com::VariantSetInt64(result, value);
    else if constexpr (std::is_same_v<R, bool>) com::VariantSetBool(result, value);
    else if constexpr (std::is_same_v<R, std::string>) com::VariantSetString(result, value);
    else if constexpr (std::is_convertible_v<R, com::IDispatch*>) com::VariantSetDispatch(result, value);
    else static_assert(!sizeof(R), "unsupported result type");
}

} // namespace hostsim
