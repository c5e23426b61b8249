#include "host/HostAccess.h"

#include "plugin/frame/SupportService.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace hostaccess {

namespace fs = std::filesystem;
using tavrel::SameText;

namespace {

// Entry points of the host: the client, objects handed out by host libraries
// (all take one out parameter and the status-returning ones report failure).
using TVoidObjectEntry = void (*)(com::IUnknown** object);
using TStatusObjectEntry = com::HRESULT (*)(com::IUnknown** object);
using TPortCountEntry = com::HRESULT (*)(int32_t* count);
using TPortEntry = com::HRESULT (*)(int32_t index, com::IUnknown** port);
using TExpandEntry = void (*)(const char* base, const char* relative, char* result, int32_t size);

struct TAccessCache {
    bool ProgramLooked = false;
    TVoidObjectEntry ClientEntry = nullptr;
    TExpandEntry ExpandEntry = nullptr;
    bool Injected = false;
    THostObject Client;
    THostObject ClientAPI;
    std::array<void*, com::kHostModuleNames.size()> Modules{};
    bool WorkbenchServerStarted = false;
};

TAccessCache& Cache()
{
    static TAccessCache cache;
    return cache;
}

std::atomic<int32_t> GApplicationWindowHandle{0};

void LookUpProgramEntries()
{
    TAccessCache& cache = Cache();
    if (cache.ProgramLooked) return;
    cache.ProgramLooked = true;
    void* program = dlopen(nullptr, RTLD_NOW);
    if (!program) return;
    cache.ClientEntry = reinterpret_cast<TVoidObjectEntry>(dlsym(program, "ClientAPI_GetClientInterface"));
    cache.ExpandEntry = reinterpret_cast<TExpandEntry>(dlsym(program, "VFSAPI_VFS_ExpandRelativePath"));
}

// Takes an object handed out by the host as a dispatch interface.
THostObject AsDispatch(com::IUnknown* unknown)
{
    if (!unknown) return {};
    void* dispatch = nullptr;
    THostObject result;
    if (com::Succeeded(unknown->QueryInterface(com::IID_IDispatch, &dispatch)) && dispatch) {
        result = THostObject(static_cast<com::IDispatch*>(dispatch));
        static_cast<com::IDispatch*>(dispatch)->Release();
    }
    unknown->Release();
    return result;
}

void CheckEntryStatus(com::HRESULT status, const char* entry)
{
    if (com::Failed(status))
        throw std::runtime_error(std::string("The host's ") + entry + " failed");
}

template <class Entry> Entry FindEntry(void* module, const char* name)
{
    if (!module) return nullptr;
    return reinterpret_cast<Entry>(dlsym(module, name));
}

THostObject ObjectFromStatusEntry(void* module, const char* name)
{
    auto entry = FindEntry<TStatusObjectEntry>(module, name);
    if (!entry) return {};
    com::IUnknown* object = nullptr;
    CheckEntryStatus(entry(&object), name);
    return AsDispatch(object);
}

THostObject ObjectFromVoidEntry(void* module, const char* name)
{
    auto entry = FindEntry<TVoidObjectEntry>(module, name);
    if (!entry) return {};
    com::IUnknown* object = nullptr;
    entry(&object);
    return AsDispatch(object);
}

size_t ModuleSlot(THostModule module) { return static_cast<size_t>(module); }

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool FolderExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

} // namespace

THostObject GetClient()
{
    TAccessCache& cache = Cache();
    if (cache.Client || cache.Injected) return cache.Client;
    LookUpProgramEntries();
    if (!cache.ClientEntry) return {};
    com::IUnknown* client = nullptr;
    cache.ClientEntry(&client);
    cache.Client = AsDispatch(client);
    return cache.Client;
}

THostObject GetClientAPI()
{
    TAccessCache& cache = Cache();
    if (!cache.ClientAPI) {
        const THostObject client = GetClient();
        if (client) cache.ClientAPI = client.CallObject(dispid::Client_GetClientAPI);
    }
    return cache.ClientAPI;
}

void SetClientForTesting(com::IDispatch* client)
{
    TAccessCache& cache = Cache();
    cache.Client = THostObject(client);
    cache.ClientAPI.Reset();
    cache.Injected = client != nullptr;
}

