// The host objects a plug-in talks to, each a dispatch object answering the
// DISPIDs the host defines: client and client API, GUI manager, timers,
// options, the extension registry, workspace with projects, documents and
// messages, the FPGA flow module with its vendor tool manager, and the device
// manager with its families.
#pragma once

#include "hostsim/dispatch/HostDispatchObject.h"
#include "hostsim/host/BenchConfig.h"
#include "hostsim/host/EventLoop.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace hostsim {

class THost;

// The client operation through which a plug-in pumps the host's message loop.
inline constexpr int32_t kClient_ProcessMessages = 60001;

// A status-bar write, a message-panel record, a host process run.
struct TStatusText {
    int32_t Code;
    std::string Text;
};
struct THostMessage {
    std::string Class, Text, Source, Document, CallBackProcess, CallBackParameters;
    int32_t ImageIndex = 0;
    std::string Record; // the parameter-string record of a posted message (operation 440)
};
struct TProcessRun {
    std::string Process;
    std::string Parameters;
};

class TGUIManager : public THostDispatchObject {
public:
    TGUIManager();
    std::vector<TStatusText> StatusLog;
    std::map<int32_t, std::string> Panels; // code >= 0: the panel's text
    std::function<void(const TStatusText&)> OnStatus;
    std::map<std::string, bool> VisiblePanels;
};

class TTimerManager : public THostDispatchObject {
public:
    explicit TTimerManager(TEventLoop& loop);
};

class TOptionsManager : public THostDispatchObject {
public:
    TOptionsManager();
    std::map<std::string, std::string> Values; // "Section|Group|Key" -> text

private:
    std::vector<THostPtr<THostDispatchObject>> FObjects; // readers and writers handed out
};

class TPluginsRegistry : public THostDispatchObject {
public:
    TPluginsRegistry();
    void Add(const std::string& folder, bool skip = false);
    std::vector<THostPtr<THostDispatchObject>> Items;
};

class TDocument : public THostDispatchObject {
public:
    explicit TDocument(std::string path);
    const std::string Path;
    int ExternalUpdates = 0; // open Begin/EndExternalUpdate brackets
};

// A project's option storage: text values under (section, name), both compared
// without regard to case (operations 378 write, 380 read, 381 remove).
class TProjectOptions : public THostDispatchObject {
public:
    TProjectOptions();
    static std::string Key(const std::string& section, const std::string& name);
    std::map<std::string, std::string> Values; // Key(section, name) -> text
};

class TProject : public THostDispatchObject {
public:
    TProject(std::string path, const std::vector<std::string>& documents, std::string userId = {});
    const std::string Path;
    std::string UserId; // operation 500081
    std::vector<THostPtr<TDocument>> Documents;
    THostPtr<TProjectOptions> Options; // operation 500094
};

class TMessagesManager : public THostDispatchObject {
public:
    TMessagesManager();
    std::vector<THostMessage> Messages;
    int OpenBatches = 0;
    std::function<void(const THostMessage&)> OnMessage;
};

class TWorkspace : public THostDispatchObject {
public:
    explicit TWorkspace(const std::vector<TBenchProject>& projects);
    TProject* FindProject(const std::string& path) const;
    std::vector<THostPtr<TProject>> Projects;
    THostPtr<TMessagesManager> Messages;
    std::vector<std::string> Output; // the output panel's lines
    std::function<void(const std::string&)> OnOutput;
};

class TVendorToolManager : public THostDispatchObject {
public:
    explicit TVendorToolManager(const TBenchConfig& config);
    std::string ToolPath(const std::string& vendor, const std::string& tool) const;

private:
    std::map<std::string, std::map<std::string, std::string>> FTools;
    std::map<std::string, std::string> FVersions;
};

class TFPGAFlowModule : public THostDispatchObject {
public:
    explicit TFPGAFlowModule(const TBenchConfig& config);
    THostPtr<TVendorToolManager> Tools;
};

class TDeviceFamily : public THostDispatchObject {
public:
    TDeviceFamily(std::string name, std::map<std::string, std::string> parameters);
    const std::string Name;
    std::map<std::string, std::string> Parameters;
    const std::string* Find(const std::string& name) const;
};

class TDeviceManager : public THostDispatchObject {
public:
    explicit TDeviceManager(const TBenchConfig& config);
    TDeviceFamily* FindFamily(const std::string& name) const;
    std::vector<THostPtr<TDeviceFamily>> Families;

private:
    std::vector<THostPtr<THostDispatchObject>> FOwned; // family manager, generic device manager
    std::map<int32_t, com::TDispatchRef> FDeviceInformation; // by Arria V kind: the plug-in's driver
};

// The running host; the client objects answer for it, so a plug-in that keeps
// the client across hosts (tests run several in one process) reaches the current one.
THost& CurrentHost();

class TClientAPI : public THostDispatchObject {
public:
    TClientAPI();
    int CursorBusy = 0;
};

class TClient : public THostDispatchObject {
public:
    TClient();
    // RunProcess passes its parameter text by reference, so it is handled here.
    com::HRESULT Invoke(int32_t dispid, const com::GUID& iid, uint32_t lcid, uint16_t flags, com::DISPPARAMS* params,
                        com::VARIANT* result, com::EXCEPINFO* excepInfo, uint32_t* argErr) override;
    std::vector<TProcessRun> ProcessRuns;
    // Process handlers by name (any letter case); they may change the parameter text.
    std::map<std::string, std::function<void(std::string& parameters)>> Processes;
    std::vector<std::string> StartedServers;

private:
    std::map<std::string, THostPtr<TDocument>> FServerDocuments;
    std::vector<com::TDispatchRef> FServerViews;
};

} // namespace hostsim
