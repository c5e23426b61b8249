// The IEEE 1149.1 TAP controller: its sixteen states (numbered as the host's
// channel numbers them, 0 meaning "not known"), the transition on one TCK
// rising edge, and the shortest TMS sequence between two states.
#pragma once

#include <cstdint>

namespace hostsim::jtag {

enum TTapState : int32_t {
    eTapUnknown = 0,
    eTapTestLogicReset = 1,
    eTapRunTestIdle = 2,
    eTapSelectDR = 3,
    eTapCaptureDR = 4,
    eTapShiftDR = 5,
    eTapExit1DR = 6,
    eTapPauseDR = 7,
    eTapExit2DR = 8,
    eTapUpdateDR = 9,
    eTapSelectIR = 10,
    eTapCaptureIR = 11,
    eTapShiftIR = 12,
    eTapExit1IR = 13,
    eTapPauseIR = 14,
    eTapExit2IR = 15,
    eTapUpdateIR = 16,
};

inline constexpr int32_t kTapStateCount = 17; // including eTapUnknown

inline bool IsTapState(int32_t code) { return code >= eTapTestLogicReset && code <= eTapUpdateIR; }
const char* TapStateName(TTapState state);

// Next state per state for TMS low and TMS high.
inline constexpr TTapState kNextTapState[kTapStateCount][2] = {
    /* Unknown          */ {eTapUnknown, eTapUnknown},
    /* Test-Logic-Reset */ {eTapRunTestIdle, eTapTestLogicReset},
    /* Run-Test/Idle    */ {eTapRunTestIdle, eTapSelectDR},
    /* Select-DR        */ {eTapCaptureDR, eTapSelectIR},
    /* Capture-DR       */ {eTapShiftDR, eTapExit1DR},
    /* Shift-DR         */ {eTapShiftDR, eTapExit1DR},
    /* Exit1-DR         */ {eTapPauseDR, eTapUpdateDR},
    /* Pause-DR         */ {eTapPauseDR, eTapExit2DR},
    /* Exit2-DR         */ {eTapShiftDR, eTapUpdateDR},
    /* Update-DR        */ {eTapRunTestIdle, eTapSelectDR},
    /* Select-IR        */ {eTapCaptureIR, eTapTestLogicReset},
    /* Capture-IR       */ {eTapShiftIR, eTapExit1IR},
    /* Shift-IR         */ {eTapShiftIR, eTapExit1IR},
    /* Exit1-IR         */ {eTapPauseIR, eTapUpdateIR},
    /* Pause-IR         */ {eTapPauseIR, eTapExit2IR},
    /* Exit2-IR         */ {eTapShiftIR, eTapUpdateIR},
    /* Update-IR        */ {eTapRunTestIdle, eTapSelectDR},
};

// The state after one rising edge of TCK with the given TMS. eTapUnknown stays unknown.
inline TTapState NextTapState(TTapState state, bool tms)
{
    if (state < 0 || state >= kTapStateCount) return eTapUnknown;
    return kNextTapState[state][tms ? 1 : 0];
}

// TMS levels that walk from one state to another in the fewest clocks: bit i of
// Bits is the TMS of clock i. From eTapUnknown the path starts with five clocks
// of TMS high (which reach Test-Logic-Reset from anywhere). A state to itself is
// the empty path. `to` must be a real state.
struct TTmsPath {
    uint32_t Bits = 0;
    int32_t Length = 0;
};
TTmsPath ShortestTmsPath(TTapState from, TTapState to);

// Follows a TAP from the TMS levels it is clocked with. It starts unknown; five
// clocks of TMS high in a row always land in Test-Logic-Reset.
class TTapTracker {
public:
    TTapState State() const { return FState; }
    void Set(TTapState state) { FState = state; }
    void Clock(bool tms)
    {
        FOnes = tms ? FOnes + 1 : 0;
        FState = FOnes >= 5 ? eTapTestLogicReset : NextTapState(FState, tms);
    }

private:
    TTapState FState = eTapUnknown;
    int32_t FOnes = 0;
};

} // namespace hostsim::jtag