void ResetHostAccessForTesting()
{
    TAccessCache& cache = Cache();
    cache.Client.Reset();
    cache.ClientAPI.Reset();
    cache.Injected = false;
    cache.WorkbenchServerStarted = false;
    cache.Modules.fill(nullptr);
}

THostObject GetWorkspace() { return ObjectFromStatusEntry(LoadedHostLibrary(THostModule::Workspace), "GetWorkspace"); }

THostObject GetServerModule(const std::string& name)
{
    const THostObject client = GetClient();
    if (!client) return {};
    return client.CallObject(dispid::Client_GetServerModule, {name});
}

THostObject GetSchServer() { return GetServerModule("SCH"); }
THostObject GetPCBServer() { return GetServerModule("PCB"); }
THostObject GetFPGAFlowModule() { return GetServerModule("FPGAFlow"); }

THostObject GetVendorToolManager()
{
    const THostObject flow = GetFPGAFlowModule();
    if (!flow) return {};
    return flow.CallObject(dispid::FPGAFlow_GetVendorToolManager);
}

THostObject GetWorkbench()
{
    TAccessCache& cache = Cache();
    if (!cache.WorkbenchServerStarted) {
        cache.WorkbenchServerStarted = true;
        if (const THostObject client = GetClient()) client.CallBool(dispid::Client_StartServer, {std::string("FPGAFlow")});
    }
    return ObjectFromStatusEntry(LoadedHostLibrary(THostModule::FPGAFlow), "GetTavrelWorkspace");
}

THostObject GetDeviceManager()
{
    return ObjectFromStatusEntry(LoadHostLibrary(THostModule::DeviceManager), "GetDeviceManager");
}

int32_t GetJTagPortCount()
{
    auto entry = FindEntry<TPortCountEntry>(LoadHostLibrary(THostModule::DeviceManager), "GetJTagPortCount");
    if (!entry) return 0;
    int32_t count = 0;
    CheckEntryStatus(entry(&count), "GetJTagPortCount");
    return count;
}

THostObject GetJTagPort(int32_t index)
{
    auto entry = FindEntry<TPortEntry>(LoadHostLibrary(THostModule::DeviceManager), "GetJTagPort");
    if (!entry) return {};
    com::IUnknown* port = nullptr;
    CheckEntryStatus(entry(index, &port), "GetJTagPort");
    return AsDispatch(port);
}

int32_t FindJTagPortIndex(const THostObject& port)
{
    if (!port) return -1;
    for (int32_t i = 0, count = GetJTagPortCount(); i < count; ++i)
        if (GetJTagPort(i).Get() == port.Get()) return i;
    return -1;
}

THostObject GetModelTypeManager()
{
    return ObjectFromVoidEntry(LoadHostLibrary(THostModule::IntegratedLibrary), "LibApi_GetModelTypeManager");
}

THostObject GetIntegratedLibraryManager()
{
    return ObjectFromVoidEntry(LoadHostLibrary(THostModule::IntegratedLibrary), "LibApi_GetLibraryManager");
}

THostObject GetEditVHDLSynthesizer()
{
    void* module = LoadedHostLibrary(THostModule::VHDLEditor);
    if (!module) {
        if (const THostObject client = GetClient()) client.CallBool(dispid::Client_StartServer, {std::string("EDITVHDL")});
        module = LoadedHostLibrary(THostModule::VHDLEditor);
    }
    return ObjectFromStatusEntry(module, "GetEditVHDLSynthesizer");
}

bool IsSilentMode()
{
    const THostObject api = GetClientAPI();
    return api && api.CallBool(dispid::ClientAPI_IsSilentMode);
}

void SetApplicationWindowHandle(int32_t handle) { GApplicationWindowHandle = handle; }
int32_t GetApplicationWindowHandle() { return GApplicationWindowHandle; }

std::string EnsureTrailingChar(std::string text, char ch)
{
    if (text.empty() || text.back() != ch) text.push_back(ch);
    return text;
}

bool IsRelativePath(std::string_view path) { return path.empty() || path.front() != '/'; }

bool IsRelativeHostPath(std::string_view path)
{
    return path.find(':') == std::string_view::npos && !path.starts_with("\\\\");
}

