// Clocks and timing figures of a fitted design: the clocks of a timing
// constraint (SDC) file or of the classic analyser's FMAX_REQUIREMENT
// assignments, the PLL output clocks derived from them, and for every clock
// with registers its delay, Fmax and slacks per timing corner, all derived
// deterministically from the design.
#pragma once

#include "hostsim/quartus/Design.h"
#include "hostsim/quartus/Messages.h"
#include "hostsim/quartus/Settings.h"

#include <string>
#include <vector>

namespace hostsim::quartus {

struct TClock {
    std::string Name;
    double Period = 0;   // ns; 0: no requirement (classic analyser, unconstrained)
    std::string Target;  // port, pin or net it is defined on (lower case); empty for a virtual clock
    std::string Kind;    // "Base", "Generated"
};

struct TConstraints {
    std::string File;    // the SDC file read, empty when none
    std::vector<TClock> Clocks;
    bool DerivePllClocks = false;
    bool CreateBaseClocks = false;
    bool Defaulted = false; // no clock was given: every clock node got a 1 ns clock
};

// Reads an SDC file (create_clock, create_generated_clock, derive_pll_clocks,
// set; the usual exception and delay commands are accepted and ignored), then
// derives the PLL output clocks and, when no clock was given at all, 1 ns
// clocks on every clock node. A syntax fault is an error naming the file and line.
TConstraints ReadTimingConstraints(const std::string& sdcFile, const TDesign& design, TMessages& messages);

// The classic analyser's clock requirements: FMAX_REQUIREMENT (global, or an
// instance assignment to a clock node), PLL outputs derived from their inputs.
TConstraints ClassicClockRequirements(const TSettings& settings, const TDesign& design, TMessages& messages);

// Timing corners; Fmax is reported for the slow ones.
struct TCorner {
    const char* Name;
    double Factor;
    bool Slow;
};
extern const TCorner kCorners[3];

struct TClockTiming {
    const TClock* Clock = nullptr;
    const TClockDomain* Domain = nullptr;
    double DelayNs = 0; // slow 85C register-to-register delay
    double FmaxMhz() const { return 1000.0 / DelayNs; }
};

// The clocks that clock registers, with their delays. speedFactor: the device's
// speed grade (1.0 for grade 4); seed: varies the figures as a fitter seed does.
std::vector<TClockTiming> ClockTimings(const TConstraints& constraints, const TDesign& design, double speedFactor,
                                       uint32_t seed, TMessages& messages);

// "191.2 MHz" style numbers.
std::string Mhz(double value);
std::string Ns(double value); // "5.230"

} // namespace hostsim::quartus
