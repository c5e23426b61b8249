#include "hostsim/jtag/SimDevice.h"

#include <stdexcept>

namespace hostsim::jtag {

TSimDevice::TSimDevice(std::string name, int32_t irLength)
    : FName(std::move(name)), FIrLength(irLength),
      FIrMask(irLength >= 32 ? 0xFFFFFFFFu : (1u << irLength) - 1u)
{
    if (irLength < 2 || irLength > 32)
        throw std::invalid_argument("instruction register length " + std::to_string(irLength) + " is not 2..32");
}

void TSimDevice::RisingEdge(bool tms, bool tdi)
{
    if (!FStarted) {
        // Power-up puts the TAP in Test-Logic-Reset with the reset instruction.
        FStarted = true;
        FInstruction = ResetInstruction();
    }
    ++FClocks;
    switch (FState) {
    case eTapCaptureDR: CaptureDr(); break;
    case eTapShiftDR: ShiftDr(tdi); break;
    case eTapCaptureIR: FIrShift = CapturedInstruction() & FIrMask; break;
    case eTapShiftIR: FIrShift = (FIrShift >> 1) | (static_cast<uint32_t>(tdi) << (FIrLength - 1)); break;
    default: break;
    }
    EnterState(NextTapState(FState, tms));
}

void TSimDevice::FallingEdge()
{
    switch (FState) {
    case eTapShiftDR:
        FTdo = DrTdoBit();
        FTdoDriven = true;
        return;
    case eTapShiftIR:
        FTdo = (FIrShift & 1u) != 0;
        FTdoDriven = true;
        return;
    case eTapUpdateIR:
        FInstruction = FIrShift;
        InstructionUpdated(FInstruction);
        break;
    case eTapUpdateDR: UpdateDr(); break;
    default: break;
    }
    FTdoDriven = false;
    FTdo = true;
}

void TSimDevice::ResetTap()
{
    FStarted = true;
    FState = eTapUnknown; // forces EnterState to run the reset
    EnterState(eTapTestLogicReset);
    FTdoDriven = false;
    FTdo = true;
}

void TSimDevice::EnterState(TTapState state)
{
    if (state == eTapTestLogicReset && FState != eTapTestLogicReset) FInstruction = ResetInstruction();
    FState = state;
}

std::vector<uint8_t> TLongRegister::Bits() const
{
    std::vector<uint8_t> bits(FBits.size());
    for (size_t i = 0; i < FBits.size(); ++i) bits[i] = FBits[(FHead + i) % FBits.size()];
    return bits;
}

TBypassDevice::TBypassDevice(std::string name, int32_t irLength, std::optional<uint32_t> idCode,
                             uint32_t idCodeInstruction)
    : TSimDevice(std::move(name), irLength), FIdCode(idCode), FIdCodeInstruction(idCodeInstruction)
{
    if (idCode && (*idCode & 1u) == 0) throw std::invalid_argument("an IDCODE has bit 0 set");
}

uint32_t TBypassDevice::ResetInstruction() const
{
    return FIdCode ? FIdCodeInstruction : (IrLength() >= 32 ? 0xFFFFFFFFu : (1u << IrLength()) - 1u);
}

void TBypassDevice::CaptureDr()
{
    if (FIdCode && Instruction() == FIdCodeInstruction) FDr.Load(*FIdCode, 32);
    else FDr.Load(0, 1);
}

} // namespace hostsim::jtag
