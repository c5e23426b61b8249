#include "hostsim/PluginLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace hostsim {

TPluginLibrary::TPluginLibrary(const std::string& path) : FPath(path)
{
    FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) {
        const char* reason = dlerror();
        throw TPluginError("cannot load plug-in '" + path + "': " + (reason ? reason : "unknown error"));
    }
    FCount = reinterpret_cast<TGetTavrelDriverCount>(dlsym(FHandle, "GetTavrelDriverCount"));
    FDriver = reinterpret_cast<TGetTavrelDriver_Plugin>(dlsym(FHandle, "GetTavrelDriver_Plugin"));
    if (!FCount || !FDriver)
        throw TPluginError("'" + path + "' is not a driver plug-in: the export " +
                           (FCount ? "GetTavrelDriver_Plugin" : "GetTavrelDriverCount") + " is missing");
}

int32_t TPluginLibrary::DriverCount() const
{
    int32_t count = 0;
    const com::HRESULT hr = FCount(&count);
    if (com::Failed(hr)) throw TPluginError("GetTavrelDriverCount failed");
    return count;
}

com::TDispatchRef TPluginLibrary::CreateDriver(int32_t kind) const
{
    com::IDispatch* driver = nullptr;
    const com::HRESULT hr = FDriver(kind, &driver);
    if (com::Failed(hr)) {
        char text[80];
        std::snprintf(text, sizeof text, "GetTavrelDriver_Plugin(%d) failed (status 0x%08X)", static_cast<int>(kind),
                      static_cast<unsigned>(hr));
        throw TPluginError(text);
    }
    com::TDispatchRef reference(driver);
    if (driver) driver->Release();
    return reference;
}

std::string TPluginLibrary::DefaultPath()
{
    if (const char* overridden = std::getenv("ARRIA5_PLUGIN"); overridden && *overridden) return overridden;
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "libarria5drv.so";
    return (program.parent_path().parent_path() / "Extensions" / "Arria5" / "libarria5drv.so").string();
}

} // namespace hostsim
