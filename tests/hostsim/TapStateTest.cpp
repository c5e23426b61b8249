// TAP controller transitions and the shortest TMS walks between states.
#include "hostsim/jtag/TapState.h"

#include <gtest/gtest.h>

namespace {

using namespace hostsim::jtag;

TTapState Walk(TTapState state, const char* tms)
{
    for (const char* c = tms; *c; ++c) state = NextTapState(state, *c == '1');
    return state;
}

TEST(TapState, WalksThroughTheDiagram)
{
    struct TCase {
        TTapState From;
        const char* Tms;
        TTapState To;
    };
    const TCase cases[] = {
        {eTapTestLogicReset, "0", eTapRunTestIdle},
        {eTapRunTestIdle, "100", eTapShiftDR},
        {eTapRunTestIdle, "1100", eTapShiftIR},
        {eTapShiftDR, "1010", eTapShiftDR},   // Exit1, Pause, Exit2, Shift
        {eTapShiftIR, "11", eTapUpdateIR},
        {eTapUpdateIR, "1", eTapSelectDR},   // straight into the next scan
        {eTapUpdateDR, "0", eTapRunTestIdle},
        {eTapSelectIR, "1", eTapTestLogicReset},
        {eTapPauseIR, "11", eTapUpdateIR},
        {eTapCaptureDR, "1", eTapExit1DR},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Walk(c.From, c.Tms), c.To) << TapStateName(c.From) << " + " << c.Tms;
    // Five clocks of TMS high reach Test-Logic-Reset from any state.
    for (int32_t s = eTapTestLogicReset; s <= eTapUpdateIR; ++s)
        EXPECT_EQ(Walk(static_cast<TTapState>(s), "11111"), eTapTestLogicReset) << TapStateName(static_cast<TTapState>(s));
}

TEST(TapState, ShortestPathsReachTheirTarget)
{
    struct TCase {
        TTapState From, To;
        int32_t Length;
        uint32_t Bits;
    };
    const TCase known[] = {
        {eTapRunTestIdle, eTapShiftDR, 3, 0b001},  {eTapRunTestIdle, eTapShiftIR, 4, 0b0011},
        {eTapExit1DR, eTapRunTestIdle, 2, 0b01},   {eTapExit1IR, eTapRunTestIdle, 2, 0b01},
        {eTapTestLogicReset, eTapRunTestIdle, 1, 0}, {eTapRunTestIdle, eTapRunTestIdle, 0, 0},
        {eTapShiftDR, eTapShiftIR, 6, 0b001111},   {eTapRunTestIdle, eTapTestLogicReset, 3, 0b111},
        {eTapUnknown, eTapRunTestIdle, 6, 0b011111},
    };
    for (const TCase& c : known) {
        const TTmsPath path = ShortestTmsPath(c.From, c.To);
        EXPECT_EQ(path.Length, c.Length) << TapStateName(c.From) << " -> " << TapStateName(c.To);
        EXPECT_EQ(path.Bits, c.Bits) << TapStateName(c.From) << " -> " << TapStateName(c.To);
    }
    // Every pair: the path lands on the target; only a state to itself is empty.
    for (int32_t from = eTapTestLogicReset; from <= eTapUpdateIR; ++from)
        for (int32_t to = eTapTestLogicReset; to <= eTapUpdateIR; ++to) {
            const TTmsPath path = ShortestTmsPath(static_cast<TTapState>(from), static_cast<TTapState>(to));
            TTapState state = static_cast<TTapState>(from);
            for (int32_t i = 0; i < path.Length; ++i) state = NextTapState(state, (path.Bits >> i) & 1u);
            EXPECT_EQ(state, to) << from << " -> " << to;
            EXPECT_EQ(path.Length == 0, from == to);
        }
    EXPECT_THROW(ShortestTmsPath(eTapRunTestIdle, eTapUnknown), std::invalid_argument);
}

TEST(TapState, TrackerLearnsTheStateFromFiveHighClocks)
{
    TTapTracker tracker;
    for (bool tms : {true, false, true, true}) tracker.Clock(tms);
    EXPECT_EQ(tracker.State(), eTapUnknown);
    for (int i = 0; i < 5; ++i) tracker.Clock(true);
    EXPECT_EQ(tracker.State(), eTapTestLogicReset);
    for (bool tms : {false, true, false, false}) tracker.Clock(tms);
    EXPECT_EQ(tracker.State(), eTapShiftDR);
}

} // namespace
