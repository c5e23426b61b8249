#include "plugin/driver/TavrelDriver.h"

#include "host/DeviceFamilies.h"
#include "host/HostAccess.h"
#include "host/HostServices.h"
#include "host/ParameterList.h"
#include "host/VendorTools.h"
#include "plugin/driver/DeviceBitmap.h"

#include <dlfcn.h>

#include <array>
#include <filesystem>
#include <system_error>

namespace tavrel {

namespace {

constexpr std::array<std::string_view, 32> kDeviceActions = {
    "None",
    "PauseProcessor",
    "ContinueProcessor",
    "ResetProcessor",
    "SingleStepProcessor",
    "CompileProgram",
    "DownloadProgram",
    "StartDebug",
    "StartAttach",
    "EndDebug",
    "ShowAboutDialog",
    "ResetDevice",
    "DownloadToDevice",
    "ShowViewer",
    "ChooseAndDownload",
    "ProcessorMenu",
    "ConfigureJTAGIdMapping",
    "Flash_ResetDevice",
    "Flash_ConfigureDevice",
    "Flash_DownloadDevice",
    "Flash_ChooseAndDownload",
    "WriteToFlash",
    "ConfigureFpgaProject",
    "ShowConfiguration",
    "ShowCurrentSense",
    "ShowBoardRegistration",
    "CustomAction",
    "OnDblClick",
    "HideViewer",
    "UpdateFirmware",
    "ToggleFirmwareAutoUpdate",
    "VerifyProgram",
};

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Opens the chain for the lifetime of the guard; closing never throws out of it.
class TChannelGuard {
public:
    explicit TChannelGuard(TTavrelDriver& driver) : FDriver(driver) { FDriver.OpenChannel(); }
    ~TChannelGuard()
    {
        try {
            FDriver.CloseChannel();
        } catch (...) {
        }
    }

private:
    TTavrelDriver& FDriver;
};

constexpr uint8_t kAllControlBits = eControl_StepCounterBreakpointEnable | eControl_Reset | eControl_DebugEnable |
                                    eControl_DebugAcknowledge | eControl_DebugRequest | eControl_DebugStep |
                                    eControl_DebuggerProgramSelect;

} // namespace

int32_t FindDeviceAction(std::string_view name)
{
    for (size_t i = 0; i < kDeviceActions.size(); ++i)
        if (SameText(kDeviceActions[i], name)) return static_cast<int32_t>(i);
    return 0;
}

TTavrelDriver::TTavrelDriver(std::string coreExt) : FCoreExt(std::move(coreExt))
{
    // Forms the library opens belong to the host's main window.
    try {
        const THostObject client = hostaccess::GetClient();
        if (client) hostaccess::SetApplicationWindowHandle(client.CallInt(hostaccess::dispid::Client_GetMainWindowHandle));
    } catch (...) {
        // Without a usable client the window handle stays as it is.
    }
}

TTavrelDriver::~TTavrelDriver()
{
    try {
        ReleaseResources();
    } catch (...) {
    }
}

HRESULT TTavrelDriver::QueryInterface(const com::GUID& iid, void** object)
{
    if (object && iid == com::IID_IMemoryAccess) {
        *object = static_cast<com::IMemoryAccess*>(this);
        return com::S_OK;
    }
    return TAbstractTavrelDriver::QueryInterface(iid, object);
}

HRESULT TTavrelDriver::MemoryRead(int32_t, int64_t, int32_t, void*, int32_t* result)
{
    if (result) *result = 0;
    return com::S_OK;
}

HRESULT TTavrelDriver::MemoryWrite(int32_t, int64_t, int32_t, const void*, int32_t* result)
{
    if (result) *result = 0;
    return com::S_OK;
}

bool TTavrelDriver::SetTavrelDevice(IDispatch* device)
{
    FTavrelDevice = THostObject(device);
    const bool hadForm = FRackForm != nullptr;
    if (FRackForm) FRackForm->SetTavrelDevice(device);
    if (!device && hadForm) ReleaseResources();
    return true;
}

uint32_t TTavrelDriver::GetBitmapHandle()
{
    if (FDeviceImage != 0) return FDeviceImage;
    // The device picture starts from the host's generic picture; without it
    // there is nothing to show, and the next call looks again.
    const std::string generic = hostaccess::GetSystemFolder() + "Generic_Hard_Device.bmp";
    if (!FileExists(generic)) return 0;
    FDeviceImage = BuildDeviceBitmap(generic, GetFolder_Library() + "DeviceImages/" + GetFamilyName() + ".bmp");
    return FDeviceImage;
}

std::unique_ptr<TRackForm> TTavrelDriver::CreateRackForm()
{
    const THostObject jtagDevice = GetJTagDevice();
    if (!jtagDevice) return nullptr;
    const THostObject entity = jtagDevice.CallObject(dispid::JTagDevice_GetBSDLEntity);
    if (!entity) {
        const std::string name = FTavrelDevice.CallString(dispid::Device_GetName);
        hostaccess::ShowErrorMessage("Failed To find Boundary Scan data for Device\n\nDevice:  " + name, "Error");
        return nullptr;
    }
    return CreateHardDeviceViewerForm(FTavrelDevice.Get(), jtagDevice.Get());
}

void TTavrelDriver::CreateRackViewer()
{
    if (FRackForm) return;
    FRackForm = CreateRackForm();
    if (FRackForm) FRackView = CreateRackView(*FRackForm);
}

bool TTavrelDriver::Supports(std::string category)
{
    if (SameText(category, "CPLD")) return SupportsCPLD();
    if (SameText(category, "FPGA")) return SupportsFPGA();
    if (SameText(category, "PROM")) return SupportsPROM();
    if (SameText(category, "PROC")) return SupportsPROC();
    if (SameText(category, "SPROC")) return SupportsSPROC();
    if (SameText(category, "GPROC")) return SupportsGPROC();

    ::host::TParameterList parameters;
    parameters.SetState_FromString(category);
    std::string value;
    if (parameters.GetState_ParameterAsString("ToolchainName", value) && !value.empty()) return false;
    std::string action = category;
    if (parameters.GetState_ParameterAsString("Action", value)) action = value;
    const int32_t index = FindDeviceAction(action);
    const bool unsupported = (index >= 1 && index <= 9) || index == 15 || (index >= 17 && index <= 20) || index == 31;
    return !unsupported;
}

std::string TTavrelDriver::VendorToolsDescriptor() { return hostaccess::VendorToolsDescriptor(GetVendorName()); }

bool TTavrelDriver::VendorToolsPresent() { return hostaccess::VendorToolsPresent(GetVendorName()); }

bool TTavrelDriver::VendorToolsUpToDate() { return hostaccess::VendorToolsUpToDate(GetVendorName()); }

int32_t TTavrelDriver::SelectProcessorRegister(int32_t index, bool write)
{
    // The channel is taken anew for every step: the host may change it between calls.
    const int32_t position = GetChainIndex();
    const uint8_t address = static_cast<uint8_t>((GetProcessorRegisterAddress(index) & 0x7F) | (write ? 0x80 : 0));
    GetJTagChannel().Call(dispid::Channel_ScanIR, {GetProcessorInstruction(), position});
    GetJTagChannel().Call(dispid::Channel_MoveTAPState, {2, 5});
    GetJTagChannel().Call(dispid::Channel_ShiftDR, {int32_t{address}, 8, position});
    GetJTagChannel().Call(dispid::Channel_MoveTAPState, {6, 2});
    GetJTagChannel().Call(dispid::Channel_ScanIR, {GetProcessorDataInstruction(), position});
    GetJTagChannel().Call(dispid::Channel_MoveTAPState, {2, 5});
    return position;
}

uint32_t TTavrelDriver::ShiftProcessorRegister(int32_t index, bool write, uint32_t value)
{
    const int32_t width = static_cast<int32_t>(GetProcessorRegisterWidth(index));
    const int32_t position = SelectProcessorRegister(index, write);
    const int32_t result =
        GetJTagChannel().CallInt(dispid::Channel_ShiftDRRead, {static_cast<int32_t>(value), width, position});
    GetJTagChannel().Call(dispid::Channel_MoveTAPState, {6, 2});
    return static_cast<uint32_t>(result);
}

std::string TTavrelDriver::ShiftProcessorRegisterWide(int32_t index, bool write, std::string bits)
{
    const size_t width = GetProcessorRegisterWidth(index);
    const int32_t position = SelectProcessorRegister(index, write);
    if (bits.size() < width) bits.insert(0, width - bits.size(), '0');
    std::string result = GetJTagChannel().CallString(dispid::Channel_ShiftDRString, {bits, position});
    GetJTagChannel().Call(dispid::Channel_MoveTAPState, {6, 2});
    return result;
}

bool TTavrelDriver::IsProcessorRegister(int32_t index) { return index >= 0 && index < GetProcessorRegisterCount(); }

bool TTavrelDriver::SetProcessorRegisterValue(int32_t index, int64_t value)
{
    if (!IsProcessorRegister(index)) return false;
    ShiftProcessorRegister(index, true, static_cast<uint32_t>(value));
    return true;
}

uint32_t TTavrelDriver::GetProcessorRegisterValue(int32_t index)
{
    if (!IsProcessorRegister(index)) return 0;
    return ShiftProcessorRegister(index, false, 0);
}

bool TTavrelDriver::SetProcessorRegisterWideValue(int32_t index, std::string value)
{
    if (!IsProcessorRegister(index)) return false;
    ShiftProcessorRegisterWide(index, true, std::move(value));
    return true;
}

std::string TTavrelDriver::GetProcessorRegisterWideValue(int32_t index)
{
    if (!IsProcessorRegister(index)) return "0";
    return ShiftProcessorRegisterWide(index, false, {});
}

IDispatch* TTavrelDriver::FlowStage_Build()
{
    if (!FBuildFlow) FBuildFlow = CreateFlow(0);
    return FBuildFlow.Get();
}

IDispatch* TTavrelDriver::FlowStage_Download()
{
    if (!FDownloadFlow) FDownloadFlow = CreateFlow(1);
    return FDownloadFlow.Get();
}

void TTavrelDriver::OpenChannel()
{
    const THostObject channel = GetJTagChannel();
    if (channel) channel.CallBool(dispid::Channel_BeginAccess);
}

void TTavrelDriver::CloseChannel()
{
    const THostObject channel = GetJTagChannel();
    if (channel) channel.Call(dispid::Channel_EndAccess);
}

void TTavrelDriver::BeginDeviceAccess()
{
    OpenChannel();
    FTavrelDevice.Call(dispid::Device_BeginAccess);
}

void TTavrelDriver::EndDeviceAccess()
{
    FTavrelDevice.Call(dispid::Device_EndAccess);
    CloseChannel();
}

void TTavrelDriver::WriteControlRegister()
{
    FTavrelDevice.Call(dispid::Device_WriteRegister, {64, 8, int32_t{FControlRegister}});
}

void TTavrelDriver::ReadControlRegister()
{
    if (!FTavrelDevice) return;
    FControlRegister = static_cast<uint8_t>(FTavrelDevice.CallInt(dispid::Device_ReadRegister, {64, 0}));
}

THostObject TTavrelDriver::GetJTagChannel() const
{
    if (!FTavrelDevice) return {};
    return FTavrelDevice.CallObject(dispid::Device_GetJTagChannel);
}

int32_t TTavrelDriver::GetChainIndex() const
{
    if (!FTavrelDevice) return 0;
    return FTavrelDevice.CallInt(dispid::Device_GetChainIndex);
}

THostObject TTavrelDriver::GetJTagDevice() const
{
    const THostObject channel = GetJTagChannel();
    if (!channel) return {};
    return channel.CallObject(dispid::Channel_GetDevice, {GetChainIndex()});
}

void TTavrelDriver::ResetTavrelRegisters()
{
    TChannelGuard guard(*this);
    GetJTagChannel().Call(dispid::Channel_ScanIR, {2, GetChainIndex()});
}

void TTavrelDriver::PauseSequence()
{
    ReadControlRegister();
    SetBits(eControl_DebugEnable | eControl_DebugRequest,
            eControl_StepCounterBreakpointEnable | eControl_Reset | eControl_DebugAcknowledge | eControl_DebugStep |
                eControl_DebuggerProgramSelect);
    WriteControlRegister();
    ReadControlRegister();
}

void TTavrelDriver::PauseProcessor()
{
    TChannelGuard guard(*this);
    PauseSequence();
}

void TTavrelDriver::ContinueProcessor()
{
    TChannelGuard guard(*this);
    ReadControlRegister();
    SetBits(eControl_DebugEnable | eControl_DebugRequest, kAllControlBits);
    WriteControlRegister();
    SetBits(0, eControl_DebugRequest);
    WriteControlRegister();
    ReadControlRegister();
}

void TTavrelDriver::ResetProcessor()
{
    TChannelGuard guard(*this);
    PauseSequence();
    SetBits(eControl_Reset, 0);
    WriteControlRegister();
    SetBits(0, eControl_Reset);
    WriteControlRegister();
    ReadControlRegister();
}

void TTavrelDriver::SingleStepProcessor()
{
    TChannelGuard guard(*this);
    PauseSequence();
    ReadControlRegister();
    SetBits(eControl_DebugRequest | eControl_DebugEnable, eControl_Reset);
    WriteControlRegister();
    SetBits(eControl_DebugStep, 0);
    WriteControlRegister();
    ReadControlRegister();
}

void TTavrelDriver::RunSteps(int32_t count)
{
    TChannelGuard guard(*this);
    ReadControlRegister();
    PauseSequence();
    SetBits(eControl_DebugRequest | eControl_DebugEnable, eControl_Reset);
    WriteControlRegister();
    SetBits(eControl_DebugStep, 0);
    // Without a device every write is empty; do not spin through the count.
    if (FTavrelDevice)
        for (int32_t i = 0; i < count; ++i) WriteControlRegister();
    ReadControlRegister();
}

void TTavrelDriver::RunSingleStepInSubstitutionRegister()
{
    TChannelGuard guard(*this);
    ReadControlRegister();
    SetBits(eControl_DebugRequest | eControl_DebugEnable, eControl_Reset);
    WriteControlRegister();
    SetBits(eControl_DebuggerProgramSelect, 0);
    WriteControlRegister();
    SetBits(eControl_DebugStep, 0);
    WriteControlRegister();
    SetBits(0, eControl_DebuggerProgramSelect | eControl_DebugStep);
    WriteControlRegister();
    ReadControlRegister();
}

bool TTavrelDriver::ProcessorIsPaused()
{
    TChannelGuard guard(*this);
    ReadControlRegister();
    return (FControlRegister & eControl_DebugEnable) && (FControlRegister & eControl_DebugAcknowledge);
}

bool TTavrelDriver::ProcessorIsReset()
{
    TChannelGuard guard(*this);
    ReadControlRegister();
    return (FControlRegister & eControl_Reset) != 0;
}

void TTavrelDriver::ReleaseResources()
{
    if (FRackView) {
        const THostObject view = FRackView;
        FRackView.Reset();
        // The view owns the form: drop our pointer without freeing it.
        (void)FRackForm.release();
        view.Call(dispid::View_ViewHidden);
    } else {
        FRackForm.reset();
    }
}

void TTavrelDriver::CustomAction_GetState(int32_t, bool& first, bool&, bool& third)
{
    first = false;
    third = false;
}

bool TTavrelDriver::EPM_Download(std::string, std::string fileName, std::string)
{
    if (!ResetDevice()) return false;
    ProgramDevice(fileName);
    return GetDeviceState() == 2;
}

std::string TTavrelDriver::LocateConstraintFile(const std::string& name)
{
    if (name.empty()) return {};
    if (FileExists(name)) return name;
    if (std::string path = hostaccess::GetModuleFolder() + "Library/Embedded/" + name; FileExists(path)) return path;
    if (std::string folder = hostaccess::GetClientAPIFolder(hostaccess::dispid::ClientAPI_DriverFolder); !folder.empty())
        if (std::string path = folder + name; FileExists(path)) return path;
    if (std::string path = hostaccess::SpecialFolder_EmbeddedExtension() + "Library/Embedded/" + name; FileExists(path))
        return path;
    return {};
}

std::string TTavrelDriver::GetEmbeddedConstraintFile()
{
    if (!FCustomConstraintFile.empty())
        if (std::string located = LocateConstraintFile(FCustomConstraintFile); !located.empty()) return located;
    const std::string suffix = ".Constraint";
    for (const std::string& name : {GetDeviceName(), GetDeviceParameter("ProcessorDeviceName"), GetBaseName(),
                                    GetFamilyName()}) {
        if (name.empty()) continue;
        if (std::string located = LocateConstraintFile(name + suffix); !located.empty()) return located;
    }
    if (IDispatch* information = GetProcessorInformation()) {
        const std::string name = THostObject(information).CallString(503890);
        if (!name.empty())
            if (std::string located = LocateConstraintFile(name + suffix); !located.empty()) return located;
    }
    return {};
}

std::string TTavrelDriver::GetFolder_Library() { return hostaccess::GetLibraryFolder(); }

} // namespace tavrel
