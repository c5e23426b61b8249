#include "plugin/frame/SupportService.h"

#include "plugin/com/Bstr.h"
#include "plugin/frame/DispatchTable.h"

namespace tavrel {

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool SameTextAny(std::string_view name, std::initializer_list<std::string_view> names)
{
    for (std::string_view candidate : names)
        if (SameText(name, candidate)) return true;
    return false;
}

HRESULT TAbstractSupportService::QueryInterface(const com::GUID& iid, void** object)
{
    if (!object) return com::E_POINTER;
    *object = nullptr;
    if (iid == com::IID_IDispatch) {
        *object = static_cast<com::IDispatch*>(this);
    } else if (iid == com::IID_ISupportService || iid == com::IID_IUnknown) {
        *object = static_cast<com::ISupportService*>(this);
    } else {
        return com::E_NOINTERFACE;
    }
    AddRef();
    return com::S_OK;
}

uint32_t TAbstractSupportService::AddRef() { return static_cast<uint32_t>(++FRefCount); }

uint32_t TAbstractSupportService::Release()
{
    const int32_t count = --FRefCount;
    if (count == 0) delete this;
    return static_cast<uint32_t>(count);
}

HRESULT TAbstractSupportService::GetTypeInfoCount(uint32_t*) { return com::E_NOTIMPL; }
HRESULT TAbstractSupportService::GetTypeInfo(uint32_t, uint32_t, void**) { return com::E_NOTIMPL; }
HRESULT TAbstractSupportService::GetIDsOfNames(const com::GUID&, char16_t**, uint32_t, uint32_t, int32_t*)
{
    return com::E_NOTIMPL;
}

HRESULT TAbstractSupportService::Invoke(int32_t dispid, const com::GUID&, uint32_t, uint16_t, com::DISPPARAMS* params,
                                        com::VARIANT* result, com::EXCEPINFO* excepInfo, uint32_t* argErr)
{
    const TInvokeContext context{params, result, excepInfo, argErr};
    try {
        return DispatchInvoke(dispid, context);
    } catch (const std::exception& e) {
        return ReportFailure(context, e.what());
    } catch (...) {
        return ReportFailure(context, "Unknown failure");
    }
}

HRESULT TAbstractSupportService::SupportsService(com::BSTR name, com::VARIANT_BOOL* supported)
{
    if (!supported) return com::E_POINTER;
    try {
        *supported = SupportsServiceName(com::BstrToUtf8(name)) ? com::VARIANT_TRUE : com::VARIANT_FALSE;
        return com::S_OK;
    } catch (...) {
        *supported = com::VARIANT_FALSE;
        return com::E_UNEXPECTED;
    }
}

HRESULT TAbstractSupportService::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    if (dispid == kDispId_SupportsService) return Thunk<&TAbstractSupportService::SupportsServiceByName>(*this, context);
    return com::E_NOTIMPL;
}

HRESULT ReportFailure(const TInvokeContext& context, std::string_view message)
{
    if (com::EXCEPINFO* info = context.ExcepInfo) {
        try {
            com::BSTR description = com::BstrFromUtf8(message);
            com::BSTR source = com::BstrFromUtf8("arria5drv");
            info->wCode = 0;
            info->wReserved = 0;
            info->bstrSource = source;
            info->bstrDescription = description;
            info->bstrHelpFile = nullptr;
            info->dwHelpContext = 0;
            info->pvReserved = nullptr;
            info->pfnDeferredFillIn = nullptr;
            info->scode = com::E_UNEXPECTED;
        } catch (...) {
            info->scode = com::E_UNEXPECTED;
        }
    }
    return com::DISP_E_EXCEPTION;
}

} // namespace tavrel
