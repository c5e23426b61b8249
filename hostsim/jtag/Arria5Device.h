// A simulated Arria V device of any kind of the device tables (0..324).
//
// Instructions (10-bit register; anything else selects the bypass register):
//   BYPASS 0x3FF, EXTEST 0x00F, SAMPLE 0x005, IDCODE 0x006, USERCODE 0x007,
//   CLAMP 0x00A, HIGHZ 0x00B, CONFIG_IO 0x00D, PROGRAM 0x002, STARTUP 0x003,
//   CHECK_STATUS 0x004, ACTIVE_DISENGAGE 0x2D0.
// Configuration: loading PROGRAM clears the configuration; every bit shifted
// through Shift-DR while PROGRAM is loaded goes to the bit-stream check
// (TBitStreamReceiver); loading STARTUP configures the device when that check
// has accepted a complete stream for this die. USERCODE reads 0xFFFFFFFF when
// the device is not configured, else the user code of the stream.
// CHECK_STATUS selects the 3 x N status chain. The configuration-done bit is bit
// 3 x (N - K) + 1 counted from the TDO end (the middle cell of group N - K); the
// other two cells of that group read its complement, every other cell 0.
#pragma once

#include "hostsim/jtag/BitStream.h"
#include "hostsim/jtag/BoardModel.h"
#include "hostsim/jtag/SimDevice.h"

#include <memory>

namespace hostsim::jtag {

class TArria5Device : public TSimDevice {
public:
    enum : uint32_t {
        eProgram = 0x002,
        eStartup = 0x003,
        eCheckStatus = 0x004,
        eSample = 0x005,
        eIdCode = 0x006,
        eUserCode = 0x007,
        eClamp = 0x00A,
        eHighZ = 0x00B,
        eConfigIO = 0x00D,
        eExtest = 0x00F,
        eActiveDisengage = 0x2D0,
        eBypass = 0x3FF,
    };
    static constexpr int32_t kIrLength = 10;

    struct TOptions {
        // Board seen by the boundary register; the default board when empty.
        std::shared_ptr<const TBoardModel> Board;
        // Configuration size in bits; 0 takes the die's. A smaller size lets
        // tests program a device without clocking a full-size stream.
        int64_t ConfigBits = 0;
    };

    explicit TArria5Device(int32_t kind) : TArria5Device(kind, TOptions{}) {}
    TArria5Device(int32_t kind, TOptions options);

    std::optional<uint32_t> IdCode() const override { return FDie.IdCode; }
    int32_t Kind() const { return FKind; }
    const char* BaseName() const;
    const TDieTarget& Die() const { return FDie; }
    // Status-chain groups N and the group K of the configuration-done status.
    int32_t StatusGroups() const { return FGroups; }
    int32_t DoneGroup() const { return FDoneGroup; }
    int32_t BoundaryLength() const { return 3 * FGroups; }
    int32_t ConfigDoneBit() const { return 3 * (FGroups - FDoneGroup) + 1; }

    bool Configured() const { return FConfigured; }
    uint32_t UserCode() const { return FConfigured ? FUserCode : 0xFFFFFFFFu; }
    bool Disengaged() const { return FDisengaged; }
    const TBitStreamReceiver& Receiver() const { return FReceiver; }
    // Cells last loaded by Update-DR with EXTEST or SAMPLE selected (cell 0 first).
    const std::vector<uint8_t>& BoundaryUpdate() const { return FBoundaryUpdate; }

    // N and K for a base name: the status-chain table, and for the two base names
    // without a row (5ASTFD3K3, 5ASTFD5K3) those of their die, 823 and 817.
    static bool StatusChainOf(const char* baseName, int32_t& n, int32_t& k);

protected:
    uint32_t ResetInstruction() const override { return eIdCode; }
    void InstructionUpdated(uint32_t instruction) override;
    void CaptureDr() override;
    void ShiftDr(bool tdi) override;
    bool DrTdoBit() const override;
    void UpdateDr() override;

private:
    enum TRegister { eBypassRegister, eShortRegister, eBoundaryRegister, eStatusRegister, eConfigRegister };

    int32_t FKind;
    TDieTarget FDie;
    int32_t FGroups = 0;
    int32_t FDoneGroup = 0;
    std::shared_ptr<const TBoardModel> FBoard;

    TRegister FSelected = eShortRegister;
    TShortRegister FShort;
    TLongRegister FLong;
    std::vector<uint8_t> FScratch;
    std::vector<uint8_t> FBoundaryUpdate;

    TBitStreamReceiver FReceiver;
    bool FConfigured = false;
    uint32_t FUserCode = 0xFFFFFFFFu;
    bool FDisengaged = false;
};

} // namespace hostsim::jtag
