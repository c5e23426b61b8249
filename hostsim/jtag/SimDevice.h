// Bit-level models of devices on a simulated JTAG chain. Each device has its own
// TAP controller and instruction register and acts on TCK edges exactly as IEEE
// 1149.1 has it: on the rising edge it captures, shifts and changes state; on
// the falling edge it updates the instruction or data register (in Update-IR /
// Update-DR) and drives TDO with the bit at the TDO end of the register being
// shifted. Outside Shift-IR and Shift-DR its TDO is not driven.
#pragma once

#include "hostsim/jtag/TapState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hostsim::jtag {

class TSimDevice {
public:
    TSimDevice(std::string name, int32_t irLength);
    TSimDevice(const TSimDevice&) = delete;
    TSimDevice& operator=(const TSimDevice&) = delete;
    virtual ~TSimDevice() = default;

    const std::string& Name() const { return FName; }
    int32_t IrLength() const { return FIrLength; }
    TTapState State() const { return FState; }
    uint32_t Instruction() const { return FInstruction; }
    // Rising TCK edges seen since the device was made.
    uint64_t Clocks() const { return FClocks; }
    // The IDCODE the device answers, if it has one.
    virtual std::optional<uint32_t> IdCode() const = 0;

    // Pin events, in the order the chain sees them.
    void RisingEdge(bool tms, bool tdi);
    void FallingEdge();
    bool TdoDriven() const { return FTdoDriven; }
    bool TdoLevel() const { return FTdo; }
    // TRST: back to Test-Logic-Reset at once.
    void ResetTap();

protected:
    // Instruction register: value captured in Capture-IR (its two low bits must be 01)
    // and the instruction selected in Test-Logic-Reset.
    virtual uint32_t CapturedInstruction() const { return 1; }
    virtual uint32_t ResetInstruction() const = 0;
    // A new instruction reached the instruction register through Update-IR.
    virtual void InstructionUpdated(uint32_t instruction) {}
    // Data register selected by the current instruction.
    virtual void CaptureDr() = 0;
    virtual void ShiftDr(bool tdi) = 0;
    virtual bool DrTdoBit() const = 0;
    virtual void UpdateDr() {}

private:
    void EnterState(TTapState state);

    std::string FName;
    int32_t FIrLength;
    uint32_t FIrMask;
    TTapState FState = eTapTestLogicReset;
    uint32_t FIrShift = 0;
    uint32_t FInstruction = 0;
    uint64_t FClocks = 0;
    bool FTdo = true;
    bool FTdoDriven = false;
    bool FStarted = false;
};

// A data register of up to 64 bits, shifted from the TDI end to the TDO end.
class TShortRegister {
public:
    void Load(uint64_t value, int32_t length)
    {
        FValue = value;
        FLength = length;
    }
    void Shift(bool tdi) { FValue = (FValue >> 1) | (static_cast<uint64_t>(tdi) << (FLength - 1)); }
    bool TdoBit() const { return (FValue & 1u) != 0; }
    uint64_t Value() const { return FValue; }
    int32_t Length() const { return FLength; }

private:
    uint64_t FValue = 0;
    int32_t FLength = 1;
};

// A long data register (boundary register, status chain) as a ring, so that a
// shift costs the same whatever the length. Bit 0 is the bit at the TDO end.
class TLongRegister {
public:
    explicit TLongRegister(int32_t length = 1) : FBits(static_cast<size_t>(length), 0) {}
    int32_t Length() const { return static_cast<int32_t>(FBits.size()); }
    // Loads bits 0..Length-1 (one byte per bit).
    void Load(const std::vector<uint8_t>& bits)
    {
        FBits = bits;
        FHead = 0;
    }
    void Shift(bool tdi)
    {
        FBits[FHead] = tdi ? 1 : 0;
        if (++FHead == FBits.size()) FHead = 0;
    }
    bool TdoBit() const { return FBits[FHead] != 0; }
    std::vector<uint8_t> Bits() const;

private:
    std::vector<uint8_t> FBits;
    size_t FHead = 0;
};

// Any device of a chain that is not an Arria V: BYPASS for every instruction but
// its IDCODE instruction. With an IDCODE, IDCODE is the reset instruction (so a
// data scan after Test-Logic-Reset reads it, as with real devices); without one
// the device resets to BYPASS.
class TBypassDevice : public TSimDevice {
public:
    TBypassDevice(std::string name, int32_t irLength, std::optional<uint32_t> idCode = std::nullopt,
                  uint32_t idCodeInstruction = 1);
    std::optional<uint32_t> IdCode() const override { return FIdCode; }
    uint32_t IdCodeInstruction() const { return FIdCodeInstruction; }

protected:
    uint32_t ResetInstruction() const override;
    void CaptureDr() override;
    void ShiftDr(bool tdi) override { FDr.Shift(tdi); }
    bool DrTdoBit() const override { return FDr.TdoBit(); }

private:
    std::optional<uint32_t> FIdCode;
    uint32_t FIdCodeInstruction;
    TShortRegister FDr;
};

} // namespace hostsim::jtag
