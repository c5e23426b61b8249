// The exports of a host program built on hostsim: how the plug-in and the
// host's own libraries find the host's objects. Linked into every host
// executable (which exports its dynamic symbols).
#include "hostsim/host/Host.h"

#include <cstring>

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

HOST_EXPORT void ClientAPI_GetClientInterface(com::IUnknown** client)
{
    if (!client) return;
    *client = nullptr;
    if (hostsim::THost* host = hostsim::THost::Current()) {
        com::IDispatch* object = &host->Client();
        object->AddRef();
        *client = object;
    }
}

HOST_EXPORT com::HRESULT TavrelHost_GetObject(const char* entry, int32_t index, com::IUnknown** object)
{
    if (!object) return com::E_POINTER;
    *object = nullptr;
    hostsim::THost* host = hostsim::THost::Current();
    if (!host || !entry) return com::E_UNEXPECTED;
    return host->ModuleObject(entry, index, object);
}

HOST_EXPORT com::HRESULT TavrelHost_GetPortCount(int32_t* count)
{
    if (!count) return com::E_POINTER;
    hostsim::THost* host = hostsim::THost::Current();
    *count = host ? host->PortCount() : 0;
    return com::S_OK;
}

HOST_EXPORT void VFSAPI_VFS_ExpandRelativePath(const char* base, const char* relative, char* result, int32_t size)
{
    if (!result || size <= 0) return;
    result[0] = '\0';
    hostsim::THost* host = hostsim::THost::Current();
    if (!host || !base || !relative) return;
    const std::string expanded = host->ExpandRelativePath(base, relative);
    if (static_cast<int32_t>(expanded.size()) >= size) return;
    std::memcpy(result, expanded.c_str(), expanded.size() + 1);
}
