#include "hostsim/host/Host.h"

#include "hostsim/jtag/Arria5Device.h"
#include "hostsim/jtag/RemoteBitbangCable.h"
#include "plugin/com/HostModules.h"

#include <dlfcn.h>

#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace hostsim {

namespace fs = std::filesystem;

namespace {

THost* GCurrentHost = nullptr;

// Driver operations a host device passes on.
constexpr int32_t kDriver_SetTavrelDevice = 503754;
constexpr int32_t kDriver_GetBSDLEntity = 503406;
constexpr int32_t kDriver_ResetDevice = 503786;
constexpr int32_t kDriver_GetDeviceState = 503787;
constexpr int32_t kDriver_ProgramDevice = 503788;

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string ProgramInstallationFolder()
{
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "./";
    fs::path folder = program.parent_path();
    if (folder.filename() == "bin") folder = folder.parent_path();
    return WithSeparator(folder.string());
}

std::pair<std::string, uint16_t> SplitHostPort(const std::string& text)
{
    const size_t colon = text.rfind(':');
    uint16_t port = 0;
    if (colon == std::string::npos || colon == 0) throw TBenchError("remote_bitbang address '" + text + "' is not HOST:PORT");
    const std::string portText = text.substr(colon + 1);
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (ec != std::errc() || end != portText.data() + portText.size() || port == 0)
        throw TBenchError("remote_bitbang address '" + text + "' has no valid port");
    return {text.substr(0, colon), port};
}

} // namespace

// --- Host device ------------------------------------------------------------------

TTavrelDevice::TTavrelDevice(THost& host, int32_t position, std::string name)
    : THostDispatchObject("TavrelDevice"), FHost(host), FPosition(position), FName(std::move(name))
{
    Method(503629, [this] { return FPosition; });
    Method(503630, [this]() -> com::IDispatch* { return static_cast<THostDispatchObject*>(&FHost.Channel()); });
    Method(503635, [this]() -> com::IDispatch* { return FDriver.Get(); });
    for (int32_t dispid : {503380, 503381, 503382, 503384, 503407, 503412}) {
        Method(dispid, [this, dispid] {
            if (FDriver) return FDriver.CallString(dispid);
            return dispid == 503380 || dispid == 503381 ? FName : std::string();
        });
    }
    Method(503636, [this] { return FDriver && FDriver.CallBool(kDriver_ResetDevice); });
    Method(503637, [this] { return FDriver ? FDriver.CallInt(kDriver_GetDeviceState) : 0; });
    Method(503638, [this](std::string file) { return FDriver ? FDriver.CallInt(kDriver_ProgramDevice, {file}) : 0; });
    Method(503661, [](int32_t) -> com::IDispatch* { return nullptr; });
    Method(503666, [this](int32_t address, int32_t) { return Registers[address]; });
    Method(503667, [this](int32_t address, int32_t, int32_t value) { Registers[address] = value; });
    Method(503675, [this] { ++AccessDepth; });
    Method(503676, [this] { --AccessDepth; });
}

void TTavrelDevice::SetDriver(com::TDispatchRef driver) { FDriver = std::move(driver); }

// --- Host -----------------------------------------------------------------------------

THost::THost(TOptions options)
    : FOptions(std::move(options)),
      FApplicationFolder(WithSeparator(FOptions.ApplicationFolder.empty() ? ProgramInstallationFolder()
                                                                          : FOptions.ApplicationFolder)),
      FLoop(FOptions.ManualTime)
{
    if (GCurrentHost) throw std::logic_error("only one host may run in a process");
    FClient = MakeHostObject<TClient>();
    FClientAPI = MakeHostObject<TClientAPI>();
    FGUIManager = MakeHostObject<TGUIManager>();
    FTimerManager = MakeHostObject<TTimerManager>(FLoop);
    FOptionsManager = MakeHostObject<TOptionsManager>();
    FRegistry = MakeHostObject<TPluginsRegistry>();
    FWorkspace = MakeHostObject<TWorkspace>(FOptions.Bench.Projects);
    FFlowModule = MakeHostObject<TFPGAFlowModule>(FOptions.Bench);
    FDeviceManager = MakeHostObject<TDeviceManager>(FOptions.Bench);

    std::vector<std::string> extensions = FOptions.ExtensionFolders;
    if (extensions.empty()) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(FApplicationFolder + "Extensions", ec))
            if (entry.is_directory(ec)) extensions.push_back(entry.path().string());
        std::sort(extensions.begin(), extensions.end());
    }
    for (const std::string& folder : extensions) FRegistry->Add(WithSeparator(folder));

    BuildChain();
    GCurrentHost = this;
    try {
        LoadModules();
        AttachDrivers();
    } catch (...) {
        GCurrentHost = nullptr;
        throw;
    }
}

