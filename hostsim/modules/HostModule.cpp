// One of the host's libraries. Each forwards its exports to the host program
// that loaded it (TavrelHost_GetObject), so the objects live in one place.
#include "plugin/com/ComTypes.h"

#include <dlfcn.h>

#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using TGetObject = com::HRESULT (*)(const char* entry, int32_t index, com::IUnknown** object);
using TGetPortCount = com::HRESULT (*)(int32_t* count);

[[maybe_unused]] com::HRESULT Forward(const char* entry, int32_t index, com::IUnknown** object)
{
    if (!object) return com::E_POINTER;
    *object = nullptr;
    auto host = reinterpret_cast<TGetObject>(dlsym(RTLD_DEFAULT, "TavrelHost_GetObject"));
    return host ? host(entry, index, object) : com::E_UNEXPECTED;
}

} // namespace

#if defined(TAVREL_MODULE_WORKSPACE)
MODULE_EXPORT com::HRESULT GetWorkspace(com::IUnknown** workspace) { return Forward("GetWorkspace", 0, workspace); }
#elif defined(TAVREL_MODULE_FPGAFLOW)
MODULE_EXPORT com::HRESULT GetTavrelWorkspace(com::IUnknown** workbench)
{
    return Forward("GetTavrelWorkspace", 0, workbench);
}
#elif defined(TAVREL_MODULE_DEVICEMANAGER)
MODULE_EXPORT com::HRESULT GetDeviceManager(com::IUnknown** manager) { return Forward("GetDeviceManager", 0, manager); }
MODULE_EXPORT com::HRESULT GetJTagPortCount(int32_t* count)
{
    if (!count) return com::E_POINTER;
    *count = 0;
    auto host = reinterpret_cast<TGetPortCount>(dlsym(RTLD_DEFAULT, "TavrelHost_GetPortCount"));
    return host ? host(count) : com::E_UNEXPECTED;
}
MODULE_EXPORT com::HRESULT GetJTagPort(int32_t index, com::IUnknown** port) { return Forward("GetJTagPort", index, port); }
#elif defined(TAVREL_MODULE_INTLIB)
MODULE_EXPORT void LibApi_GetModelTypeManager(com::IUnknown** manager) { Forward("LibApi_GetModelTypeManager", 0, manager); }
MODULE_EXPORT void LibApi_GetLibraryManager(com::IUnknown** manager) { Forward("LibApi_GetLibraryManager", 0, manager); }
#elif defined(TAVREL_MODULE_EDITVHDL)
MODULE_EXPORT com::HRESULT GetEditVHDLSynthesizer(com::IUnknown** synthesizer)
{
    return Forward("GetEditVHDLSynthesizer", 0, synthesizer);
}
#elif defined(TAVREL_MODULE_TOOLCHAIN)
MODULE_EXPORT int32_t TavrelToolchainVersion() { return 1; }
#endif
