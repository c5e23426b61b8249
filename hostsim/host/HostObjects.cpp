#include "hostsim/host/HostObjects.h"

#include "hostsim/host/Host.h"
#include "plugin/com/Bstr.h"

#include <algorithm>
#include <cctype>

namespace hostsim {

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A small dispatch object whose operations are given by the caller.
class TLambdaObject : public THostDispatchObject {
public:
    explicit TLambdaObject(std::string name) : THostDispatchObject(std::move(name)) {}
    using THostDispatchObject::Method;
};

TLambdaObject* NewLambdaObject(std::vector<THostPtr<THostDispatchObject>>& owner, std::string name)
{
    auto* object = new TLambdaObject(std::move(name));
    owner.push_back(THostPtr<THostDispatchObject>::Adopt(object));
    return object;
}

} // namespace

THost& CurrentHost()
{
    THost* host = THost::Current();
    if (!host) throw std::runtime_error("The host has shut down");
    return *host;
}

// --- GUI manager, timers, options ---------------------------------------------

TGUIManager::TGUIManager() : THostDispatchObject("GUIManager")
{
    Method(164, [this](int32_t code, std::string text) {
        const TStatusText entry{code, text};
        StatusLog.push_back(entry);
        if (code >= 0) Panels[code] = text;
        if (OnStatus) OnStatus(entry);
    });
    Method(158, [](int32_t, bool, bool, bool) { return false; }); // ProcessShortcut: nothing bound
    Method(156, [] {});
    Method(167, [this](std::string view, bool visible) { VisiblePanels[view] = visible; });
    Method(171, [](std::string, int32_t, int32_t) {});
}

TTimerManager::TTimerManager(TEventLoop& loop) : THostDispatchObject("TimerManager")
{
    Method(268, [&loop](com::IDispatch* handler, int32_t interval, bool enabled) {
        return loop.CreateTimer(handler, interval, enabled);
    });
    Method(269, [&loop](int32_t id) { loop.DestroyTimer(id); });
}

TOptionsManager::TOptionsManager() : THostDispatchObject("OptionsManager")
{
    Method(285, [this](std::string section, std::string) -> com::IDispatch* {
        TLambdaObject* reader = NewLambdaObject(FObjects, "OptionsReader");
        reader->Method(273, [this, section](std::string group, std::string key, bool fallback) {
            const auto found = Values.find(section + "|" + group + "|" + key);
            return found == Values.end() ? fallback : found->second == "True";
        });
        return reader;
    });
    Method(286, [this](std::string section) -> com::IDispatch* {
        TLambdaObject* writer = NewLambdaObject(FObjects, "OptionsWriter");
        writer->Method(281, [this, section](std::string group, std::string key, bool value) {
            Values[section + "|" + group + "|" + key] = value ? "True" : "False";
        });
        return writer;
    });
}

// --- Extension registry ---------------------------------------------------------

TPluginsRegistry::TPluginsRegistry() : THostDispatchObject("PluginsRegistry")
{
    Method(2017, [this] { return static_cast<int32_t>(Items.size()); });
    Method(2018, [this](int32_t index) -> com::IDispatch* {
        if (index < 0 || index >= static_cast<int32_t>(Items.size())) return nullptr;
        return Items[static_cast<size_t>(index)].Get();
    });
}

void TPluginsRegistry::Add(const std::string& folder, bool skip)
{
    TLambdaObject* item = NewLambdaObject(Items, "PluginsRegistryItem");
    item->Method(2009, [folder] { return folder; });
    item->Method(2010, [skip] { return int32_t{skip ? 1 : 0}; });
}

// --- Workspace ---------------------------------------------------------------------

TDocument::TDocument(std::string path) : THostDispatchObject("Document"), Path(std::move(path))
{
    Method(500331, [this] { return Path; });
    Method(100, [this] { ++ExternalUpdates; });
    Method(101, [this] { --ExternalUpdates; });
}

TProjectOptions::TProjectOptions() : THostDispatchObject("ProjectOptions")
{
    Method(378, [this](std::string section, std::string name, std::string value) { Values[Key(section, name)] = value; });
    Method(380, [this](std::string section, std::string name, std::string fallback) {
        const auto found = Values.find(Key(section, name));
        return found == Values.end() ? fallback : found->second;
    });
    Method(381, [this](std::string section, std::string name) { Values.erase(Key(section, name)); });
}

