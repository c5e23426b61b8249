// The plug-in's two exports. A host asks how many device kinds the library
// serves and then for a driver per kind it needs; every further call goes
// through the driver's dispatch interface.
#include "devices/arria5/DeviceObjects.h"
#include "plugin/com/ComTypes.h"

#define TAVREL_EXPORT extern "C" __attribute__((visibility("default")))

TAVREL_EXPORT com::HRESULT GetTavrelDriverCount(int32_t* count)
{
    if (!count) return com::E_POINTER;
    *count = arria5::kDeviceKindCount;
    return com::S_OK;
}

TAVREL_EXPORT com::HRESULT GetTavrelDriver_Plugin(int32_t kind, com::IDispatch** driver)
{
    if (!driver) return com::E_POINTER;
    *driver = nullptr;
    if (kind < 0 || kind >= arria5::kDeviceKindCount) return com::S_OK;
    try {
        // Drivers are never reference counted and live until the process ends.
        auto* created = new arria5::TDevice_Arria5Driver(kind);
        void* dispatch = nullptr;
        if (com::Failed(created->QueryInterface(com::IID_IDispatch, &dispatch))) return com::E_UNEXPECTED;
        *driver = static_cast<com::IDispatch*>(dispatch);
        return com::S_OK;
    } catch (...) {
        *driver = nullptr;
        return com::E_UNEXPECTED;
    }
}
