// The plug-in's two exports. A host asks how many device kinds the library
// serves and then for a driver per kind it needs; every further call goes
// through the driver's dispatch interface.
#include "devices/arria5/DeviceObjects.h"
#include "plugin/com/ComTypes.h"

#include <memory>
#include <vector>

#define TAVREL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Drivers live until the process ends. They are kept reachable here (never
// destroyed, not even at unload, since a host may still hold them) so that
// the process's leak checks see owned objects rather than lost ones.
std::vector<std::unique_ptr<arria5::TDevice_Arria5Driver>>& LivingDrivers()
{
    static auto* drivers = new std::vector<std::unique_ptr<arria5::TDevice_Arria5Driver>>();
    return *drivers;
}

} // namespace

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
        auto& drivers = LivingDrivers();
        drivers.reserve(drivers.size() + 1);
        auto* created = drivers.emplace_back(std::make_unique<arria5::TDevice_Arria5Driver>(kind)).get();
        void* dispatch = nullptr;
        if (com::Failed(created->QueryInterface(com::IID_IDispatch, &dispatch))) return com::E_UNEXPECTED;
        *driver = static_cast<com::IDispatch*>(dispatch);
        return com::S_OK;
    } catch (...) {
        *driver = nullptr;
        return com::E_UNEXPECTED;
    }
}