std::string TProjectOptions::Key(const std::string& section, const std::string& name)
{
    return Lower(section) + "|" + Lower(name);
}

TProject::TProject(std::string path, const std::vector<std::string>& documents, std::string userId)
    : THostDispatchObject("Project"), Path(std::move(path)), UserId(std::move(userId)), Options(MakeHostObject<TProjectOptions>())
{
    Method(500094, [this]() -> com::IDispatch* { return Options.Get(); });
    for (const std::string& document : documents) Documents.push_back(MakeHostObject<TDocument>(document));
    Method(500062, [this] { return Path; });
    Method(500081, [this] { return UserId; });
    Method(500047, [this] { return static_cast<int32_t>(Documents.size()); });
    Method(500039, [this](int32_t index) -> com::IDispatch* {
        if (index < 0 || index >= static_cast<int32_t>(Documents.size())) return nullptr;
        return Documents[static_cast<size_t>(index)].Get();
    });
    Method(500134, []() -> com::IDispatch* { return nullptr; }); // no enclosing project
}

TMessagesManager::TMessagesManager() : THostDispatchObject("MessagesManager")
{
    Method(439, [this](std::string cls, std::string text, std::string source, std::string document,
                       std::string process, std::string parameters, int32_t image, bool, std::string, std::string) {
        THostMessage message{cls, text, source, document, process, parameters, image, {}};
        Messages.push_back(message);
        if (OnMessage) OnMessage(message);
    });
    Method(440, [this](std::string record, std::string parameters) {
        THostMessage message;
        message.Record = record;
        message.CallBackParameters = parameters;
        // The record is a parameter string: pick out the fields a reader wants.
        size_t start = 0;
        while (start <= record.size()) {
            const size_t end = std::min(record.find('|', start), record.size());
            const std::string segment = record.substr(start, end - start);
            const size_t equals = segment.find('=');
            if (equals != std::string::npos) {
                const std::string name = segment.substr(0, equals), value = segment.substr(equals + 1);
                if (name == "Class") message.Class = value;
                else if (name == "Text") message.Text = value;
                else if (name == "Source") message.Source = value;
                else if (name == "Document") message.Document = value;
                else if (name == "CallBackProcess") message.CallBackProcess = value;
                else if (name == "ImageIndex") message.ImageIndex = std::atoi(value.c_str());
            }
            start = end + 1;
        }
        Messages.push_back(message);
        if (OnMessage) OnMessage(message);
    });
    Method(445, [this] { ++OpenBatches; });
    Method(446, [this] { --OpenBatches; });
}

TWorkspace::TWorkspace(const std::vector<TBenchProject>& projects)
    : THostDispatchObject("Workspace"), Messages(MakeHostObject<TMessagesManager>())
{
    for (const TBenchProject& project : projects) Projects.push_back(MakeHostObject<TProject>(project.Path, project.Documents, project.UserId));
    Method(501413, [this](std::string path) -> com::IDispatch* { return FindProject(path); });
    Method(508377, [this]() -> com::IDispatch* { return Messages.Get(); });
    Method(469, [this]() -> com::IDispatch* { return Messages.Get(); });
    Method(501423, [this](std::string text, bool, bool) {
        Output.push_back(text);
        if (OnOutput) OnOutput(text);
    });
    Method(501447, [this] { return static_cast<int32_t>(Output.size()); });
}

TProject* TWorkspace::FindProject(const std::string& path) const
{
    for (const auto& project : Projects)
        if (Lower(project->Path) == Lower(path)) return project.Get();
    return nullptr;
}

// --- Vendor tools and the FPGA flow module -----------------------------------------

