// The driver's dispatch interface as the host sees it: device information
// (DISPIDs 503379..503424) and driver operations (503753..503822 and the few
// later additions). The classes here only declare operations and route DISPIDs
// to them; TTavrelDriver gives the base behaviour.
#pragma once

#include "plugin/frame/SupportService.h"

#include <string>

namespace tavrel {

using com::IDispatch;

class TAbstractDeviceInformation : public TAbstractSupportService {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual uint32_t GetIdCode() = 0;
    virtual std::string GetDeviceName() = 0;
    virtual std::string GetDeviceDescription() = 0;
    virtual std::string GetFamilyName() = 0;
    virtual std::string GetFamilyDescription() = 0;
    virtual std::string GetLibraryName() = 0;
    virtual std::string GetVendorPrimitiveLibraryName() = 0;
    virtual std::string GetBaseName() = 0;
    virtual int32_t GetEquivalentGatesForBase() = 0;
    virtual int32_t GetMaxIOForBase() = 0;
    virtual std::string GetPackageTypeId() = 0;
    virtual std::string GetPackageTypeName() = 0;
    virtual std::string GetPackageTypeDescription() = 0;
    virtual std::string GetPackageId() = 0;
    virtual std::string GetPackageName() = 0;
    virtual std::string GetPackageDescription() = 0;
    virtual std::string GetPackageDimensions() = 0;
    virtual std::string GetTemperatureGradeId() = 0;
    virtual std::string GetTemperatureGradeName() = 0;
    virtual std::string GetTemperatureGradeDescription() = 0;
    virtual std::string GetSpeedGradeId() = 0;
    virtual std::string GetSpeedGradeName() = 0;
    virtual std::string GetSpeedGradeDescription() = 0;
    virtual std::string GetOptionDesignatorId() = 0;
    virtual std::string GetOptionDesignatorName() = 0;
    virtual std::string GetOptionDesignatorDescription() = 0;
    virtual std::string GetBSDLFilename() = 0;
    virtual IDispatch* GetBSDLEntity() = 0;
    virtual std::string GetVendorName() = 0;
    virtual int32_t GetInstructionLength() = 0;
    virtual int32_t GetDevicePinCount() = 0;
    virtual int32_t GetDeviceIOCount() = 0;
    virtual IDispatch* GetDevicePin(int32_t index) = 0;
    virtual std::string GetDownloadFileExtensions() = 0;
    virtual int32_t GetDSPMultiplierCount() = 0;
    virtual int32_t GetClockManagerCount() = 0;
    virtual int32_t GetMemorySize() = 0;
    virtual bool GetTerminationSupport() = 0;
    virtual int32_t GetGlobalClockCount() = 0;
    virtual int32_t GetConfigMemorySize() = 0;
    virtual int32_t GetDiffPairCount() = 0;
    virtual int32_t GetHighSpeedDiffPairCount() = 0;
    virtual int32_t GetIOStandardCount() = 0;
    virtual IDispatch* GetIOStandard(int32_t index) = 0;
    virtual std::string GetDeviceDisplayName() = 0;
    virtual std::string GetDeviceParameter(std::string name) = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

class TAbstractTavrelDriver : public TAbstractDeviceInformation {
public:
    bool SupportsServiceName(std::string_view name) const override;

