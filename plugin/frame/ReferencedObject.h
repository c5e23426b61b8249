// Referenced objects: the second family of host-facing objects.
//
// TReferencedObject counts references atomically; the count is 1 while the
// constructor runs and drops to 0 once construction is complete (MakeReferenced),
// so an object that hands itself out during construction is not freed early.
// TDispatchObject adds an IDispatch that answers nothing; TDispatchObjectNoRef
// ignores the host's reference operations and is freed only by its owner.
// TImplementedDispatchObject keeps its dispatch tables in companion
// support-service objects (its implementors) and tries them in order.
#pragma once

#include "plugin/com/ComTypes.h"
#include "plugin/frame/SupportService.h"

#include <atomic>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tavrel {

class TReferencedObject : public com::IUnknown {
public:
    TReferencedObject() = default;
    TReferencedObject(const TReferencedObject&) = delete;
    TReferencedObject& operator=(const TReferencedObject&) = delete;
    virtual ~TReferencedObject() = default;

    HRESULT QueryInterface(const com::GUID& iid, void** object) override;
    uint32_t AddRef() override { return static_cast<uint32_t>(++FRefCount); }
    uint32_t Release() override;

    int32_t RefCount() const { return FRefCount.load(); }

    // Frees an object its owner holds; refuses while references are outstanding.
    static void Free(TReferencedObject* object);

    template <class T, class... A> friend T* MakeReferenced(A&&... args);

protected:
    std::atomic<int32_t> FRefCount{1};
};

template <class T, class... A> T* MakeReferenced(A&&... args)
{
    T* object = new T(std::forward<A>(args)...);
    --static_cast<TReferencedObject*>(object)->FRefCount;
    return object;
}

class TDispatchObject : public TReferencedObject, public com::IDispatch {
public:
    HRESULT QueryInterface(const com::GUID& iid, void** object) override;
    uint32_t AddRef() override { return TReferencedObject::AddRef(); }
    uint32_t Release() override { return TReferencedObject::Release(); }

    HRESULT GetTypeInfoCount(uint32_t*) override { return com::E_NOTIMPL; }
    HRESULT GetTypeInfo(uint32_t, uint32_t, void**) override { return com::E_NOTIMPL; }
    HRESULT GetIDsOfNames(const com::GUID&, char16_t**, uint32_t, uint32_t, int32_t*) override
    {
        return com::E_NOTIMPL;
    }
    HRESULT Invoke(int32_t, const com::GUID&, uint32_t, uint16_t, com::DISPPARAMS*, com::VARIANT*, com::EXCEPINFO*,
                   uint32_t*) override
    {
        return com::E_NOTIMPL;
    }

    com::IDispatch* AsDispatch() { return this; }
};

class TDispatchObjectNoRef : public TDispatchObject {
public:
    uint32_t AddRef() override { return 0; }
    uint32_t Release() override { return 0; }
};

// A data object whose dispatch is done by implementors. Each implementor is a
// support-service object holding a back reference to the data object; the data
// object keeps one reference on each.
class TImplementedDispatchObject : public TDispatchObjectNoRef {
public:
    TImplementedDispatchObject() = default;
    ~TImplementedDispatchObject() override;

    // Takes one reference on the implementor; implementors are tried in the order added.
    void AddImplementor(TAbstractSupportService* implementor);
    size_t ImplementorCount() const { return FImplementors.size(); }
    TAbstractSupportService* Implementor(size_t index) const { return FImplementors[index]; }

    // Tries TDispatchObject's answer, then each implementor until one answers
    // S_OK; a raised failure (DISP_E_EXCEPTION) ends the search at once.
    HRESULT Invoke(int32_t dispid, const com::GUID& iid, uint32_t lcid, uint16_t flags, com::DISPPARAMS* params,
                   com::VARIANT* result, com::EXCEPINFO* excepInfo, uint32_t* argErr) override;

private:
    std::vector<TAbstractSupportService*> FImplementors;
};

} // namespace tavrel