TVendorToolManager::TVendorToolManager(const TBenchConfig& config) : THostDispatchObject("VendorToolManager")
{
    for (const auto& [vendor, tools] : config.VendorTools)
        for (const auto& [tool, path] : tools) FTools[Lower(vendor)][Lower(tool)] = path;
    for (const auto& [vendor, version] : config.VendorVersions) FVersions[Lower(vendor)] = version;
    Method(509001, [](std::string vendor) -> std::string {
        const std::string v = Lower(vendor);
        if (v == "altera") return "Altera Quartus II";
        if (v == "xilinx") return "Xilinx ISE";
        if (v == "lattice") return "Lattice ispLEVER";
        return {};
    });
    Method(509002, [this](std::string vendor) { return FTools.count(Lower(vendor)) != 0; });
    Method(509003, [this](std::string vendor) { return FTools.count(Lower(vendor)) != 0; });
    Method(509004, [this](std::string vendor, std::string tool) { return ToolPath(vendor, tool); });
    Method(509005, [this](std::string vendor) {
        const auto found = FVersions.find(Lower(vendor));
        return found == FVersions.end() ? std::string() : found->second;
    });
}

std::string TVendorToolManager::ToolPath(const std::string& vendor, const std::string& tool) const
{
    const auto tools = FTools.find(Lower(vendor));
    if (tools == FTools.end()) return {};
    const auto found = tools->second.find(Lower(tool));
    return found == tools->second.end() ? std::string() : found->second;
}

TFPGAFlowModule::TFPGAFlowModule(const TBenchConfig& config)
    : THostDispatchObject("FPGAFlow"), Tools(MakeHostObject<TVendorToolManager>(config))
{
    Method(509009, [this]() -> com::IDispatch* { return Tools.Get(); });
}

// --- Device manager ------------------------------------------------------------------

TDeviceFamily::TDeviceFamily(std::string name, std::map<std::string, std::string> parameters)
    : THostDispatchObject("DeviceFamily"), Name(std::move(name)), Parameters(std::move(parameters))
{
    Method(503992, [this](std::string parameter) { return Find(parameter) != nullptr; });
    Method(503983, [this](std::string parameter) {
        const std::string* value = Find(parameter);
        return value ? *value : std::string();
    });
    Method(503984, [this](std::string parameter) {
        const std::string* value = Find(parameter);
        return value && (Lower(*value) == "true" || *value == "1" || *value == "-1");
    });
    Method(503994, [this](std::string parameter) {
        const std::string* value = Find(parameter);
        if (!value || value->empty()) return false;
        char* end = nullptr;
        std::strtol(value->c_str(), &end, 10);
        return *end == '\0';
    });
    Method(503985, [this](std::string parameter) {
        const std::string* value = Find(parameter);
        return value ? static_cast<int32_t>(std::strtol(value->c_str(), nullptr, 10)) : 0;
    });
}

const std::string* TDeviceFamily::Find(const std::string& name) const
{
    for (const auto& [key, value] : Parameters)
        if (Lower(key) == Lower(name)) return &value;
    return nullptr;
}

TDeviceManager::TDeviceManager(const TBenchConfig& config) : THostDispatchObject("DeviceManager")
{
    for (const auto& [family, parameters] : config.FamilyParameters)
        Families.push_back(MakeHostObject<TDeviceFamily>(family, parameters));
    TLambdaObject* families = NewLambdaObject(FOwned, "DeviceFamilyManager");
    families->Method(503996, [this](std::string name) -> com::IDispatch* { return FindFamily(name); });
    TLambdaObject* generic = NewLambdaObject(FOwned, "GenericDeviceManager");
    for (int32_t dispid : {503975, 503976, 503977}) generic->Method(dispid, [](int32_t, int32_t) { return std::string(); });
    // The device information of a device name: the plug-in's driver for an Arria V kind.
    Method(504000, [this](std::string name) -> com::IDispatch* {
        const int32_t kind = FindArria5Kind(name);
        if (kind < 0) return nullptr;
        com::TDispatchRef& information = FDeviceInformation[kind];
        if (!information)
            if (const TPluginLibrary* plugin = CurrentHost().Plugin()) information = plugin->CreateDriver(kind);
        return information.Get();
    });
    Method(504014, [families]() -> com::IDispatch* { return families; });
    Method(504015, [generic]() -> com::IDispatch* { return generic; });
}

TDeviceFamily* TDeviceManager::FindFamily(const std::string& name) const
{
    for (const auto& family : Families)
        if (Lower(family->Name) == Lower(name)) return family.Get();
    return nullptr;
}

// --- Client ----------------------------------------------------------------------------

