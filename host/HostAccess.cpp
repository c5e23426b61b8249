#include "host/HostAccess.h"

#include "plugin/frame/SupportService.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <system_error>

namespace hostaccess {

using tavrel::SameText;

namespace {

using TClientEntry = void (*)(com::IUnknown** client);

struct TClientCache {
    bool Looked = false;
    THostObject Client;
    THostObject ClientAPI;
    bool Injected = false;
};

TClientCache& Cache()
{
    static TClientCache cache;
    return cache;
}

std::atomic<int32_t> GApplicationWindowHandle{0};

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

} // namespace

THostObject GetClient()
{
    TClientCache& cache = Cache();
    if (cache.Client || cache.Injected) return cache.Client;
    if (cache.Looked) return {};
    cache.Looked = true;
    void* program = dlopen(nullptr, RTLD_NOW);
    if (!program) return {};
    auto entry = reinterpret_cast<TClientEntry>(dlsym(program, "ClientAPI_GetClientInterface"));
    dlclose(program);
    if (!entry) return {};
    com::IUnknown* unknown = nullptr;
    entry(&unknown);
    if (!unknown) return {};
    void* dispatch = nullptr;
    if (com::Succeeded(unknown->QueryInterface(com::IID_IDispatch, &dispatch)) && dispatch) {
        cache.Client = THostObject(static_cast<com::IDispatch*>(dispatch));
        static_cast<com::IDispatch*>(dispatch)->Release();
    }
    unknown->Release();
    return cache.Client;
}

THostObject GetClientAPI()
{
    TClientCache& cache = Cache();
    if (!cache.ClientAPI) {
        const THostObject client = GetClient();
        if (client) cache.ClientAPI = client.CallObject(dispid::Client_GetClientAPI);
    }
    return cache.ClientAPI;
}

void SetClientForTesting(com::IDispatch* client)
{
    TClientCache& cache = Cache();
    cache.Client = THostObject(client);
    cache.ClientAPI.Reset();
    cache.Injected = client != nullptr;
    cache.Looked = client != nullptr;
}

void SetApplicationWindowHandle(int32_t handle) { GApplicationWindowHandle = handle; }
int32_t GetApplicationWindowHandle() { return GApplicationWindowHandle; }

std::string GetHostProgramFolder()
{
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return WithSeparator(program.parent_path().string());
}

std::string GetClientFolder()
{
    const THostObject api = GetClientAPI();
    if (!api) return {};
    return api.CallString(dispid::ClientAPI_DriverFolder);
}

std::string GetEmbeddedExtensionFolder() { return {}; }

THostObject GetServerModule(const std::string& name)
{
    const THostObject client = GetClient();
    if (!client) return {};
    return client.CallObject(dispid::Client_GetServerModule, {name});
}

THostObject GetVendorToolManager()
{
    const THostObject flow = GetServerModule("FPGAFlow");
    if (!flow) return {};
    return flow.CallObject(dispid::FPGAFlow_GetVendorToolManager);
}

std::string VendorToolManagerDescriptor(const std::string& vendor)
{
    const THostObject manager = GetVendorToolManager();
    if (!manager) return {};
    return manager.CallString(dispid::VendorTools_GetDescriptor, {vendor});
}

bool VendorToolsPresent(const std::string& vendor)
{
    const THostObject manager = GetVendorToolManager();
    if (!manager) return false;
    if (SameText(vendor, "Altera"))
        return !manager.CallString(dispid::VendorTools_GetToolPath, {std::string("Altera"), std::string("Quartus_Cmd")})
                    .empty();
    if (SameText(vendor, "Actel"))
        return !manager.CallString(dispid::VendorTools_GetToolPath, {std::string("Actel"), std::string("designer")})
                    .empty();
    return manager.CallBool(dispid::VendorTools_IsInstalled, {vendor});
}

bool VendorToolsUpToDate(const std::string& vendor)
{
    const THostObject manager = GetVendorToolManager();
    if (!manager) return false;
    return manager.CallBool(dispid::VendorTools_IsUpToDate, {vendor});
}

uint32_t LoadDeviceBitmap(const std::string&, const std::string&) { return 0; }

void ShowErrorMessage(const std::string&, const std::string&) {}

std::unique_ptr<TRackForm> CreateHardDeviceViewerForm(com::IDispatch*, com::IDispatch*) { return nullptr; }

THostObject CreateRackView(TRackForm&) { return {}; }

} // namespace hostaccess

namespace hostaccess {
std::string GetVendorOfFamily(const std::string&) { return {}; }
} // namespace hostaccess
