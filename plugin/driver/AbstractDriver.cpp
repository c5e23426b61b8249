#include "plugin/driver/AbstractDriver.h"

#include "plugin/frame/DispatchTable.h"

namespace tavrel {

namespace {

using D = TAbstractDeviceInformation;
using T = TAbstractTavrelDriver;

constexpr TDispatchRow kDeviceInformationTable[] = {
    {503379, &Thunk<&D::GetIdCode>},
    {503380, &Thunk<&D::GetDeviceName>},
    {503381, &Thunk<&D::GetDeviceDescription>},
    {503382, &Thunk<&D::GetFamilyName>},
    {503383, &Thunk<&D::GetFamilyDescription>},
    {503384, &Thunk<&D::GetLibraryName>},
    {503385, &Thunk<&D::GetVendorPrimitiveLibraryName>},
    {503386, &Thunk<&D::GetBaseName>},
    {503387, &Thunk<&D::GetEquivalentGatesForBase>},
    {503388, &Thunk<&D::GetMaxIOForBase>},
    {503389, &Thunk<&D::GetPackageTypeId>},
    {503390, &Thunk<&D::GetPackageTypeName>},
    {503391, &Thunk<&D::GetPackageTypeDescription>},
    {503392, &Thunk<&D::GetPackageId>},
    {503393, &Thunk<&D::GetPackageName>},
    {503394, &Thunk<&D::GetPackageDescription>},
    {503395, &Thunk<&D::GetPackageDimensions>},
    {503396, &Thunk<&D::GetTemperatureGradeId>},
    {503397, &Thunk<&D::GetTemperatureGradeName>},
    {503398, &Thunk<&D::GetTemperatureGradeDescription>},
    {503399, &Thunk<&D::GetSpeedGradeId>},
    {503400, &Thunk<&D::GetSpeedGradeName>},
    {503401, &Thunk<&D::GetSpeedGradeDescription>},
    {503402, &Thunk<&D::GetOptionDesignatorId>},
    {503403, &Thunk<&D::GetOptionDesignatorName>},
    {503404, &Thunk<&D::GetOptionDesignatorDescription>},
    {503405, &Thunk<&D::GetBSDLFilename>},
    {503406, &Thunk<&D::GetBSDLEntity>},
    {503407, &Thunk<&D::GetVendorName>},
    {503408, &Thunk<&D::GetInstructionLength>},
    {503409, &Thunk<&D::GetDevicePinCount>},
    {503410, &Thunk<&D::GetDeviceIOCount>},
    {503411, &Thunk<&D::GetDevicePin>},
    {503412, &Thunk<&D::GetDownloadFileExtensions>},
    {503413, &Thunk<&D::GetDSPMultiplierCount>},
    {503414, &Thunk<&D::GetClockManagerCount>},
    {503415, &Thunk<&D::GetMemorySize>},
    {503416, &Thunk<&D::GetTerminationSupport>},
    {503417, &Thunk<&D::GetGlobalClockCount>},
    {503418, &Thunk<&D::GetConfigMemorySize>},
    {503419, &Thunk<&D::GetDiffPairCount>},
    {503420, &Thunk<&D::GetHighSpeedDiffPairCount>},
    {503421, &Thunk<&D::GetIOStandardCount>},
    {503422, &Thunk<&D::GetIOStandard>},
    {503423, &Thunk<&D::GetDeviceDisplayName>},
    {503424, &Thunk<&D::GetDeviceParameter>},
};

// CustomAction_GetState(Action, var B1, var B2, var B3, X, Y): the only
// operation with by-reference arguments. Each Boolean the operation writes is
// stored through its variant's reference as -1 or 0.
HRESULT CustomActionGetStateThunk(TAbstractSupportService& self, const TInvokeContext& context)
{
    constexpr uint32_t arity = 6;
    if (!context.Params || !context.Params->rgvarg || context.Params->cArgs < arity) return com::DISP_E_BADPARAMCOUNT;
    com::VARIANT* args = context.Params->rgvarg;
    const uint32_t last = context.Params->cArgs - 1;
    auto argument = [&](uint32_t k) -> com::VARIANT& { return args[last - k]; };
    int32_t action = 0;
    try {
        action = com::VariantToInt32(argument(0));
    } catch (const com::TTypeMismatch&) {
        if (context.ArgErr) *context.ArgErr = last;
        return com::DISP_E_TYPEMISMATCH;
    }
    for (uint32_t k = 1; k <= 3; ++k) {
        const com::VARIANT& v = argument(k);
        const bool byRefBool = v.vt == (com::VT_BYREF | com::VT_BOOL) && v.pboolVal;
        const bool byRefVariant = v.vt == (com::VT_BYREF | com::VT_VARIANT) && v.pvarVal;
        if (!byRefBool && !byRefVariant) {
            if (context.ArgErr) *context.ArgErr = last - k;
            return com::DISP_E_TYPEMISMATCH;
        }
    }
    auto store = [&](uint32_t k, bool value) {
        com::VARIANT& v = argument(k);
        if (v.vt == (com::VT_BYREF | com::VT_BOOL)) *v.pboolVal = value ? com::VARIANT_TRUE : com::VARIANT_FALSE;
        else com::VariantSetBool(v.pvarVal, value);
    };
    try {
        bool first = false, second = false, third = false;
        static_cast<T&>(self).CustomAction_GetState(action, first, second, third);
        store(1, first);
        store(3, third);
        (void)second; // left unset, as the base driver does
    } catch (const std::exception& e) {
        return ReportFailure(context, e.what());
    }
    return com::S_OK;
}

constexpr TDispatchRow kTavrelDriverTable[] = {
    {503753, &Thunk<&T::GetTavrelDevice>},
    {503754, &Thunk<&T::SetTavrelDevice>},
    {503755, &Thunk<&T::Finalize>},
    {503756, &Thunk<&T::GetBitmapHandle>},
    {503757, &Thunk<&T::SaveProcessorState>},
    {503758, &Thunk<&T::RestoreProcessorState>},
    {503759, &Thunk<&T::CreateRackViewer>},
    {503760, &Thunk<&T::GetRackViewer>},
    {503761, &Thunk<&T::Supports>},
    {503762, &Thunk<&T::ShowAboutDialog>},
    {503763, &Thunk<&T::VendorToolsDescriptor>},
    {503764, &Thunk<&T::VendorToolsPresent>},
    {503765, &Thunk<&T::VendorToolsUpToDate>},
    {503766, &Thunk<&T::SetProcessorRegisterValue>},
    {503767, &Thunk<&T::GetProcessorRegisterValue>},
    {503768, &Thunk<&T::GetProcessorRegisterWidth>},
    {503769, &Thunk<&T::GetProcessorRegisterName>},
    {503770, &Thunk<&T::GetProcessorRegisterShortName>},
    {503771, &Thunk<&T::GetProcessorRegisterCount>},
    {503772, &Thunk<&T::GetRegisterIndex_PC>},
    {503773, &Thunk<&T::GetRegisterIndex_SP>},
    {503774, &Thunk<&T::GetSoftBreakpointAddressByteAlign>},
    {503775, &Thunk<&T::GetMemorySpaceWidth>},
    {503776, &Thunk<&T::GetMemorySpaceKind>},
    {503777, &Thunk<&T::GetMemorySpaceBytesPerUnit>},
    {503778, &Thunk<&T::GetMemorySpaceName>},
    {503779, &Thunk<&T::GetMemorySpaceShortName>},
    {503780, &Thunk<&T::GetMemorySpaceCount>},
    {503781, &Thunk<&T::GetMemorySpace_Program>},
    {503782, &Thunk<&T::InitDownload>},
    {503783, &Thunk<&T::FinishDownload>},
    {503784, &Thunk<&T::RunDiagnostic>},
    {503785, &Thunk<&T::LittleEndian>},
    {503786, &Thunk<&T::ResetDevice>},
    {503787, &Thunk<&T::GetDeviceState>},
    {503788, &Thunk<&T::ProgramDevice>},
    {503789, &Thunk<&T::ReadUserCode>},
    {503790, &Thunk<&T::FlowStage_Build>},
    {503791, &Thunk<&T::FlowStage_Download>},
    {503792, &Thunk<&T::CoreGen_OutputExtension>},
    {503793, &Thunk<&T::ResetTavrelRegisters>},
    {503794, &Thunk<&T::SingleStepProcessor>},
    {503795, &Thunk<&T::RunSingleStepInSubstitutionRegister>},
    {503796, &Thunk<&T::ResetProcessor>},
    {503797, &Thunk<&T::PauseProcessor>},
    {503798, &Thunk<&T::ContinueProcessor>},
    {503799, &Thunk<&T::RunSteps>},
    {503800, &Thunk<&T::ProcessorIsPaused>},
    {503801, &Thunk<&T::ProcessorIsReset>},
    {503802, &Thunk<&T::ProcessorIsRunning>},
    {503803, &Thunk<&T::ProcessorIsUsingReducedInstructionSet>},
    {503804, &Thunk<&T::Flash_Reset>},
    {503805, &Thunk<&T::Flash_Program>},
    {503806, &Thunk<&T::Flash_Configure>},
    {503807, &Thunk<&T::SetProcessorRegisterWideValue>},
    {503808, &Thunk<&T::GetProcessorRegisterWideValue>},
    {503809, &Thunk<&T::ConfigureFpgaProject>},
    {503810, &Thunk<&T::ShowConfiguration>},
    {503811, &Thunk<&T::ShowCurrentSensePanel>},
    {503812, &Thunk<&T::ReleaseResources>},
    {503813, &Thunk<&T::InvalidateResources>},
    {503814, &Thunk<&T::CustomAction_Execute>},
    {503815, &CustomActionGetStateThunk},
    {503816, &Thunk<&T::EPM_Download>},
    {503817, &Thunk<&T::EPM_InititateTest>},
    {503818, &Thunk<&T::EPM_GetTestResult>},
    {503819, &Thunk<&T::EPM_SetPercentCallBack>},
    {503820, &Thunk<&T::Flash_ResetForBitStream>},
    {503821, &Thunk<&T::GetEmbeddedConstraintFile>},
    {503822, &Thunk<&T::SetEmbeddedConstraintFile>},
    {508552, &Thunk<&T::AddSoftBreakpoint>},
    {508553, &Thunk<&T::RemoveSoftBreakpoint>},
    {508554, &Thunk<&T::GetMemorySpaceLength>},
    {509312, &Thunk<&T::GetFolder_Library>},
    {509376, &Thunk<&T::ClockCoreGenerator>},
    {509427, &Thunk<&T::ClockCoreTemplateGenerator>},
    {509470, &Thunk<&T::ClockGeneratorTargetCore>},
    {509981, &Thunk<&T::CustomCoreGenerator>},
};

} // namespace

bool TAbstractDeviceInformation::SupportsServiceName(std::string_view name) const
{
    return TAbstractSupportService::SupportsServiceName(name) || SameText(name, "DeviceInformation");
}

HRESULT TAbstractDeviceInformation::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kDeviceInformationTable, TAbstractSupportService);
}

bool TAbstractTavrelDriver::SupportsServiceName(std::string_view name) const
{
    return TAbstractDeviceInformation::SupportsServiceName(name) || SameText(name, "TavrelDriver");
}

HRESULT TAbstractTavrelDriver::DispatchInvoke(int32_t dispid, const TInvokeContext& context)
{
    TAVREL_DISPATCH_WITH_TABLE(kTavrelDriverTable, TAbstractDeviceInformation);
}

} // namespace tavrel