TClientAPI::TClientAPI() : THostDispatchObject("ClientAPI")
{
    Method(770, [] { return CurrentHost().ApplicationFolder(); });
    Method(773, [] { return CurrentHost().SystemFolder() + "Images/"; });
    Method(774, [] { return CurrentHost().SystemFolder() + "Buttons/"; });
    Method(787, [] { return CurrentHost().SystemFolder() + "Drivers/"; });
    Method(791, [this](int32_t) { ++CursorBusy; });
    Method(792, [this] { CursorBusy = 0; });
    Method(793, [] { return CurrentHost().Config().SilentMode; });
    Method(963, [](std::string) { return false; });
    Method(964, [](std::string) { return false; });
}

TClient::TClient() : THostDispatchObject("Client")
{
    Method(486, [] { return int32_t{0x10001}; }); // main window handle token
    Method(490, []() -> com::IDispatch* { return nullptr; });
    Method(491, [this](std::string path) -> com::IDispatch* {
        auto& document = FServerDocuments[Lower(path)];
        if (!document) document = MakeHostObject<TDocument>(path);
        return document.Get();
    });
    Method(492, [] { return int32_t{0x10001}; });
    Method(494, [this]() -> com::IDispatch* { return CurrentHost().GUIManager(); });
    Method(496, [this](std::string name) -> com::IDispatch* { return CurrentHost().ServerModule(name); });
    Method(504, [] { return true; });
    Method(507, [this](std::string name) {
        StartedServers.push_back(name);
        return CurrentHost().StartServer(name);
    });
    Method(513, [this](com::IDispatch* view) { FServerViews.emplace_back(view); });
    Method(514, [](std::string) -> com::IDispatch* { return nullptr; });
    Method(527, [this](com::IDispatch* handler) { CurrentHost().Loop().RegisterNotificationHandler(handler); });
    Method(528, [this](com::IDispatch* handler) { CurrentHost().Loop().UnregisterNotificationHandler(handler); });
    Method(531, [this]() -> com::IDispatch* { return CurrentHost().TimerManager(); });
    Method(532, [this](com::IDispatch* view) {
        std::erase_if(FServerViews, [&](const com::TDispatchRef& v) { return v.Get() == view; });
    });
    Method(533, [this]() -> com::IDispatch* { return CurrentHost().OptionsManager(); });
    Method(548, [] { return std::string("arria5 host"); });
    Method(565, [this]() -> com::IDispatch* { return CurrentHost().Workspace(); });
    Method(795, [this]() -> com::IDispatch* { return CurrentHost().ClientAPI(); });
    Method(2027, [this]() -> com::IDispatch* { return CurrentHost().PluginsRegistry(); });
    // The plug-in's "pump the message loop": timers and posted work run here.
    Method(kClient_ProcessMessages, [this] { CurrentHost().Loop().ProcessMessages(); });
}

com::HRESULT TClient::Invoke(int32_t dispid, const com::GUID& iid, uint32_t lcid, uint16_t flags,
                             com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* excepInfo, uint32_t* argErr)
{
    if (dispid != 625) return THostDispatchObject::Invoke(dispid, iid, lcid, flags, params, result, excepInfo, argErr);
    // RunProcess(ProcessName, var Parameters, View)
    if (!params || !params->rgvarg || params->cArgs < 3) return com::DISP_E_BADPARAMCOUNT;
    com::VARIANT* args = params->rgvarg + (params->cArgs - 3);
    com::VARIANT& parameterArg = args[1];
    try {
        const std::string process = com::VariantToString(args[2]);
        std::string parameters = com::VariantToString(parameterArg);
        ProcessRuns.push_back({process, parameters});
        for (auto& [name, handler] : Processes)
            if (Lower(name) == Lower(process)) handler(parameters);
        if (parameterArg.vt == (com::VT_BYREF | com::VT_VARIANT) && parameterArg.pvarVal)
            com::VariantSetString(parameterArg.pvarVal, parameters);
        else if (parameterArg.vt == (com::VT_BYREF | com::VT_BSTR) && parameterArg.pbstrVal) {
            com::BstrFree(*parameterArg.pbstrVal);
            *parameterArg.pbstrVal = com::BstrFromUtf8(parameters);
        }
    } catch (const com::TTypeMismatch&) {
        return com::DISP_E_TYPEMISMATCH;
    } catch (...) {
        return com::DISP_E_EXCEPTION;
    }
    return com::S_OK;
}

} // namespace hostsim
