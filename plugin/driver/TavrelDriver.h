// TTavrelDriver: the behaviour every device driver shares. It keeps the link to
// the host device it serves, the caches of flows and instrument, the debug
// control-register image used by the processor operations, and answers every
// operation of the driver interface with the defaults of a generic device.
// Device families derive from it and replace what they know better.
#pragma once

#include "plugin/driver/AbstractDriver.h"
#include "plugin/driver/RackForm.h"
#include "plugin/frame/HostObject.h"

#include <memory>
#include <string>

namespace tavrel {

// DISPIDs of the host device object and the JTAG channel that the driver calls.
namespace dispid {
inline constexpr int32_t Device_GetChainIndex = 503629;
inline constexpr int32_t Device_GetJTagChannel = 503630;
inline constexpr int32_t Device_GetName = 503380;
inline constexpr int32_t Device_ReadRegister = 503666;
inline constexpr int32_t Device_WriteRegister = 503667;
inline constexpr int32_t Device_BeginAccess = 503675;
inline constexpr int32_t Device_EndAccess = 503676;
inline constexpr int32_t Channel_BeginAccess = 503425;
inline constexpr int32_t Channel_EndAccess = 503426;
inline constexpr int32_t Channel_GetDevice = 503579;
inline constexpr int32_t Channel_ShiftDR = 503588;
inline constexpr int32_t Channel_ShiftDRRead = 503589;
inline constexpr int32_t Channel_ShiftDRString = 503591;
inline constexpr int32_t Channel_ScanIR = 503601;
inline constexpr int32_t Channel_MoveTAPState = 503605;
inline constexpr int32_t JTagDevice_GetBSDLEntity = 503550;
inline constexpr int32_t View_ViewHidden = 503704;
} // namespace dispid

// Bits of the debug control register image.
enum TControlRegisterBit : uint8_t {
    eControl_DebuggerProgramSelect = 1u << 0,
    eControl_DebugStep = 1u << 1,
    eControl_DebugRequest = 1u << 2,
    eControl_DebugAcknowledge = 1u << 3,
    eControl_DebugEnable = 1u << 4,
    eControl_Reset = 1u << 5,
    eControl_StepCounterBreakpointEnable = 1u << 7,
};

// Index (by position) of the device actions a driver can be asked about.
int32_t FindDeviceAction(std::string_view name);

class TTavrelDriver : public TAbstractTavrelDriver, public com::IMemoryAccess {
public:
    explicit TTavrelDriver(std::string coreExt);
    ~TTavrelDriver() override;

    // A driver is owned by the library: the host's reference operations do nothing.
    HRESULT QueryInterface(const com::GUID& iid, void** object) override;
    uint32_t AddRef() override { return 0xFFFFFFFFu; }
    uint32_t Release() override { return 0xFFFFFFFFu; }

    // Memory-access interface: no memory behind a generic device.
    HRESULT MemoryRead(int32_t space, int64_t address, int32_t count, void* buffer, int32_t* result) override;
    HRESULT MemoryWrite(int32_t space, int64_t address, int32_t count, const void* buffer, int32_t* result) override;

