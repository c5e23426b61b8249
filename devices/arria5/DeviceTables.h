// Constant device tables of the Arria V family: kinds, base dies, resources,
// dimension tables, pin sets and IO standards. The contents are produced by the
// generator in this folder (see GENERATOR.md); this header is the only view the
// rest of the plug-in has of them.
#pragma once

#include <cstdint>

namespace arria5 {

using TDeviceKind = int32_t;         // 0..324, row of DeviceKinds
using TBaseNameId = int32_t;         // 0..84, alphabetical order of the base name
using TDevicePinSet = int32_t;       // 0..142, alphabetical order of base name + package id
using TDevicePackage = int32_t;      // 0..142, same order as the pin sets
using TDeviceIOStandardID = int32_t; // 0..62
using TIOStandardSet = uint64_t;     // bit i set: IO standard i is a member

enum TPackage : uint8_t { ePackage_F27, ePackage_F31, ePackage_F35, ePackage_F40 };
enum TPackageType : uint8_t { ePackageType_F };
enum TTemperatureGrade : uint8_t { eTemperatureGrade_C, eTemperatureGrade_I };
enum TSpeedGrade : uint8_t { eSpeedGrade_3, eSpeedGrade_4, eSpeedGrade_5, eSpeedGrade_6 };
enum TOptionDesignator : uint8_t { eOptionDesignator_ESN, eOptionDesignator_N, eOptionDesignator_None };

inline constexpr int32_t kDeviceKindCount = 325;
inline constexpr int32_t kBaseNameCount = 85;
inline constexpr int32_t kPinSetCount = 143;
inline constexpr int32_t kIOStandardCount = 63;
inline constexpr int32_t kMaxPinsPerSet = 1522;
inline constexpr int32_t kSlewNameCount = 3;
inline constexpr int32_t kDriveStrengthNameCount = 21;

struct TDeviceParameters {
    TDeviceKind Kind;
    const char* FullName;
    uint32_t IdCode;
    TBaseNameId BaseName;
    TPackage Package;
    TPackageType PackageType;
    TTemperatureGrade TemperatureGrade;
    TSpeedGrade SpeedGrade;
    TOptionDesignator OptionDesignator;
    const char* BSDL;
    TDevicePinSet PinSet;
    int32_t InstructionLength;
    TDevicePackage DevicePackage;
};

struct TBaseNameIdParameters {
    const char* Name;
    int32_t EquivalentGates;
    int32_t MaxIO;
};

struct TDeviceResourceParameters {
    int32_t DSPMultiplierCount;
    int32_t ClockManagerCount;
    int32_t MemorySize;
    bool TerminationSupport;
    int32_t GlobalClockCount;
    int32_t ConfigMemorySize;
};

// Identifier / name / description rows of the small dimension tables.
struct TDimensionParameters {
    const char* Id;
    const char* Name;
    const char* Description;
};

struct TPackageParameters {
    const char* Id;
    const char* Name;
    const char* Description;
    const char* Dimensions;
};

// Pin role flags (TPinParameters::Options), one bit each.
enum TPinOption : uint16_t {
    ePinOption_IO = 1u << 0,
    ePinOption_VREF = 1u << 1,
    ePinOption_CLK = 1u << 2,
    ePinOption_Special = 1u << 3,
    ePinOption_InputOnly = 1u << 4,
    ePinOption_DCIP = 1u << 5,
    ePinOption_DCIN = 1u << 6,
    ePinOption_DiffP = 1u << 7,
    ePinOption_DiffN = 1u << 8,
    ePinOption_HDiffP = 1u << 9,
    ePinOption_HDiffN = 1u << 10,
    ePinOption_TransmitDiff = 1u << 11,
    ePinOption_ReceiveDiff = 1u << 12,
    ePinOption_ClkDiffP = 1u << 13,
    ePinOption_ClkDiffN = 1u << 14,
    ePinOption_DLL = 1u << 15,
};

struct TPinParameters {
    const char* PinNumber; // ball name, e.g. "AL31"
    const char* Bank;      // "3A".."8D", "B0L".."B2R" or ""
    const char* DiffId;    // pair identifier or ""
    const char* ClkDiffId; // clock pair identifier or ""
    uint16_t Options;      // TPinOption bits
    TIOStandardSet Standards;
};

struct TPinSetParameters {
    int32_t PinCount;
    int32_t IOCount;
    int32_t DiffCount;
    int32_t HSpeedDiffCount;
    TIOStandardSet Standards;
    const TPinParameters* Pins; // PinCount entries; pin sets of one pin-out share the array
};

struct TDeviceIOStandardParameters {
    const char* DisplayName;
    const char* ParamName;
    bool Differential;
    uint8_t SlewRates;       // bit i: SlewNames[i]
    uint32_t DriveStrengths; // bit i: DriveStrengthNames[i]
};

extern const TDeviceParameters DeviceKinds[kDeviceKindCount];
extern const TBaseNameIdParameters BaseNames[kBaseNameCount];
extern const TDeviceResourceParameters DeviceResources[kPinSetCount];
extern const TPackageParameters Packages[4];
extern const TDimensionParameters PackageTypes[1];
extern const TDimensionParameters TemperatureGrades[2];
extern const TDimensionParameters SpeedGrades[4];
extern const TDimensionParameters OptionDesignators[3];
extern const TPinSetParameters PinSets[kPinSetCount];
extern const TDeviceIOStandardParameters IOStandards[kIOStandardCount];
extern const char* const IOStandardIdentifiers[kIOStandardCount]; // "sLVCMOS12", ...
extern const char* const SlewNames[kSlewNameCount];
extern const char* const DriveStrengthNames[kDriveStrengthNameCount];
extern const char* const BSDLFileNames[kPinSetCount]; // "5AGTFC7H3F35.bsd", ...

// ---- Pin-outs and boundary-scan groups ---------------------------------------
//
// Pin sets of one die and package row share a pin-out: one pin table (the array
// TPinSetParameters::Pins points to) plus, per entry, the pin's function and the
// boundary-scan group of its ball. A pin-out lists every ball of its package once,
// and five dual-purpose user IO balls a second time, at the end of the table, with
// their configuration function (Special only, no IO standards).
//
// Boundary-scan groups: the boundary register of a die is N groups of three cells
// (input, control, output). Every user IO ball of banks 3A..8D owns one group;
// groups without a ball are internal. ScanGroup is the same for every die using the
// pin-out and always below MinGroupCount, so it is valid for each of those dies.

inline constexpr int32_t kPinOutCount = 19;
inline constexpr int32_t kSecondListingCount = 5;

enum TPinFunction : uint8_t {
    ePinFunction_UserIO,      // user IO ball of banks 3A..8D (owns a boundary-scan group)
    ePinFunction_RefClk,      // transceiver reference clock input (banks B0L..B2R)
    ePinFunction_Transceiver, // transceiver transmit/receive pin
    ePinFunction_Config,      // configuration pin, or the second listing of a dual-purpose ball
    ePinFunction_TCK,
    ePinFunction_TDI,
    ePinFunction_TDO,
    ePinFunction_TMS,
    ePinFunction_Power,
    ePinFunction_Ground,
};

struct TPinInfo {
    const char* Name;      // pin function as the vendor lists it: "IO", "CLK0p", "GXB_TX_L3n", "TCK", "VCCIO3A", "GND"...
    TPinFunction Function;
    int16_t ScanGroup;     // boundary-scan group of the entry's ball, -1 when the ball has none
    int16_t FirstEntry;    // entry that first lists the ball: its own index, except for second listings
};

struct TPinOutParameters {
    TPackage Package;
    int32_t BallCount;     // balls of the package: 672, 896, 1152 or 1517
    int32_t PinCount;      // table entries: BallCount + kSecondListingCount
    int32_t ScanBallCount; // balls owning a boundary-scan group (user IO balls of banks 3A..8D)
    int32_t MinGroupCount; // smallest N of the dies using this pin-out
    const TPinParameters* Pins;
    const TPinInfo* Info;  // PinCount entries, parallel to Pins
};

extern const TPinOutParameters PinOuts[kPinOutCount];
extern const int32_t PinSetPinOuts[kPinSetCount];         // pin-out of each pin set
extern const int32_t PinSetScanGroupCounts[kPinSetCount]; // N: boundary-scan groups of the pin set's die

inline const TPinOutParameters& PinOutOf(TDevicePinSet pinSet) { return PinOuts[PinSetPinOuts[pinSet]]; }

// N of the pin set's die: its boundary register has 3 * N cells.
inline int32_t ScanGroupCount(TDevicePinSet pinSet) { return PinSetScanGroupCounts[pinSet]; }

// Boundary-scan group (0..N-1) of pin entry `entry`, -1 when its ball owns no group.
inline int32_t ScanGroupOf(TDevicePinSet pinSet, int32_t entry) { return PinOutOf(pinSet).Info[entry].ScanGroup; }

// First entry of the pin-out with the given function (the JTAG pins exist once each), -1 when none.
inline int32_t FindPinFunction(const TPinOutParameters& pinOut, TPinFunction function) {
    for (int32_t i = 0; i < pinOut.PinCount; ++i)
        if (pinOut.Info[i].Function == function)
            return i;
    return -1;
}

} // namespace arria5
