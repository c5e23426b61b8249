// The objects that serve the Arria V tables: the driver (TDeviceData answering
// every description call from the constant tables, TDevice_Arria5Driver adding
// the device operations), the pin objects and the shared IO standard objects.
#pragma once

#include "bsdl/BsdlRecords.h"
#include "devices/arria5/DeviceTables.h"
#include "plugin/description/DevicePin.h"
#include "plugin/driver/TavrelDriver.h"

#include <memory>
#include <vector>

namespace arria5 {

using tavrel::IDispatch;

class TDevicePinData final : public tavrel::TTavrelAbstractDevicePin {
public:
    TDevicePinData(TDevicePinSet pinSet, int32_t index) : FPinSet(pinSet), FIndex(index) {}

    std::string GetPinNumber() override { return Entry().PinNumber; }
    std::string GetIOBank() override { return Entry().Bank; }
    bool GetIsIOPin() override { return Has(ePinOption_IO); }
    bool GetIsCLKPin() override { return Has(ePinOption_CLK); }
    bool GetIsVREFPin() override { return Has(ePinOption_VREF); }
    bool GetIsSpecialPin() override { return Has(ePinOption_Special); }
    int32_t GetIOStandardCount() override;
    IDispatch* GetIOStandard(int32_t index) override;
    bool GetIsInputOnlyPin() override { return Has(ePinOption_InputOnly); }
    bool GetIsDCIP_Pin() override { return Has(ePinOption_DCIP); }
    bool GetIsDCIN_Pin() override { return Has(ePinOption_DCIN); }
    bool GetIsDiffP_Pin() override { return Has(ePinOption_DiffP); }
    bool GetIsDiffN_Pin() override { return Has(ePinOption_DiffN); }
    bool GetIsHDiffP_Pin() override { return Has(ePinOption_HDiffP); }
    bool GetIsHDiffN_Pin() override { return Has(ePinOption_HDiffN); }
    bool GetIsTransmitDiffPin() override { return Has(ePinOption_TransmitDiff); }
    bool GetIsReceiveDiffPin() override { return Has(ePinOption_ReceiveDiff); }
    bool GetIsClkDiffP_Pin() override { return Has(ePinOption_ClkDiffP); }
    bool GetIsClkDiffN_Pin() override { return Has(ePinOption_ClkDiffN); }
    bool GetIsDLLPin() override { return Has(ePinOption_DLL); }
    std::string GetDifferentialId() override { return Entry().DiffId; }
    std::string GetClkDifferentialId() override { return Entry().ClkDiffId; }

    TDevicePinSet PinSet() const { return FPinSet; }
    int32_t Index() const { return FIndex; }

private:
    const TPinParameters& Entry() const { return PinSets[FPinSet].Pins[FIndex]; }
    bool Has(uint16_t flag) const { return (Entry().Options & flag) != 0; }

    TDevicePinSet FPinSet;
    int32_t FIndex;
};

class TDeviceIOStandardData final : public tavrel::TTavrelAbstractDeviceIOStandard {
public:
    explicit TDeviceIOStandardData(TDeviceIOStandardID id) : FID(id) {}

    std::string GetDisplayName() override { return IOStandards[FID].DisplayName; }
    std::string GetParamName() override { return IOStandards[FID].ParamName; }
    int32_t GetSlewCount() override;
    std::string GetSlewValue(int32_t index) override;
    int32_t GetDriveCount() override;
    std::string GetDriveStrength(int32_t index) override;

    TDeviceIOStandardID ID() const { return FID; }

protected:
    int32_t GetIOStandardCode() override { return FID; }

private:
    TDeviceIOStandardID FID;
};

// The 63 shared IO standard objects, created when the library loads.
TDeviceIOStandardData* SharedIOStandard(TDeviceIOStandardID id);
// The IO standard object of the index-th member (ascending ID) of a set; none past the end.
TDeviceIOStandardData* NthIOStandard(TIOStandardSet set, int32_t index);
int32_t MemberCount(uint64_t set);

class TDeviceData : public tavrel::TTavrelDriver {
public:
    explicit TDeviceData(TDeviceKind kind);

