#include "hostsim/jtag/TapState.h"

#include <array>
#include <stdexcept>
#include <string>

namespace hostsim::jtag {

namespace {

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
                const int32_t next = kNextTapState[state][tms];
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
