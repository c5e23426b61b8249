#include "hostsim/jtag/TapState.h"

#include <array>
#include <stdexcept>
#include <string>

namespace hostsim::jtag {

namespace {

// Next state per state for TMS low and TMS high.
constexpr TTapState kNext[kTapStateCount][2] = {
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

using TPathTable = std::array<std::array<TTmsPath, kTapStateCount>, kTapStateCount>;

// Breadth-first search from every real state; TMS low is tried first so that,
// among paths of equal length, the one with fewer early TMS-high clocks wins.
TPathTable BuildPaths()
{
    TPathTable table{};
    for (int32_t from = eTapTestLogicReset; from <= eTapUpdateIR; ++from) {
        std::array<bool, kTapStateCount> seen{};
        std::array<int32_t, kTapStateCount> queue{};
        int32_t head = 0, tail = 0;
        queue[tail++] = from;
        seen[from] = true;
        while (head < tail) {
            const int32_t state = queue[head++];
            for (int tms = 0; tms <= 1; ++tms) {
                const int32_t next = kNext[state][tms];
                if (seen[next]) continue;
                seen[next] = true;
                TTmsPath path = table[from][state];
                path.Bits |= static_cast<uint32_t>(tms) << path.Length;
                ++path.Length;
                table[from][next] = path;
                queue[tail++] = next;
            }
        }
    }
    return table;
}

const TPathTable& Paths()
{
    static const TPathTable table = BuildPaths();
    return table;
}

} // namespace

const char* TapStateName(TTapState state)
{
    static const char* const names[kTapStateCount] = {
        "Unknown",  "Test-Logic-Reset", "Run-Test/Idle", "Select-DR", "Capture-DR", "Shift-DR",
        "Exit1-DR", "Pause-DR",         "Exit2-DR",      "Update-DR", "Select-IR",  "Capture-IR",
        "Shift-IR", "Exit1-IR",         "Pause-IR",      "Exit2-IR",  "Update-IR"};
    return state >= 0 && state < kTapStateCount ? names[state] : "Invalid";
}

TTapState NextTapState(TTapState state, bool tms)
{
    if (state < 0 || state >= kTapStateCount) return eTapUnknown;
    return kNext[state][tms ? 1 : 0];
}

TTmsPath ShortestTmsPath(TTapState from, TTapState to)
{
    if (!IsTapState(to)) throw std::invalid_argument("no path to TAP state " + std::to_string(to));
    if (from == eTapUnknown) {
        TTmsPath path = Paths()[eTapTestLogicReset][to];
        path.Bits = (path.Bits << 5) | 0x1Fu;
        path.Length += 5;
        return path;
    }
    if (!IsTapState(from)) throw std::invalid_argument("no TAP state " + std::to_string(from));
    return Paths()[from][to];
}

} // namespace hostsim::jtag
