#include "plugin/com/DispatchRef.h"

#include "plugin/com/Bstr.h"
#include "plugin/com/Variant.h"

#include <cstdio>

namespace com {

TDispatchRef::TDispatchRef(IDispatch* object) : FObject(object)
{
    if (FObject) FObject->AddRef();
}

TDispatchRef::TDispatchRef(const TDispatchRef& other) : TDispatchRef(other.FObject) {}

TDispatchRef::TDispatchRef(TDispatchRef&& other) noexcept : FObject(other.FObject) { other.FObject = nullptr; }

TDispatchRef& TDispatchRef::operator=(TDispatchRef other) noexcept
{
    std::swap(FObject, other.FObject);
    return *this;
}

TDispatchRef::~TDispatchRef() { Reset(); }

void TDispatchRef::Reset()
{
    if (FObject) FObject->Release();
    FObject = nullptr;
}

void TDispatchRef::Invoke(int32_t dispid, const std::vector<TDispatchArg>& args, VARIANT* result) const
{
    if (!FObject) return;
    const size_t n = args.size();
    std::vector<VARIANT> packed(n);
    std::vector<VARIANT_BOOL> byRef(n, VARIANT_FALSE);
    struct TCleanup {
        std::vector<VARIANT>& Items;
        ~TCleanup()
        {
            for (VARIANT& v : Items)
                if (v.vt == VT_BSTR) BstrFree(v.bstrVal);
        }
    } cleanup{packed};
    for (size_t i = 0; i < n; ++i) {
        VARIANT& v = packed[n - 1 - i];
        VariantInit(&v);
        std::visit(
            [&](const auto& value) {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, int32_t>) v.vt = VT_I4, v.lVal = value;
                else if constexpr (std::is_same_v<T, int64_t>) v.vt = VT_I8, v.llVal = value;
                else if constexpr (std::is_same_v<T, bool>)
                    v.vt = VT_BOOL, v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
                else if constexpr (std::is_same_v<T, std::string>) v.vt = VT_BSTR, v.bstrVal = BstrFromUtf8(value);
                else if constexpr (std::is_same_v<T, IDispatch*>) v.vt = VT_DISPATCH, v.pdispVal = value;
                else if constexpr (std::is_same_v<T, bool*>) {
                    byRef[n - 1 - i] = (value && *value) ? VARIANT_TRUE : VARIANT_FALSE;
                    v.vt = VT_BYREF | VT_BOOL;
                    v.pboolVal = &byRef[n - 1 - i];
                }
            },
            args[i]);
    }
    DISPPARAMS params{packed.data(), nullptr, static_cast<uint32_t>(n), 0};
    EXCEPINFO info{};
    uint32_t argErr = 0;
    const HRESULT hr =
        FObject->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, result, &info, &argErr);
    std::string description = BstrToUtf8(info.bstrDescription);
    BstrFree(info.bstrDescription);
    BstrFree(info.bstrSource);
    BstrFree(info.bstrHelpFile);
    if (Failed(hr)) {
        if (description.empty())
        {
            char text[96];
            std::snprintf(text, sizeof text, "Operation %d failed (status 0x%08X)", static_cast<int>(dispid),
                          static_cast<unsigned>(hr));
            description = text;
        }
        throw TDispatchCallError(description);
    }
    for (size_t i = 0; i < n; ++i)
        if (auto* flag = std::get_if<bool*>(&args[i]); flag && *flag) **flag = byRef[n - 1 - i] != 0;
}

template <class T, class Convert>
T TDispatchRef::InvokeAs(int32_t dispid, const std::vector<TDispatchArg>& args, Convert convert) const
{
    TVariant result;
    Invoke(dispid, args, &result);
    return convert(result);
}

void TDispatchRef::Call(int32_t dispid, const std::vector<TDispatchArg>& args) const
{
    InvokeAs<int>(dispid, args, [](const VARIANT&) { return 0; });
}

std::string TDispatchRef::CallString(int32_t dispid, const std::vector<TDispatchArg>& args) const
{
    return InvokeAs<std::string>(dispid, args, VariantToString);
}

int32_t TDispatchRef::CallInt(int32_t dispid, const std::vector<TDispatchArg>& args) const
{
    return InvokeAs<int32_t>(dispid, args, VariantToInt32);
}

int64_t TDispatchRef::CallInt64(int32_t dispid, const std::vector<TDispatchArg>& args) const
{
    return InvokeAs<int64_t>(dispid, args, VariantToInt64);
}

bool TDispatchRef::CallBool(int32_t dispid, const std::vector<TDispatchArg>& args) const
{
    return InvokeAs<bool>(dispid, args, VariantToBool);
}

TDispatchRef TDispatchRef::CallObject(int32_t dispid, const std::vector<TDispatchArg>& args) const
{
    return InvokeAs<TDispatchRef>(dispid, args, [](const VARIANT& v) { return TDispatchRef(VariantToDispatch(v)); });
}

} // namespace com
