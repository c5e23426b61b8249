// A driver plug-in loaded the way a host loads it: dlopen, the two exports,
// and dispatch calls on the drivers it hands out.
#pragma once

#include "plugin/com/DispatchRef.h"

#include <stdexcept>
#include <string>

namespace hostsim {

class TPluginError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TPluginLibrary {
public:
    // Loads the library; throws TPluginError naming the file when it cannot.
    explicit TPluginLibrary(const std::string& path);
    TPluginLibrary(const TPluginLibrary&) = delete;
    TPluginLibrary& operator=(const TPluginLibrary&) = delete;
    // The library stays loaded: drivers live until the process ends.
    ~TPluginLibrary() = default;

    const std::string& Path() const { return FPath; }
    int32_t DriverCount() const;
    // A new driver for the kind; empty when the plug-in has none for it.
    com::TDispatchRef CreateDriver(int32_t kind) const;

    TGetTavrelDriverCount CountEntry() const { return FCount; }
    TGetTavrelDriver_Plugin DriverEntry() const { return FDriver; }

    // The plug-in staged next to a host program: <program>/../Extensions/Arria5/libarria5drv.so.
    static std::string DefaultPath();

private:
    std::string FPath;
    void* FHandle = nullptr;
    TGetTavrelDriverCount FCount = nullptr;
    TGetTavrelDriver_Plugin FDriver = nullptr;
};

} // namespace hostsim
