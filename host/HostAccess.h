// The host access layer: how the plug-in reaches the host's objects, folders
// and services. Every accessor hands out an empty wrapper when the host cannot
// supply the object, so callers simply do nothing.
#pragma once

#include "plugin/driver/RackForm.h"
#include "plugin/frame/HostObject.h"

#include <memory>
#include <string>


namespace hostaccess {

using tavrel::THostObject;
using tavrel::TRackForm;

namespace dispid {
inline constexpr int32_t Client_GetMainWindowHandle = 486;
inline constexpr int32_t Client_GetDialogOwnerWindow = 492;
inline constexpr int32_t Client_GetServerModule = 496;
inline constexpr int32_t Client_StartServer = 507;
inline constexpr int32_t Client_GetClientAPI = 795;
inline constexpr int32_t ClientAPI_DriverFolder = 787;
inline constexpr int32_t FPGAFlow_GetVendorToolManager = 509009;
inline constexpr int32_t VendorTools_GetDescriptor = 509001;
inline constexpr int32_t VendorTools_IsInstalled = 509002;
inline constexpr int32_t VendorTools_IsUpToDate = 509003;
inline constexpr int32_t VendorTools_GetToolPath = 509004;
inline constexpr int32_t VendorTools_GetVersion = 509005;
} // namespace dispid

// The host client, from the host executable's export "ClientAPI_GetClientInterface".
THostObject GetClient();
THostObject GetClientAPI();
// Replaces the client the library uses (tests only); an empty object restores the lookup.
void SetClientForTesting(com::IDispatch* client);

void SetApplicationWindowHandle(int32_t handle);
int32_t GetApplicationWindowHandle();

// Folder of the host executable, ending with the separator.
std::string GetHostProgramFolder();
// Client-API folder searched for driver files; empty without a client API.
std::string GetClientFolder();
// Folder holding the host's toolchain library; empty when unknown.
std::string GetEmbeddedExtensionFolder();

THostObject GetServerModule(const std::string& name);
THostObject GetVendorToolManager();
std::string VendorToolManagerDescriptor(const std::string& vendor);
bool VendorToolsPresent(const std::string& vendor);
bool VendorToolsUpToDate(const std::string& vendor);

// Builds the device picture from the generic picture and the family picture;
// 0 while pictures are not supported on this platform.
uint32_t LoadDeviceBitmap(const std::string& genericFile, const std::string& familyFile);

// Message box through the host's dialog services; silently dropped without a host.
void ShowErrorMessage(const std::string& text, const std::string& caption);

// Instrument forms and views; empty until the instrument subsystem is present.
std::unique_ptr<TRackForm> CreateHardDeviceViewerForm(com::IDispatch* device, com::IDispatch* jtagDevice);
THostObject CreateRackView(TRackForm& form);

} // namespace hostaccess

namespace hostaccess {


// Vendor of a device family from the device-family registry; empty when unknown.
std::string GetVendorOfFamily(const std::string& family);
} // namespace hostaccess
