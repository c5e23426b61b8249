// The host's libraries and their file names on this platform: part of the
// contract between a host and its plug-ins, who find them by these names in
// the host's System folder or an extension folder.
#pragma once

#include <array>

namespace com {

enum class THostModule { Workspace, FPGAFlow, DeviceManager, IntegratedLibrary, VHDLEditor, Toolchain };

struct THostModuleName {
    THostModule Module;
    const char* FileName;
};

inline constexpr std::array<THostModuleName, 6> kHostModuleNames = {{
    {THostModule::Workspace, "libtavrel_workspace.so"},
    {THostModule::FPGAFlow, "libtavrel_fpgaflow.so"},
    {THostModule::DeviceManager, "libtavrel_devicemanager.so"},
    {THostModule::IntegratedLibrary, "libtavrel_intlib.so"},
    {THostModule::VHDLEditor, "libtavrel_editvhdl.so"},
    {THostModule::Toolchain, "libtavrel_toolchain.so"},
}};

inline const char* HostModuleFileName(THostModule module)
{
    for (const THostModuleName& entry : kHostModuleNames)
        if (entry.Module == module) return entry.FileName;
    return "";
}

} // namespace com