    // Device information defaults.
    uint32_t GetIdCode() override { return 0; }
    std::string GetDeviceName() override { return "Generic Tavrel Device"; }
    std::string GetDeviceDescription() override { return GetDeviceName(); }
    std::string GetFamilyName() override { return {}; }
    std::string GetFamilyDescription() override { return {}; }
    std::string GetLibraryName() override { return {}; }
    std::string GetVendorPrimitiveLibraryName() override { return {}; }
    std::string GetBaseName() override { return {}; }
    int32_t GetEquivalentGatesForBase() override { return -1; }
    int32_t GetMaxIOForBase() override { return -1; }
    std::string GetPackageTypeId() override { return "Generic"; }
    std::string GetPackageTypeName() override { return "Generic"; }
    std::string GetPackageTypeDescription() override { return "Un-Classified Packages"; }
    std::string GetPackageId() override { return {}; }
    std::string GetPackageName() override { return {}; }
    std::string GetPackageDescription() override { return {}; }
    std::string GetPackageDimensions() override { return "? x ? mm"; }
    std::string GetTemperatureGradeId() override { return {}; }
    std::string GetTemperatureGradeName() override { return {}; }
    std::string GetTemperatureGradeDescription() override { return {}; }
    std::string GetSpeedGradeId() override { return {}; }
    std::string GetSpeedGradeName() override { return {}; }
    std::string GetSpeedGradeDescription() override { return {}; }
    std::string GetOptionDesignatorId() override { return {}; }
    std::string GetOptionDesignatorName() override { return {}; }
    std::string GetOptionDesignatorDescription() override { return {}; }
    std::string GetBSDLFilename() override { return {}; }
    IDispatch* GetBSDLEntity() override { return nullptr; }
    std::string GetVendorName() override { return {}; }
    int32_t GetInstructionLength() override { return 4; }
    int32_t GetDevicePinCount() override { return 0; }
    int32_t GetDeviceIOCount() override { return -1; }
    IDispatch* GetDevicePin(int32_t) override { return nullptr; }
    std::string GetDownloadFileExtensions() override { return {}; }
    int32_t GetDSPMultiplierCount() override { return -1; }
    int32_t GetClockManagerCount() override { return -1; }
    int32_t GetMemorySize() override { return -1; }
    bool GetTerminationSupport() override { return false; }
    int32_t GetGlobalClockCount() override { return -1; }
    int32_t GetConfigMemorySize() override { return -1; }
    int32_t GetDiffPairCount() override { return -1; }
    int32_t GetHighSpeedDiffPairCount() override { return -1; }
    int32_t GetIOStandardCount() override { return 0; }
    IDispatch* GetIOStandard(int32_t) override { return nullptr; }
    std::string GetDeviceDisplayName() override { return GetDeviceName(); }
    std::string GetDeviceParameter(std::string) override { return {}; }

    // Driver operation defaults.
    IDispatch* GetTavrelDevice() override { return FTavrelDevice.Get(); }
    bool SetTavrelDevice(IDispatch* device) override;
    bool Finalize() override { return false; }
    uint32_t GetBitmapHandle() override;
    bool SaveProcessorState() override { return false; }
    bool RestoreProcessorState() override { return false; }
    void CreateRackViewer() override;
    IDispatch* GetRackViewer() override { return FRackView.Get(); }
    bool Supports(std::string category) override;
    void ShowAboutDialog() override {}
    std::string VendorToolsDescriptor() override;
    bool VendorToolsPresent() override;
    bool VendorToolsUpToDate() override;
    bool SetProcessorRegisterValue(int32_t index, int64_t value) override;
    uint32_t GetProcessorRegisterValue(int32_t index) override;
    uint32_t GetProcessorRegisterWidth(int32_t) override { return 0; }
    std::string GetProcessorRegisterName(int32_t) override { return {}; }
    std::string GetProcessorRegisterShortName(int32_t index) override { return GetProcessorRegisterName(index); }
    int32_t GetProcessorRegisterCount() override { return 0; }
    int32_t GetRegisterIndex_PC() override { return -1; }
    int32_t GetRegisterIndex_SP() override { return -1; }
    int32_t GetSoftBreakpointAddressByteAlign() override { return 1; }
    uint32_t GetMemorySpaceWidth(int32_t) override { return 0; }
    int32_t GetMemorySpaceKind(int32_t) override { return 0; }
    uint32_t GetMemorySpaceBytesPerUnit(int32_t) override { return 1; }
    std::string GetMemorySpaceName(int32_t) override { return {}; }
    std::string GetMemorySpaceShortName(int32_t space) override { return GetMemorySpaceName(space); }
    int32_t GetMemorySpaceCount() override { return 0; }
    int32_t GetMemorySpace_Program() override { return -1; }
    bool InitDownload(int32_t) override { return true; }
    bool FinishDownload(int32_t) override { return true; }
    bool RunDiagnostic() override { return true; }
    bool LittleEndian() override { return false; }
    bool ResetDevice() override { return false; }
    int32_t GetDeviceState() override { return 0; }
    int32_t ProgramDevice(std::string) override { return 0; }
    uint32_t ReadUserCode() override { return 0xFFFFFFFFu; }
    IDispatch* FlowStage_Build() override;
    IDispatch* FlowStage_Download() override;
    std::string CoreGen_OutputExtension() override { return FCoreExt; }
    void ResetTavrelRegisters() override;
    void SingleStepProcessor() override;
    void RunSingleStepInSubstitutionRegister() override;
    void ResetProcessor() override;
    void PauseProcessor() override;
    void ContinueProcessor() override;
    void RunSteps(int32_t count) override;
    bool ProcessorIsPaused() override;
    bool ProcessorIsReset() override;
    bool ProcessorIsRunning() override { return !ProcessorIsPaused() && !ProcessorIsReset(); }
    bool ProcessorIsUsingReducedInstructionSet() override { return false; }
    bool Flash_Reset() override { return false; }
    int32_t Flash_Program(std::string) override { return 0; }
    void Flash_Configure() override {}
    bool SetProcessorRegisterWideValue(int32_t index, std::string value) override;
    std::string GetProcessorRegisterWideValue(int32_t index) override;
    bool ConfigureFpgaProject(IDispatch*) override { return false; }
    bool ShowConfiguration() override { return true; }
    void ShowCurrentSensePanel() override {}
    void ReleaseResources() override;
    bool InvalidateResources() override { return false; }
    void CustomAction_Execute(int32_t) override {}
    void CustomAction_GetState(int32_t action, bool& first, bool& second, bool& third) override;
    bool EPM_Download(std::string a, std::string fileName, std::string c) override;
    bool EPM_InititateTest() override { return false; }
    int32_t EPM_GetTestResult(int32_t) override { return -1; }
    void EPM_SetPercentCallBack(IDispatch* callback) override { FCallBack = THostObject(callback); }
    bool Flash_ResetForBitStream() override { return Flash_Reset(); }
    std::string GetEmbeddedConstraintFile() override;
    void SetEmbeddedConstraintFile(std::string fileName) override { FCustomConstraintFile = std::move(fileName); }
    uint32_t AddSoftBreakpoint(int32_t, int64_t) override { return 0; }
    bool RemoveSoftBreakpoint(int32_t, int64_t, int32_t) override { return false; }
    int64_t GetMemorySpaceLength(int32_t) override { return 0; }
    std::string GetFolder_Library() override;
    IDispatch* ClockCoreGenerator() override { return nullptr; }
    IDispatch* ClockCoreTemplateGenerator() override { return nullptr; }
    IDispatch* ClockGeneratorTargetCore() override { return nullptr; }
    IDispatch* CustomCoreGenerator(int32_t) override { return nullptr; }

