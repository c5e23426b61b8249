// THost: the whole host stand-in. It builds every host object from a bench
// description, the JTAG chain (simulated, or a remote_bitbang server), one host
// device object per chain position holding the driver of its kind, and loads
// the plug-in the way the real host does. One THost is current per process;
// the host program's exports hand its objects to the plug-in and the modules.
#pragma once

#include "hostsim/PluginLibrary.h"
#include "hostsim/host/BenchConfig.h"
#include "hostsim/host/EventLoop.h"
#include "hostsim/host/HostObjects.h"
#include "hostsim/jtag/JtagChannel.h"
#include "hostsim/jtag/SimChain.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hostsim {

class THost;

// One physical device on a chain as the host keeps it: chain position, channel,
// and the driver serving its kind (none for devices the plug-in does not know).
class TTavrelDevice : public THostDispatchObject {
public:
    TTavrelDevice(THost& host, int32_t position, std::string name);
    int32_t Position() const { return FPosition; }
    const com::TDispatchRef& Driver() const { return FDriver; }
    void SetDriver(com::TDispatchRef driver);
    int AccessDepth = 0;
    std::map<int32_t, int32_t> Registers;

private:
    THost& FHost;
    int32_t FPosition;
    std::string FName;
    com::TDispatchRef FDriver;
};

class THost {
public:
    struct TOptions {
        TBenchConfig Bench = TBenchConfig::Default();
        // The installation folder (holds System/ and Extensions/); empty: the program's.
        std::string ApplicationFolder;
        // Extension folders in registry order; empty: every folder below Extensions/.
        std::vector<std::string> ExtensionFolders;
        bool ManualTime = false;
        // The plug-in to load ("" = the one staged in the extension folder, "-" = none).
        std::string PluginPath;
    };

    explicit THost(TOptions options);
    ~THost();
    THost(const THost&) = delete;
    THost& operator=(const THost&) = delete;

    // The installation folder of the running program (the folder above bin/).
    static std::string InstallationFolder();
    // The host whose objects the program's exports hand out; null when none.
    static THost* Current();

    const TBenchConfig& Config() const { return FOptions.Bench; }
    TEventLoop& Loop() { return FLoop; }
    std::string ApplicationFolder() const { return FApplicationFolder; }
    std::string SystemFolder() const { return FApplicationFolder + "System/"; }

    TClient& Client() const { return *FClient; }
    com::IDispatch* ClientAPI() const { return FClientAPI.Get(); }
    TGUIManager& GUI() const { return *FGUIManager; }
    com::IDispatch* GUIManager() const { return FGUIManager.Get(); }
    com::IDispatch* TimerManager() const { return FTimerManager.Get(); }
    TOptionsManager& Options() const { return *FOptionsManager; }
    com::IDispatch* OptionsManager() const { return FOptionsManager.Get(); }
    TPluginsRegistry& Registry() const { return *FRegistry; }
    com::IDispatch* PluginsRegistry() const { return FRegistry.Get(); }
    TWorkspace& WorkspaceObject() const { return *FWorkspace; }
    com::IDispatch* Workspace() const { return FWorkspace.Get(); }
    TFPGAFlowModule& FlowModule() const { return *FFlowModule; }
    TDeviceManager& DeviceManager() const { return *FDeviceManager; }
    com::IDispatch* ServerModule(const std::string& name) const;
    bool StartServer(const std::string& name);

    // JTAG: one port with one chain.
    jtag::TJtagChannel& Channel() const { return *FChannel; }
    jtag::TSimChain* SimChain() const { return FSimChain.get(); }
    int32_t PortCount() const { return 1; }
    com::IDispatch* Port(int32_t index) const;
    int32_t DeviceCount() const { return static_cast<int32_t>(FDevices.size()); }
    TTavrelDevice& Device(int32_t position) const { return *FDevices.at(static_cast<size_t>(position)); }

    const TPluginLibrary* Plugin() const { return FPlugin.get(); }

    // What the program's exports answer (entry: the module export's name).
    com::HRESULT ModuleObject(const std::string& entry, int32_t index, com::IUnknown** object);
    std::string ExpandRelativePath(const std::string& base, const std::string& relative) const;

private:
    void BuildChain();
    void LoadModules();
    void AttachDrivers();

    TOptions FOptions;
    std::string FApplicationFolder;
    TEventLoop FLoop;
    THostPtr<TClient> FClient;
    THostPtr<TClientAPI> FClientAPI;
    THostPtr<TGUIManager> FGUIManager;
    THostPtr<TTimerManager> FTimerManager;
    THostPtr<TOptionsManager> FOptionsManager;
    THostPtr<TPluginsRegistry> FRegistry;
    THostPtr<TWorkspace> FWorkspace;
    THostPtr<TFPGAFlowModule> FFlowModule;
    THostPtr<TDeviceManager> FDeviceManager;
    std::unique_ptr<jtag::TSimChain> FSimChain;
    THostPtr<jtag::TJtagChannel> FChannel;
    THostPtr<jtag::TJtagPortObject> FPort;
    std::vector<THostPtr<TTavrelDevice>> FDevices;
    std::unique_ptr<TPluginLibrary> FPlugin;
    std::vector<void*> FModules;
};

} // namespace hostsim
