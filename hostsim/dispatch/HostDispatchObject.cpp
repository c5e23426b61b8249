#include "hostsim/dispatch/HostDispatchObject.h"

#include "plugin/com/Bstr.h"

#include <cstring>
#include <exception>

namespace hostsim {

com::HRESULT THostDispatchObject::QueryInterface(const com::GUID& iid, void** object)
{
    if (!object) return com::E_POINTER;
    void* found = nullptr;
    if (iid == com::IID_IUnknown || iid == com::IID_IDispatch) found = static_cast<com::IDispatch*>(this);
    else found = QueryExtraInterface(iid);
    *object = found;
    if (!found) return com::E_NOINTERFACE;
    AddRef();
    return com::S_OK;
}

uint32_t THostDispatchObject::AddRef() { return ++FRefs; }

uint32_t THostDispatchObject::Release()
{
    const uint32_t left = --FRefs;
    if (left == 0) delete this;
    return left;
}

com::HRESULT THostDispatchObject::GetTypeInfoCount(uint32_t* count)
{
    if (!count) return com::E_POINTER;
    *count = 0;
    return com::S_OK;
}

com::HRESULT THostDispatchObject::GetTypeInfo(uint32_t, uint32_t, void** typeInfo)
{
    if (typeInfo) *typeInfo = nullptr;
    return com::E_NOTIMPL;
}

com::HRESULT THostDispatchObject::GetIDsOfNames(const com::GUID&, char16_t**, uint32_t, uint32_t, int32_t*)
{
    return com::E_NOTIMPL;
}

com::HRESULT THostDispatchObject::Invoke(int32_t dispid, const com::GUID&, uint32_t, uint16_t,
                                         com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excepInfo,
                                         uint32_t* argErr)
{
    const auto method = FMethods.find(dispid);
    if (method == FMethods.end()) return com::E_NOTIMPL;
    const uint32_t expected = method->second.first;

    com::DISPPARAMS none{nullptr, nullptr, 0, 0};
    const com::DISPPARAMS& args = params ? *params : none;
    if (args.cArgs != expected || (args.cArgs > 0 && !args.rgvarg)) return com::DISP_E_BADPARAMCOUNT;

    try {
        method->second.second(args, result);
        return com::S_OK;
    } catch (const TArgumentMismatch& mismatch) {
        if (argErr) *argErr = mismatch.Position;
        return com::DISP_E_TYPEMISMATCH;
    } catch (const std::exception& error) {
        if (excepInfo) {
            std::memset(excepInfo, 0, sizeof *excepInfo);
            excepInfo->bstrSource = com::BstrFromUtf8(FName);
            excepInfo->bstrDescription = com::BstrFromUtf8(error.what());
            excepInfo->scode = com::E_UNEXPECTED;
        }
        return com::DISP_E_EXCEPTION;
    } catch (...) {
        if (excepInfo) {
            std::memset(excepInfo, 0, sizeof *excepInfo);
            excepInfo->bstrSource = com::BstrFromUtf8(FName);
            excepInfo->bstrDescription = com::BstrFromUtf8("unknown failure");
            excepInfo->scode = com::E_UNEXPECTED;
        }
        return com::DISP_E_EXCEPTION;
    }
}

} // namespace hostsim
