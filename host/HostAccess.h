// The host access layer: how the plug-in reaches the host's objects, modules
// and folders. Every accessor hands out an empty wrapper when the host cannot
// supply the object (no client, module not loaded, entry point missing), so
// callers simply skip their work.
#pragma once

#include "plugin/com/HostModules.h"
#include "plugin/frame/HostObject.h"

#include <functional>
#include <string>
#include <string_view>

namespace hostaccess {

using tavrel::THostObject;

namespace dispid {
inline constexpr int32_t Client_GetMainWindowHandle = 486;
inline constexpr int32_t Client_GetCurrentView = 490;
inline constexpr int32_t Client_GetServerDocumentByPath = 491;
inline constexpr int32_t Client_GetDialogParentWindow = 492;
inline constexpr int32_t Client_GetGUIManager = 494;
inline constexpr int32_t Client_GetServerModule = 496;
inline constexpr int32_t Client_StartServer = 507;
inline constexpr int32_t Client_RegisterNotificationHandler = 527;
inline constexpr int32_t Client_UnregisterNotificationHandler = 528;
inline constexpr int32_t Client_GetTimerManager = 531;
inline constexpr int32_t Client_GetProductName = 548;
inline constexpr int32_t Client_GetWorkspace = 565;
inline constexpr int32_t Client_RunProcess = 625;
inline constexpr int32_t Client_GetClientAPI = 795;
inline constexpr int32_t Client_GetPluginsRegistry = 2027;
inline constexpr int32_t PluginsRegistry_Count = 2017;
inline constexpr int32_t PluginsRegistry_Item = 2018;
inline constexpr int32_t PluginsRegistryItem_Folder = 2009;
inline constexpr int32_t PluginsRegistryItem_Skip = 2010;
inline constexpr int32_t ClientAPI_InstallationFolder = 770;
inline constexpr int32_t ClientAPI_ImageFolder = 773;
inline constexpr int32_t ClientAPI_ImageFolderAlt = 774;
inline constexpr int32_t ClientAPI_DriverFolder = 787;
inline constexpr int32_t ClientAPI_SetHostCursor = 791;
inline constexpr int32_t ClientAPI_RestoreHostCursor = 792;
inline constexpr int32_t ClientAPI_IsSilentMode = 793;
inline constexpr int32_t Workspace_GetMessagesManager = 469;
inline constexpr int32_t MessagesManager_AddMessage = 439;
inline constexpr int32_t GUIManager_SetStatusBarText = 164;
inline constexpr int32_t TimerManager_CreateTimer = 268;
inline constexpr int32_t TimerManager_DestroyTimer = 269;
inline constexpr int32_t ServerDocument_BeginExternalUpdate = 100;
inline constexpr int32_t ServerDocument_EndExternalUpdate = 101;
inline constexpr int32_t FPGAFlow_GetVendorToolManager = 509009;
} // namespace dispid

// The host's libraries, found by file name in its system folder or an extension folder.
using com::HostModuleFileName;
using com::THostModule;

// --- Host objects ---------------------------------------------------------
// The host client, from the host executable's export "ClientAPI_GetClientInterface".
THostObject GetClient();
THostObject GetClientAPI();
// Replaces the client the library uses (tests only); an empty object restores the lookup.
void SetClientForTesting(com::IDispatch* client);

THostObject GetWorkspace();
THostObject GetServerModule(const std::string& name);
THostObject GetSchServer();
THostObject GetPCBServer();
THostObject GetFPGAFlowModule();
THostObject GetVendorToolManager();
THostObject GetWorkbench();
THostObject GetDeviceManager();
int32_t GetJTagPortCount();
THostObject GetJTagPort(int32_t index);
int32_t FindJTagPortIndex(const THostObject& port);
THostObject GetModelTypeManager();
THostObject GetIntegratedLibraryManager();
THostObject GetEditVHDLSynthesizer();
bool IsSilentMode();

void SetApplicationWindowHandle(int32_t handle);
int32_t GetApplicationWindowHandle();

// --- Folders (each folder text ends with the separator) --------------------
inline constexpr char kPathSeparator = '/';
std::string EnsureTrailingChar(std::string text, char ch);
// A path the host's rule treats as relative. The plug-in's platform rule:
// absolute paths start with "/". IsRelativeHostPath is the host's Windows rule
// (no ":" and no leading "\\"), kept for paths the host writes.
bool IsRelativePath(std::string_view path);
bool IsRelativeHostPath(std::string_view path);
std::string ExpandRelativePath(const std::string& base, const std::string& relative);

// The installation folder of the host program: its executable's folder, or
// the folder above it when the executable sits in a "bin" folder.
std::string GetApplicationFolder();
std::string GetSystemFolder();
std::string GetEDIFFolder();
std::string GetClientAPIFolder(int32_t dispid);
std::string GetModuleFolder();
std::string GetLibraryFolder();
std::string GetTempFolder();
std::string GetLongTempFolder();
// A new empty file with a unique name ("Pro" prefix) in the temporary folder; empty when refused.
std::string CreateTempFile();
std::string SpecialFolder_EmbeddedExtension();

// --- Extensions and host libraries ------------------------------------------
// Visits the folders of the host's extension registry in its order until Stop.
void EnumeratePluginFolders(const std::function<void(const std::string& folder, bool& stop)>& visit);
std::string FindHostLibrary(const std::string& name);
// Handle of the module, loading it from FindHostLibrary when it is not loaded yet; null when not found.
void* LoadHostLibrary(THostModule module);
// Handle of the module only when it is already loaded; null otherwise.
void* LoadedHostLibrary(THostModule module);

// Forgets every cached host object, module and text (tests only).
void ResetHostAccessForTesting();

} // namespace hostaccess