std::string ExpandRelativePath(const std::string& base, const std::string& relative)
{
    LookUpProgramEntries();
    TExpandEntry entry = Cache().ExpandEntry;
    if (!entry) return {};
    std::array<char, 4096> buffer{};
    entry(base.c_str(), relative.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
    buffer.back() = '\0';
    return buffer.data();
}

std::string GetApplicationFolder()
{
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    fs::path folder = program.parent_path();
    if (folder.filename() == "bin") folder = folder.parent_path();
    return EnsureTrailingChar(folder.string(), kPathSeparator);
}

std::string GetSystemFolder() { return GetApplicationFolder() + "System" + kPathSeparator; }

std::string GetEDIFFolder()
{
    const std::string folder = GetClientAPIFolder(dispid::ClientAPI_InstallationFolder);
    return folder + "EDIF" + kPathSeparator;
}

std::string GetClientAPIFolder(int32_t dispid)
{
    const THostObject api = GetClientAPI();
    if (!api) return {};
    return api.CallString(dispid);
}

std::string GetModuleFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&GetModuleFolder), &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    const fs::path module = fs::absolute(info.dli_fname, ec);
    if (ec) return {};
    return EnsureTrailingChar(module.parent_path().string(), kPathSeparator);
}

std::string GetLibraryFolder() { return GetModuleFolder() + "Library" + kPathSeparator; }

std::string GetTempFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return EnsureTrailingChar(folder && *folder ? folder : "/tmp", kPathSeparator);
}

std::string GetLongTempFolder()
{
    const std::string folder = GetTempFolder();
    std::error_code ec;
    const fs::path canonical = fs::canonical(folder, ec);
    return EnsureTrailingChar(ec ? folder : canonical.string(), kPathSeparator);
}

std::string CreateTempFile()
{
    std::string pattern = GetTempFolder() + "ProXXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return {};
    close(fd);
    return pattern;
}

std::string SpecialFolder_EmbeddedExtension()
{
    const char* name = HostModuleFileName(THostModule::Toolchain);
    if (FileExists(GetSystemFolder() + name)) return GetSystemFolder();
    std::string found;
    EnumeratePluginFolders([&](const std::string& folder, bool& stop) {
        if (FileExists(folder + name)) {
            found = folder;
            stop = true;
        }
    });
    return EnsureTrailingChar(found, kPathSeparator);
}

void EnumeratePluginFolders(const std::function<void(const std::string& folder, bool& stop)>& visit)
{
    const THostObject client = GetClient();
    if (!client) return;
    const THostObject registry = client.CallObject(dispid::Client_GetPluginsRegistry);
    if (!registry) return;
    bool stop = false;
    for (int32_t i = 0, count = registry.CallInt(dispid::PluginsRegistry_Count); i < count && !stop; ++i) {
        const THostObject item = registry.CallObject(dispid::PluginsRegistry_Item, {i});
        if (!item || item.CallInt(dispid::PluginsRegistryItem_Skip) != 0) continue;
        visit(EnsureTrailingChar(item.CallString(dispid::PluginsRegistryItem_Folder), kPathSeparator), stop);
    }
}

std::string FindHostLibrary(const std::string& name)
{
    const std::string candidate = EnsureTrailingChar(GetSystemFolder(), kPathSeparator) + name;
    if (FileExists(candidate)) return candidate;
    std::string found;
    EnumeratePluginFolders([&](const std::string& folder, bool& stop) {
        if (!FolderExists(folder)) throw std::runtime_error("The extension folder " + folder + " does not exist");
        if (FileExists(folder + name)) {
            found = folder + name;
            stop = true;
        }
    });
    return found;
}

void* LoadedHostLibrary(THostModule module)
{
    void*& handle = Cache().Modules[ModuleSlot(module)];
    if (!handle) handle = dlopen(HostModuleFileName(module), RTLD_NOW | RTLD_NOLOAD);
    return handle;
}

void* LoadHostLibrary(THostModule module)
{
    void*& handle = Cache().Modules[ModuleSlot(module)];
    if (handle) return handle;
    handle = dlopen(HostModuleFileName(module), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
        const std::string path = FindHostLibrary(HostModuleFileName(module));
        if (!path.empty()) handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    }
    return handle;
}

} // namespace hostaccess