    uint32_t GetIdCode() override { return Row().IdCode; }
    std::string GetDeviceName() override { return Row().FullName; }
    std::string GetDeviceDescription() override;
    std::string GetFamilyName() override { return "Arria5"; }
    std::string GetFamilyDescription() override { return "Arria V FPGA"; }
    std::string GetLibraryName() override { return "Altera Arria V.IntLib"; }
    std::string GetVendorName() override;
    std::string GetBaseName() override { return Base().Name; }
    int32_t GetEquivalentGatesForBase() override { return Base().EquivalentGates; }
    int32_t GetMaxIOForBase() override { return Base().MaxIO; }
    std::string GetPackageId() override { return Packages[Row().Package].Id; }
    std::string GetPackageName() override { return Packages[Row().Package].Name; }
    std::string GetPackageDescription() override { return Packages[Row().Package].Description; }
    std::string GetPackageDimensions() override { return Packages[Row().Package].Dimensions; }
    std::string GetPackageTypeId() override { return PackageTypes[Row().PackageType].Id; }
    std::string GetPackageTypeName() override { return PackageTypes[Row().PackageType].Name; }
    std::string GetPackageTypeDescription() override { return PackageTypes[Row().PackageType].Description; }
    std::string GetTemperatureGradeId() override { return TemperatureGrades[Row().TemperatureGrade].Id; }
    std::string GetTemperatureGradeName() override { return TemperatureGrades[Row().TemperatureGrade].Name; }
    std::string GetTemperatureGradeDescription() override
    {
        return TemperatureGrades[Row().TemperatureGrade].Description;
    }
    std::string GetSpeedGradeId() override { return SpeedGrades[Row().SpeedGrade].Id; }
    std::string GetSpeedGradeName() override { return SpeedGrades[Row().SpeedGrade].Name; }
    std::string GetSpeedGradeDescription() override { return SpeedGrades[Row().SpeedGrade].Description; }
    std::string GetOptionDesignatorId() override { return OptionDesignators[Row().OptionDesignator].Id; }
    std::string GetOptionDesignatorName() override { return OptionDesignators[Row().OptionDesignator].Name; }
    std::string GetOptionDesignatorDescription() override
    {
        return OptionDesignators[Row().OptionDesignator].Description;
    }
    std::string GetBSDLFilename() override { return Row().BSDL; }
    // The kind's boundary-scan entity, built from its stored record on first use and kept.
    IDispatch* GetBSDLEntity() override;
    int32_t GetInstructionLength() override { return Row().InstructionLength; }
    int32_t GetDSPMultiplierCount() override { return Resources().DSPMultiplierCount; }
    int32_t GetClockManagerCount() override { return Resources().ClockManagerCount; }
    int32_t GetMemorySize() override { return Resources().MemorySize; }
    bool GetTerminationSupport() override { return Resources().TerminationSupport; }
    int32_t GetGlobalClockCount() override { return Resources().GlobalClockCount; }
    int32_t GetConfigMemorySize() override { return Resources().ConfigMemorySize; }

    int32_t GetDevicePinCount() override { return Pins().PinCount; }
    int32_t GetDeviceIOCount() override { return Pins().IOCount; }
    int32_t GetDiffPairCount() override { return Pins().DiffCount; }
    int32_t GetHighSpeedDiffPairCount() override { return Pins().HSpeedDiffCount; }
    IDispatch* GetDevicePin(int32_t index) override;
    int32_t GetIOStandardCount() override { return MemberCount(Pins().Standards); }
    IDispatch* GetIOStandard(int32_t index) override;

    bool SupportsFPGA() override { return true; }

    TDeviceKind Kind() const { return FKind; }

private:
    const TDeviceParameters& Row() const { return DeviceKinds[FKind]; }
    const TBaseNameIdParameters& Base() const { return BaseNames[Row().BaseName]; }
    const TDeviceResourceParameters& Resources() const { return DeviceResources[Row().DevicePackage]; }
    const TPinSetParameters& Pins() const { return PinSets[Row().PinSet]; }

    TDeviceKind FKind;
    std::vector<std::unique_ptr<TDevicePinData>> FPins;

    // The stored descriptions' file names, each with the entity built from it.
    struct TBSDLDataEntry {
        std::string FileName;
        std::unique_ptr<bsdl::TBSDLEntity> Entity;
    };
    std::vector<TBSDLDataEntry> FBSDLDataList;
    bsdl::TBSDLPartCaches FBSDLCaches;
};

class TDevice_Arria5Driver final : public TDeviceData {
public:
    explicit TDevice_Arria5Driver(TDeviceKind kind);

    std::string GetDownloadFileExtensions() override { return "RBF"; }

    // The device operations, each over the channel and chain position the host
    // gives at the time of the call.
    bool ResetDevice() override;
    int32_t GetDeviceState() override;
    int32_t ProgramDevice(std::string fileName) override;
    uint32_t ReadUserCode() override;
    // Kind 0: the Quartus build; kind 1: the download of the raw bit file.
    tavrel::THostObject CreateFlow(int32_t kind) override;
};

} // namespace arria5
