#include "devices/arria5/StoredBSDL.h"

namespace arria5 {

namespace {

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

uint32_t PatternValue(std::string_view pattern)
{
    uint32_t value = 0;
    for (char c : pattern) value = value << 1 | (c == '1' ? 1u : 0u);
    return value;
}

std::string PortName(const TPinOutParameters& pinOut, const TBSDLPinOutLayout& layout, int32_t entry)
{
    const TPinInfo& info = pinOut.Info[entry];
    if (info.Function == ePinFunction_UserIO) return std::string("IO") + pinOut.Pins[entry].PinNumber;
    const int16_t element = layout.PortIndexes[entry];
    if (element == 0) return info.Name;
    return std::string(info.Name) + "(" + std::to_string(element) + ")";
}

std::string TapPinNumber(const TPinOutParameters& pinOut, TPinFunction function)
{
    const int32_t entry = FindPinFunction(pinOut, function);
    return entry < 0 ? std::string() : pinOut.Pins[entry].PinNumber;
}

} // namespace

int32_t FindStoredBSDLRecord(std::string_view fileName)
{
    for (int32_t i = kStoredBSDLCount - 1; i >= 0; --i)
        if (SameName(BSDLFileNames[i], fileName)) return i;
    return -1;
}

std::string BSDLPortName(TDevicePinSet pinSet, int32_t entry)
{
    const TPinOutParameters& pinOut = PinOutOf(pinSet);
    if (entry < 0 || entry >= pinOut.BallCount) return {};
    return PortName(pinOut, BSDLPinOutLayouts[PinSetPinOuts[pinSet]], entry);
}

TStoredBSDLRecord::TStoredBSDLRecord(int32_t index)
    : FIndex(index), FPinOut(PinOutOf(index)), FLayout(BSDLPinOutLayouts[PinSetPinOuts[index]])
{
    Name = BSDLRecordRows[index].Name;
    BoundaryLength = 3 * ScanGroupCount(index);
    ScanClockMaxSpeed = BSDLScanClockMaxSpeed;
    ScanClockHaltMode = BSDLScanClockHaltMode;
    ConformanceStatement = BSDLConformanceStatement;
    Filename = BSDLFileNames[index];
    PinNumber_TDI = TapPinNumber(FPinOut, ePinFunction_TDI);
    PinNumber_TDO = TapPinNumber(FPinOut, ePinFunction_TDO);
    PinNumber_TMS = TapPinNumber(FPinOut, ePinFunction_TMS);
    PinNumber_TCK = TapPinNumber(FPinOut, ePinFunction_TCK);
    PinCount = FPinOut.BallCount;
    BoundaryCellCount = BoundaryLength;
    for (const TBSDLOpCodeRow& row : BSDLOpCodes) {
        OpCodes.push_back({row.InstructionName, row.OpCodePattern});
        if (SameName(row.InstructionName, "SAMPLE"))
            Instruction_SAMPLE = static_cast<int32_t>(PatternValue(row.OpCodePattern));
    }
    for (const TBSDLRegisterRow& row : BSDLRegisterSets[BSDLRecordRows[index].RegisterSet]) {
        bsdl::TRegisterAssociationParameters association;
        association.RegisterName = row.RegisterName;
        association.RegisterLength = row.RegisterLength;
        for (const TBSDLOpCodeRow& opCode : BSDLOpCodes)
            if (SameName(opCode.InstructionName, row.InstructionName))
                association.OpCodes.push_back({opCode.InstructionName, opCode.OpCodePattern});
        RegisterAssociations.push_back(std::move(association));
    }
}

bsdl::TScanPinParameters TStoredBSDLRecord::Pin(int32_t index) const
{
    bsdl::TScanPinParameters pin;
    if (index < 0 || index >= PinCount) return pin;
    const TPinParameters& entry = FPinOut.Pins[index];
    const TPinInfo& info = FPinOut.Info[index];
    pin.PinNumber = entry.PinNumber;
    pin.PinName = PortName(FPinOut, FLayout, index);
    pin.PinMapping = {pin.PinName, pin.PinNumber};
    switch (info.Function) {
    case ePinFunction_TCK: pin.Kind = bsdl::eScanPinKind_TCK; break;
    case ePinFunction_TDI: pin.Kind = bsdl::eScanPinKind_TDI; break;
    case ePinFunction_TDO: pin.Kind = bsdl::eScanPinKind_TDO; break;
    case ePinFunction_TMS: pin.Kind = bsdl::eScanPinKind_TMS; break;
    case ePinFunction_Power: pin.Kind = bsdl::eScanPinKind_Power; break;
    case ePinFunction_Ground: pin.Kind = bsdl::eScanPinKind_Ground; break;
    default: pin.Kind = bsdl::eScanPinKind_Normal; break;
    }
    if (info.Function == ePinFunction_TDO) pin.Direction = bsdl::eElectricOutput;
    else if (info.Function == ePinFunction_TCK || info.Function == ePinFunction_TDI ||
             info.Function == ePinFunction_TMS || (entry.Options & ePinOption_InputOnly))
        pin.Direction = bsdl::eElectricInput;
    else pin.Direction = bsdl::eElectricIO;
    if (info.Function == ePinFunction_UserIO && info.ScanGroup >= 0) {
        pin.BoundaryCellCount = 2;
        pin.BoundaryCells[0] = 3 * info.ScanGroup;
        pin.BoundaryCells[1] = 3 * info.ScanGroup + 2;
    }
    return pin;
}

bsdl::TBoundaryCellParameters TStoredBSDLRecord::BoundaryCell(int32_t index) const
{
    bsdl::TBoundaryCellParameters cell;
    if (index < 0 || index >= BoundaryCellCount) return cell;
    const int32_t group = index / 3, role = index % 3;
    const int32_t entry = group < FPinOut.MinGroupCount ? FLayout.GroupEntries[group] : -1;
    cell.CellNumber = index;
    if (entry < 0) {
        cell.CellKind = bsdl::eCellKind_BC_4;
        cell.CellFunction = bsdl::eCellFunction_Internal;
        cell.SafeBit = role == 1 ? bsdl::eBit_1 : bsdl::eBit_X;
        return cell;
    }
    const std::string port = PortName(FPinOut, FLayout, entry);
    switch (role) {
    case 0:
        cell.CellKind = bsdl::eCellKind_BC_4;
        cell.PortId = port;
        cell.CellFunction = bsdl::eCellFunction_Input;
        cell.SafeBit = bsdl::eBit_X;
        cell.PinNumber = FPinOut.Pins[entry].PinNumber;
        break;
    case 1:
        cell.CellKind = bsdl::eCellKind_BC_1;
        cell.CellFunction = bsdl::eCellFunction_Control;
        cell.SafeBit = bsdl::eBit_1;
        cell.TargetCellNumber = index + 1;
        break;
    default:
        cell.CellKind = bsdl::eCellKind_BC_1;
        cell.PortId = port;
        cell.CellFunction = bsdl::eCellFunction_Output3;
        cell.SafeBit = bsdl::eBit_X;
        cell.ControlCellNumber = index - 1;
        cell.DisableValue = bsdl::eBit_1;
        cell.DisableResult = bsdl::eDisableResult_HiZ;
        cell.PinNumber = FPinOut.Pins[entry].PinNumber;
        break;
    }
    return cell;
}

} // namespace arria5