    // Internal operations.
    virtual int32_t GetProcessorInstruction() { return 3; }
    virtual int32_t GetProcessorDataInstruction() { return 4; }
    virtual IDispatch* GetProcessorInformation() { return nullptr; }
    virtual bool SupportsCPLD() { return false; }
    virtual bool SupportsFPGA() { return false; }
    virtual bool SupportsPROM() { return false; }
    virtual bool SupportsPROC() { return false; }
    virtual bool SupportsSPROC() { return false; }
    virtual bool SupportsGPROC() { return false; }
    // A new flow of the given kind (0 build, 1 download), holding one reference; empty when none.
    virtual THostObject CreateFlow(int32_t kind) { return {}; }
    // The per-register address byte used by register access; bit 7 is added for writes.
    virtual uint8_t GetProcessorRegisterAddress(int32_t index) { return static_cast<uint8_t>(index); }
    virtual std::unique_ptr<TRackForm> CreateRackForm();
    TRackForm* GetRackForm() const { return FRackForm.get(); }
    void BeginDeviceAccess();
    void EndDeviceAccess();
    void WriteControlRegister();
    void ReadControlRegister();
    void OpenChannel();
    void CloseChannel();

    THostObject GetJTagChannel() const;
    int32_t GetChainIndex() const;
    THostObject GetJTagDevice() const;

    uint8_t ControlRegister() const { return FControlRegister; }
    const std::string& CustomConstraintFile() const { return FCustomConstraintFile; }

protected:
    THostObject FTavrelDevice;
    uint32_t FDeviceImage = 0;
    uint32_t FDeviceAboutImage = 0;
    THostObject FCallBack;
    std::string FCustomConstraintFile;
    THostObject FBuildFlow;
    THostObject FDownloadFlow;
    THostObject FVerifyFlow;
    std::unique_ptr<TRackForm> FRackForm;
    THostObject FRackView;
    uint8_t FControlRegister = 0;
    std::string FCoreExt;

private:
    void SetBits(uint8_t set, uint8_t clear) { FControlRegister = static_cast<uint8_t>((FControlRegister & ~clear) | set); }
    void PauseSequence();
    bool IsProcessorRegister(int32_t index);
    // Register access on the chain: selects the register, then shifts its value.
    int32_t SelectProcessorRegister(int32_t index, bool write);
    uint32_t ShiftProcessorRegister(int32_t index, bool write, uint32_t value);
    std::string ShiftProcessorRegisterWide(int32_t index, bool write, std::string bits);
    // Locates a constraint file name in the known folders; empty when none exists.
    std::string LocateConstraintFile(const std::string& name);
};

} // namespace tavrel
