// Enumerations of the boundary-scan model and their display texts. The texts
// are what descriptions show and what the BSDL reader recognises (without
// regard to case) in a boundary-register cell.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace bsdl {

enum TCellKind : uint8_t {
    eCellKind_Undefined,
    eCellKind_BC_0,
    eCellKind_BC_1,
    eCellKind_BC_2,
    eCellKind_BC_3,
    eCellKind_BC_4,
    eCellKind_BC_5,
    eCellKind_BC_6,
    eCellKind_BC_7,
    eCellKind_BC_8,
    eCellKind_BC_9,
    eCellKind_BC_10,
};

enum TCellFunction : uint8_t {
    eCellFunction_Undefined,
    eCellFunction_Input,
    eCellFunction_Clock,
    eCellFunction_Output2,
    eCellFunction_Output3,
    eCellFunction_Control,
    eCellFunction_ControlR,
    eCellFunction_Internal,
    eCellFunction_BiDir,
    eCellFunction_ObserveOnly,
};

enum TBitValue : uint8_t { eBit_Undefined, eBit_0, eBit_1, eBit_X };

enum TDisableResult : uint8_t {
    eDisableResult_Undefined,
    eDisableResult_HiZ,
    eDisableResult_Weak0,
    eDisableResult_Weak1,
    eDisableResult_Pull0,
    eDisableResult_Pull1,
    eDisableResult_Keeper,
};

// The host's electrical pin type.
enum TPinElectrical : uint8_t {
    eElectricInput,
    eElectricIO,
    eElectricOutput,
    eElectricOpenCollector,
    eElectricPassive,
    eElectricHiZ,
    eElectricOpenEmitter,
    eElectricPower,
};

enum TScanPinKind : uint8_t {
    eScanPinKind_Normal,
    eScanPinKind_TRST,
    eScanPinKind_TCK,
    eScanPinKind_TDO,
    eScanPinKind_TDI,
    eScanPinKind_TMS,
    eScanPinKind_Power,
    eScanPinKind_Ground,
};

enum TScanClockHaltMode : uint8_t { eScanClockHaltMode_None, eScanClockHaltMode_Low, eScanClockHaltMode_Both };

inline constexpr std::array<std::string_view, 12> kCellKindTexts = {
    "", "BC_0", "BC_1", "BC_2", "BC_3", "BC_4", "BC_5", "BC_6", "BC_7", "BC_8", "BC_9", "BC_10"};
inline constexpr std::array<std::string_view, 10> kCellFunctionTexts = {
    "", "Input", "Clock", "Output2", "Output3", "Control", "ControlR", "Internal", "BiDir", "ObserveOnly"};
inline constexpr std::array<std::string_view, 4> kBitValueTexts = {"", "0", "1", "X"};
inline constexpr std::array<std::string_view, 7> kDisableResultTexts = {"",      "Z",     "Weak0", "Weak1",
                                                                        "Pull0", "Pull1", "Keeper"};
inline constexpr std::array<std::string_view, 8> kPinElectricalTexts = {
    "Input", "I/O", "Output", "Open Collector", "Passive", "HiZ", "Open Emitter", "Power"};

// Display texts; a value outside its enumeration shows as an empty text.
std::string_view CellKindText(TCellKind value);
std::string_view CellFunctionText(TCellFunction value);
std::string_view BitValueText(TBitValue value);
std::string_view DisableResultText(TDisableResult value);
std::string_view PinElectricalText(TPinElectrical value);

// The value whose display text equals `text` without regard to case; the
// undefined value (the first one) when none does.
TCellKind CellKindFromText(std::string_view text);
TCellFunction CellFunctionFromText(std::string_view text);
TBitValue BitValueFromText(std::string_view text);
TDisableResult DisableResultFromText(std::string_view text);

} // namespace bsdl