THost::~THost()
{
    // Detach the drivers first: they hold references to the host devices.
    for (auto& device : FDevices) {
        try {
            if (device->Driver()) device->Driver().Call(kDriver_SetTavrelDevice, {static_cast<com::IDispatch*>(nullptr)});
        } catch (...) {
        }
    }
    if (GCurrentHost == this) GCurrentHost = nullptr;
}

THost* THost::Current() { return GCurrentHost; }

std::string THost::InstallationFolder() { return ProgramInstallationFolder(); }

void THost::BuildChain()
{
    std::vector<int32_t> irLengths;
    for (const TBenchDevice& device : FOptions.Bench.Chain) irLengths.push_back(device.IsArria5 ? 10 : device.IrLength);
    std::shared_ptr<jtag::TJtagCable> cable;
    if (!FOptions.Bench.RemoteBitbang.empty()) {
        const auto [address, port] = SplitHostPort(FOptions.Bench.RemoteBitbang);
        cable = std::make_shared<jtag::TRemoteBitbangCable>(address, port);
    } else {
        FSimChain = std::make_unique<jtag::TSimChain>();
        for (const TBenchDevice& device : FOptions.Bench.Chain) {
            if (device.IsArria5) FSimChain->Emplace<jtag::TArria5Device>(device.Kind);
            else
                FSimChain->Emplace<jtag::TBypassDevice>(device.Name, device.IrLength,
                                                        device.IdCode ? std::optional<uint32_t>(device.IdCode) : std::nullopt);
        }
        cable = std::make_shared<jtag::TSimCable>(*FSimChain);
    }
    FChannel = MakeHostObject<jtag::TJtagChannel>(std::move(cable), irLengths);
    FPort = MakeHostObject<jtag::TJtagPortObject>();
    FChannel->SetPort(FPort.Get());
    for (size_t position = 0; position < FOptions.Bench.Chain.size(); ++position) {
        const TBenchDevice& device = FOptions.Bench.Chain[position];
        FDevices.push_back(MakeHostObject<TTavrelDevice>(*this, static_cast<int32_t>(position),
                                                         device.IsArria5 ? std::string() : device.Name));
    }
}

void THost::LoadModules()
{
    // The host's own libraries are loaded with the host, as a real host does.
    for (const com::THostModuleName& module : com::kHostModuleNames) {
        const std::string path = SystemFolder() + module.FileName;
        std::error_code ec;
        if (!fs::is_regular_file(path, ec)) continue;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL)) FModules.push_back(handle);
    }
}

void THost::AttachDrivers()
{
    if (FOptions.PluginPath == "-") return;
    std::string path = FOptions.PluginPath;
    if (path.empty()) path = FApplicationFolder + "Extensions/Arria5/libarria5drv.so";
    FPlugin = std::make_unique<TPluginLibrary>(path);
    for (size_t position = 0; position < FDevices.size(); ++position) {
        const TBenchDevice& device = FOptions.Bench.Chain[position];
        if (!device.IsArria5) continue;
        com::TDispatchRef driver = FPlugin->CreateDriver(device.Kind);
        if (!driver) continue;
        FDevices[position]->SetDriver(driver);
        driver.Call(kDriver_SetTavrelDevice, {static_cast<com::IDispatch*>(FDevices[position].Get())});
        // The chain's JTAG device carries the boundary-scan description of its kind.
        if (const com::TDispatchRef entity = driver.CallObject(kDriver_GetBSDLEntity))
            FChannel->Device(static_cast<int32_t>(position)).SetBoundaryScanEntity(entity.Get());
    }
}

com::IDispatch* THost::ServerModule(const std::string& name) const
{
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "fpgaflow") return FFlowModule.Get();
    return nullptr;
}

bool THost::StartServer(const std::string& name) { return ServerModule(name) != nullptr || name == "EDITVHDL"; }

com::IDispatch* THost::Port(int32_t index) const { return index == 0 ? FPort.Get() : nullptr; }

com::HRESULT THost::ModuleObject(const std::string& entry, int32_t index, com::IUnknown** object)
{
    if (!object) return com::E_POINTER;
    *object = nullptr;
    com::IDispatch* found = nullptr;
    if (entry == "GetWorkspace") found = FWorkspace.Get();
    else if (entry == "GetTavrelWorkspace") found = FFlowModule.Get();
    else if (entry == "GetDeviceManager") found = FDeviceManager.Get();
    else if (entry == "GetJTagPort") found = Port(index);
    if (found) {
        found->AddRef();
        *object = found;
    }
    return com::S_OK;
}

std::string THost::ExpandRelativePath(const std::string& base, const std::string& relative) const
{
    if (fs::path(relative).is_absolute()) return relative;
    return (fs::path(base).parent_path() / relative).lexically_normal().string();
}

} // namespace hostsim
