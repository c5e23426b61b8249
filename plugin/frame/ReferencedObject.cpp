#include "plugin/frame/ReferencedObject.h"

namespace tavrel {

HRESULT TReferencedObject::QueryInterface(const com::GUID& iid, void** object)
{
    if (!object) return com::E_POINTER;
    *object = nullptr;
    if (!(iid == com::IID_IUnknown)) return com::E_NOINTERFACE;
    *object = static_cast<com::IUnknown*>(this);
    AddRef();
    return com::S_OK;
}

uint32_t TReferencedObject::Release()
{
    const int32_t count = --FRefCount;
    if (count == 0) delete this;
    return static_cast<uint32_t>(count);
}

void TReferencedObject::Free(TReferencedObject* object)
{
    if (!object) return;
    if (object->FRefCount.load() != 0) throw std::runtime_error("Invalid Pointer");
    delete object;
}

HRESULT TDispatchObject::QueryInterface(const com::GUID& iid, void** object)
{
    if (!object) return com::E_POINTER;
    *object = nullptr;
    if (iid == com::IID_IDispatch) {
        *object = static_cast<com::IDispatch*>(this);
    } else if (iid == com::IID_IUnknown) {
        *object = static_cast<TReferencedObject*>(this);
    } else {
        return com::E_NOINTERFACE;
    }
    AddRef();
    return com::S_OK;
}

TImplementedDispatchObject::~TImplementedDispatchObject()
{
    for (TAbstractSupportService* implementor : FImplementors) implementor->Release();
}

void TImplementedDispatchObject::AddImplementor(TAbstractSupportService* implementor)
{
    if (!implementor) return;
    implementor->AddRef();
    FImplementors.push_back(implementor);
}

HRESULT TImplementedDispatchObject::Invoke(int32_t dispid, const com::GUID& iid, uint32_t lcid, uint16_t flags,
                                           com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excepInfo,
                                           uint32_t* argErr)
{
    HRESULT status = TDispatchObject::Invoke(dispid, iid, lcid, flags, params, result, excepInfo, argErr);
    for (TAbstractSupportService* implementor : FImplementors) {
        if (status == com::S_OK || status == com::DISP_E_EXCEPTION) break;
        status = implementor->Invoke(dispid, iid, lcid, flags, params, result, excepInfo, argErr);
    }
    return status;
}

} // namespace tavrel