    virtual IDispatch* GetTavrelDevice() = 0;
    virtual bool SetTavrelDevice(IDispatch* device) = 0;
    virtual bool Finalize() = 0;
    virtual uint32_t GetBitmapHandle() = 0;
    virtual bool SaveProcessorState() = 0;
    virtual bool RestoreProcessorState() = 0;
    virtual void CreateRackViewer() = 0;
    virtual IDispatch* GetRackViewer() = 0;
    virtual bool Supports(std::string category) = 0;
    virtual void ShowAboutDialog() = 0;
    virtual std::string VendorToolsDescriptor() = 0;
    virtual bool VendorToolsPresent() = 0;
    virtual bool VendorToolsUpToDate() = 0;
    virtual bool SetProcessorRegisterValue(int32_t index, int64_t value) = 0;
    virtual uint32_t GetProcessorRegisterValue(int32_t index) = 0;
    virtual uint32_t GetProcessorRegisterWidth(int32_t index) = 0;
    virtual std::string GetProcessorRegisterName(int32_t index) = 0;
    virtual std::string GetProcessorRegisterShortName(int32_t index) = 0;
    virtual int32_t GetProcessorRegisterCount() = 0;
    virtual int32_t GetRegisterIndex_PC() = 0;
    virtual int32_t GetRegisterIndex_SP() = 0;
    virtual int32_t GetSoftBreakpointAddressByteAlign() = 0;
    virtual uint32_t GetMemorySpaceWidth(int32_t space) = 0;
    virtual int32_t GetMemorySpaceKind(int32_t space) = 0;
    virtual uint32_t GetMemorySpaceBytesPerUnit(int32_t space) = 0;
    virtual std::string GetMemorySpaceName(int32_t space) = 0;
    virtual std::string GetMemorySpaceShortName(int32_t space) = 0;
    virtual int32_t GetMemorySpaceCount() = 0;
    virtual int32_t GetMemorySpace_Program() = 0;
    virtual bool InitDownload(int32_t space) = 0;
    virtual bool FinishDownload(int32_t space) = 0;
    virtual bool RunDiagnostic() = 0;
    virtual bool LittleEndian() = 0;
    virtual bool ResetDevice() = 0;
    virtual int32_t GetDeviceState() = 0;
    virtual int32_t ProgramDevice(std::string fileName) = 0;
    virtual uint32_t ReadUserCode() = 0;
    virtual IDispatch* FlowStage_Build() = 0;
    virtual IDispatch* FlowStage_Download() = 0;
    virtual std::string CoreGen_OutputExtension() = 0;
    virtual void ResetTavrelRegisters() = 0;
    virtual void SingleStepProcessor() = 0;
    virtual void RunSingleStepInSubstitutionRegister() = 0;
    virtual void ResetProcessor() = 0;
    virtual void PauseProcessor() = 0;
    virtual void ContinueProcessor() = 0;
    virtual void RunSteps(int32_t count) = 0;
    virtual bool ProcessorIsPaused() = 0;
    virtual bool ProcessorIsReset() = 0;
    virtual bool ProcessorIsRunning() = 0;
    virtual bool ProcessorIsUsingReducedInstructionSet() = 0;
    virtual bool Flash_Reset() = 0;
    virtual int32_t Flash_Program(std::string fileName) = 0;
    virtual void Flash_Configure() = 0;
    virtual bool SetProcessorRegisterWideValue(int32_t index, std::string value) = 0;
    virtual std::string GetProcessorRegisterWideValue(int32_t index) = 0;
    virtual bool ConfigureFpgaProject(IDispatch* project) = 0;
    virtual bool ShowConfiguration() = 0;
    virtual void ShowCurrentSensePanel() = 0;
    virtual void ReleaseResources() = 0;
    virtual bool InvalidateResources() = 0;
    virtual void CustomAction_Execute(int32_t action) = 0;
    // Writes the three by-reference Booleans (second one left to the driver).
    virtual void CustomAction_GetState(int32_t action, bool& first, bool& second, bool& third) = 0;
    virtual bool EPM_Download(std::string a, std::string fileName, std::string c) = 0;
    virtual bool EPM_InititateTest() = 0;
    virtual int32_t EPM_GetTestResult(int32_t test) = 0;
    virtual void EPM_SetPercentCallBack(IDispatch* callback) = 0;
    virtual bool Flash_ResetForBitStream() = 0;
    virtual std::string GetEmbeddedConstraintFile() = 0;
    virtual void SetEmbeddedConstraintFile(std::string fileName) = 0;
    virtual uint32_t AddSoftBreakpoint(int32_t space, int64_t address) = 0;
    virtual bool RemoveSoftBreakpoint(int32_t space, int64_t address, int32_t value) = 0;
    virtual int64_t GetMemorySpaceLength(int32_t space) = 0;
    virtual std::string GetFolder_Library() = 0;
    virtual IDispatch* ClockCoreGenerator() = 0;
    virtual IDispatch* ClockCoreTemplateGenerator() = 0;
    virtual IDispatch* ClockGeneratorTargetCore() = 0;
    virtual IDispatch* CustomCoreGenerator(int32_t index) = 0;

protected:
    HRESULT DispatchInvoke(int32_t dispid, const TInvokeContext& context) override;
};

} // namespace tavrel
