#include "hostsim/quartus/Timing.h"

#include "hostsim/quartus/Common.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

namespace hostsim::quartus {

namespace {

namespace fs = std::filesystem;

std::optional<double> Number(const std::string& text)
{
    try {
        size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// "50 MHz", "20 ns", "20" (ns) -> period in ns.
std::optional<double> PeriodOf(const std::string& text)
{
    static const std::regex pattern(R"(^\s*([0-9]*\.?[0-9]+)\s*(mhz|khz|ghz|ns|ps|us)?\s*$)", std::regex::icase);
    std::smatch match;
    if (!std::regex_match(text, match, pattern)) return std::nullopt;
    const double value = std::stod(match[1].str());
    const std::string unit = Lower(match[2].str());
    if (value <= 0) return std::nullopt;
    if (unit == "mhz") return 1000.0 / value;
    if (unit == "ghz") return 1.0 / value;
    if (unit == "khz") return 1.0e6 / value;
    if (unit == "ps") return value / 1000.0;
    if (unit == "us") return value * 1000.0;
    return value;
}

// The names a collection word ("[get_ports {clk rst}]", "clk") stands for.
struct TCollection {
    std::string Kind; // get_ports, get_pins, get_nets, get_clocks, ... or "" for a plain name
    std::vector<std::string> Patterns;
};

TCollection Collection(const std::string& word, const std::string& file, int line)
{
    TCollection collection;
    std::string text = Trim(word);
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        const auto commands = SplitTclCommands(text.substr(1, text.size() - 2), file, true);
        if (commands.empty()) return collection;
        const auto& words = commands[0].Words;
        collection.Kind = words[0];
        for (size_t i = 1; i < words.size(); ++i) {
            if (!words[i].empty() && words[i][0] == '-') continue;
            std::istringstream split(words[i]);
            for (std::string pattern; split >> pattern;) collection.Patterns.push_back(pattern);
        }
        (void)line;
        return collection;
    }
    std::istringstream split(text);
    for (std::string pattern; split >> pattern;) collection.Patterns.push_back(pattern);
    return collection;
}

// The clock nodes a collection matches: top-level port bits, PLL output pins and nets.
std::vector<std::string> Match(const TCollection& collection, const TDesign& design)
{
    std::vector<std::string> found;
    for (const std::string& pattern : collection.Patterns) {
        if (collection.Kind.empty() || collection.Kind == "get_ports") {
            for (const TPort& port : design.Ports)
                for (const std::string& bit : port.Bits())
                    if (GlobMatch(pattern, bit)) found.push_back(Lower(bit));
        }
        if (collection.Kind.empty() || collection.Kind == "get_pins" || collection.Kind == "get_nets") {
            for (const TPllInstance& pll : design.Plls)
                for (size_t n = 0; n < pll.Outputs.size(); ++n)
                    if (GlobMatch(pattern, pll.ClockName(n)) || (!pll.Outputs[n].empty() && GlobMatch(pattern, pll.Outputs[n])))
                        found.push_back(Lower(pll.Outputs[n].empty() ? pll.ClockName(n) : pll.Outputs[n]));
            for (const TClockDomain& domain : design.Domains)
                if (GlobMatch(pattern, domain.Clock)) found.push_back(domain.Clock);
        }
    }
    return found;
}

const TClock* FindClockOn(const std::vector<TClock>& clocks, const std::string& target)
{
    for (const TClock& clock : clocks)
        if (!clock.Target.empty() && SameText(clock.Target, target)) return &clock;
    return nullptr;
}

const TClock* FindClockNamed(const std::vector<TClock>& clocks, const std::string& name)
{
    for (const TClock& clock : clocks)
        if (SameText(clock.Name, name)) return &clock;
    return nullptr;
}

void AddClock(std::vector<TClock>& clocks, TClock clock)
{
    for (TClock& existing : clocks)
        if (SameText(existing.Name, clock.Name)) {
            existing = std::move(clock);
            return;
        }
    clocks.push_back(std::move(clock));
}

// PLL output clocks from the clock at each PLL's reference input.
void DerivePllClocks(TConstraints& constraints, const TDesign& design, TMessages& messages)
{
    for (const TPllInstance& pll : design.Plls) {
        const TClock* reference = pll.RefClock.empty() ? nullptr : FindClockOn(constraints.Clocks, pll.RefClock);
        if (!reference || reference->Period <= 0) {
            messages.Warning("PLL \"" + pll.Label + "\" has no clock at its reference input " +
                                 (pll.RefClock.empty() ? std::string("(not connected)") : pll.RefClock) +
                                 "; its output clocks are not derived",
                             332087);
            continue;
        }
        const double period = reference->Period;
        for (size_t n = 0; n < pll.Outputs.size(); ++n) {
            TClock clock;
            clock.Name = pll.ClockName(n);
            clock.Period = period * pll.Divide[n] / std::max(1, pll.Multiply[n]);
            clock.Target = Lower(pll.Outputs[n].empty() ? clock.Name : pll.Outputs[n]);
            clock.Kind = "Generated";
            messages.Info("create_generated_clock -source " + reference->Name + " -multiply_by " +
                              std::to_string(pll.Multiply[n]) + " -divide_by " + std::to_string(pll.Divide[n]) +
                              " -name " + clock.Name,
                          332110, 1);
            AddClock(constraints.Clocks, std::move(clock));
        }
    }
}

std::string Option(const std::vector<std::string>& words, const std::string& name)
{
    for (size_t i = 1; i + 1 < words.size(); ++i)
        if (words[i] == name) return words[i + 1];
    return {};
}

bool Flag(const std::vector<std::string>& words, const std::string& name)
{
    for (size_t i = 1; i < words.size(); ++i)
        if (words[i] == name) return true;
    return false;
}

// Words that are not options or option values.
std::vector<std::string> Positional(const std::vector<std::string>& words, const std::vector<std::string>& valued)
{
    std::vector<std::string> result;
    for (size_t i = 1; i < words.size(); ++i) {
        if (!words[i].empty() && words[i][0] == '-' && !Number(words[i])) {
            if (std::find(valued.begin(), valued.end(), words[i]) != valued.end()) ++i;
            continue;
        }
        result.push_back(words[i]);
    }
    return result;
}

std::string Substitute(const std::string& word, const std::map<std::string, std::string>& variables)
{
    static const std::regex reference(R"(\$\{?([A-Za-z_][A-Za-z0-9_]*)\}?)");
    std::string result;
    auto begin = std::sregex_iterator(word.begin(), word.end(), reference);
    size_t last = 0;
    for (auto it = begin; it != std::sregex_iterator(); ++it) {
        result += word.substr(last, static_cast<size_t>(it->position()) - last);
        const auto found = variables.find((*it)[1].str());
        result += found == variables.end() ? it->str() : found->second;
        last = static_cast<size_t>(it->position() + it->length());
    }
    return result + word.substr(last);
}

void DefaultClocks(TConstraints& constraints, const TDesign& design, TMessages& messages)
{
    constraints.Defaulted = true;
    messages.Info("No user constrained base clocks found in the design; calling \"derive_clocks -period 1.0\"", 332142);
    for (const TClockDomain& domain : design.Domains) {
        TClock clock;
        clock.Name = domain.Clock;
        clock.Target = domain.Clock;
        clock.Period = 1.0;
        clock.Kind = "Base";
        messages.Info("Deriving clock " + clock.Name + " with period 1.000", 332105, 1);
        AddClock(constraints.Clocks, std::move(clock));
    }
}

} // namespace

const TCorner kCorners[3] = {
    {"Slow 1100mV 85C Model", 1.0, true},
    {"Slow 1100mV 0C Model", 0.962, true},
    {"Fast 1100mV 0C Model", 0.618, false},
};

TConstraints ReadTimingConstraints(const std::string& sdcFile, const TDesign& design, TMessages& messages)
{
    TConstraints constraints;
    if (sdcFile.empty() || !FileExists(sdcFile)) {
        if (!sdcFile.empty())
            messages.CriticalWarning("Synopsys Design Constraints File file not found: '" + sdcFile +
                                         "'. Without timing constraints the design is analysed with default clocks",
                                     332012);
        DefaultClocks(constraints, design, messages);
        return constraints;
    }
    constraints.File = sdcFile;
    messages.Info("Reading SDC File: '" + sdcFile + "'", 332104);
    const std::string file = fs::path(sdcFile).filename().string();
    std::map<std::string, std::string> variables;
    for (TTclCommand command : SplitTclCommands(ReadTextFile(sdcFile), file, true)) {
        for (std::string& word : command.Words) word = Substitute(word, variables);
        const std::vector<std::string>& words = command.Words;
        const std::string& verb = words[0];
        const std::string where = file + "(" + std::to_string(command.Line) + ")";
        if (verb == "set" && words.size() == 3) {
            variables[words[1]] = words[2];
        } else if (verb == "create_clock") {
            TClock clock;
            clock.Kind = "Base";
            const auto period = Number(Option(words, "-period"));
            if (!period || *period <= 0)
                throw TToolError(332000, "create_clock at " + where + ": option -period needs a positive number of ns");
            clock.Period = *period;
            const auto targets = Positional(words, {"-name", "-period", "-waveform"});
            std::vector<std::string> nodes;
            for (const std::string& target : targets) {
                const auto matched = Match(Collection(target, file, command.Line), design);
                if (matched.empty())
                    messages.Warning("Ignored filter at " + where + ": " + target + " could not be matched with a port", 332174);
                nodes.insert(nodes.end(), matched.begin(), matched.end());
            }
            clock.Name = Option(words, "-name");
            if (!targets.empty() && nodes.empty()) {
                messages.Warning("Ignored create_clock at " + where + ": argument <targets> is an empty collection", 332049);
                continue;
            }
            if (!nodes.empty()) clock.Target = nodes[0];
            if (clock.Name.empty()) clock.Name = clock.Target;
            if (clock.Name.empty())
                throw TToolError(332000, "create_clock at " + where + ": a virtual clock needs -name");
            AddClock(constraints.Clocks, std::move(clock));
        } else if (verb == "create_generated_clock") {
            TClock clock;
            clock.Kind = "Generated";
            const std::string sourceWord = Option(words, "-source");
            const std::string master = Option(words, "-master_clock");
            const TClock* source = master.empty() ? nullptr : FindClockNamed(constraints.Clocks, master);
            if (!source && !sourceWord.empty())
                for (const std::string& node : Match(Collection(sourceWord, file, command.Line), design))
                    if ((source = FindClockOn(constraints.Clocks, node))) break;
            if (!source) {
                messages.Warning("Ignored create_generated_clock at " + where + ": no clock at its -source", 332049);
                continue;
            }
            const double multiply = Number(Option(words, "-multiply_by")).value_or(1.0);
            const double divide = Number(Option(words, "-divide_by")).value_or(1.0);
            clock.Period = source->Period * divide / std::max(1.0, multiply);
            std::vector<std::string> nodes;
            for (const std::string& target :
                 Positional(words, {"-name", "-source", "-master_clock", "-multiply_by", "-divide_by", "-phase",
                                    "-offset", "-duty_cycle", "-edges", "-edge_shift"}))
                for (const std::string& node : Match(Collection(target, file, command.Line), design)) nodes.push_back(node);
            if (nodes.empty()) {
                messages.Warning("Ignored create_generated_clock at " + where + ": argument <targets> is an empty collection", 332049);
                continue;
            }
            clock.Target = nodes[0];
            clock.Name = Option(words, "-name");
            if (clock.Name.empty()) clock.Name = clock.Target;
            AddClock(constraints.Clocks, std::move(clock));
        } else if (verb == "derive_pll_clocks") {
            constraints.DerivePllClocks = true;
            constraints.CreateBaseClocks = constraints.CreateBaseClocks || Flag(words, "-create_base_clocks");
        } else if (verb == "derive_clocks") {
            continue;
        } else if (verb == "derive_clock_uncertainty" || verb == "set_clock_uncertainty" || verb == "set_input_delay" ||
                   verb == "set_output_delay" || verb == "set_false_path" || verb == "set_multicycle_path" ||
                   verb == "set_max_delay" || verb == "set_min_delay" || verb == "set_clock_groups" ||
                   verb == "set_input_transition" || verb == "set_load" || verb == "set_max_skew" ||
                   verb == "set_clock_latency" || verb == "set_time_format" || verb == "post_message" ||
                   verb == "puts" || verb == "set_disable_timing") {
            continue;
        } else {
            messages.Warning("Ignored the command \"" + verb + "\" at " + where + ": the stand-in does not evaluate it", 332054);
        }
    }
    if (constraints.DerivePllClocks) {
        if (constraints.CreateBaseClocks)
            for (const TPllInstance& pll : design.Plls)
                if (!pll.RefClock.empty() && !FindClockOn(constraints.Clocks, pll.RefClock) && design.FindPort(pll.RefClock)) {
                    messages.Warning("PLL \"" + pll.Label + "\": no base clock at " + pll.RefClock +
                                         "; created one with the default period of 10.000 ns",
                                     332087);
                    AddClock(constraints.Clocks, TClock{pll.RefClock, 10.0, Lower(pll.RefClock), "Base"});
                }
        messages.Info("Deriving PLL clocks", 332110);
        DerivePllClocks(constraints, design, messages);
    }
    if (constraints.Clocks.empty()) DefaultClocks(constraints, design, messages);
    return constraints;
}

TConstraints ClassicClockRequirements(const TSettings& settings, const TDesign& design, TMessages& messages)
{
    TConstraints constraints;
    const TAssignment* global = settings.Global("FMAX_REQUIREMENT");
    std::optional<double> globalPeriod;
    if (global) {
        globalPeriod = PeriodOf(global->Value);
        if (!globalPeriod) throw TToolError(306000, global->Where() + ": FMAX_REQUIREMENT \"" + global->Value + "\" is not a frequency such as \"50 MHz\"");
    }
    auto requirement = [&](const std::string& node) -> double {
        for (const TAssignment* assignment : settings.Instances("FMAX_REQUIREMENT"))
            if (GlobMatch(assignment->To, node)) {
                const auto period = PeriodOf(assignment->Value);
                if (!period) throw TToolError(306000, assignment->Where() + ": FMAX_REQUIREMENT \"" + assignment->Value + "\" is not a frequency such as \"50 MHz\"");
                return *period;
            }
        return globalPeriod.value_or(0.0);
    };
    // Clock nodes at the top level first (inputs), then PLL outputs derived from them.
    for (const TClockDomain& domain : design.Domains)
        if (design.FindPort(domain.Clock)) constraints.Clocks.push_back(TClock{domain.Clock, requirement(domain.Clock), domain.Clock, "Base"});
    for (const TPllInstance& pll : design.Plls)
        if (!pll.RefClock.empty() && !FindClockOn(constraints.Clocks, pll.RefClock))
            constraints.Clocks.push_back(TClock{pll.RefClock, requirement(pll.RefClock), pll.RefClock, "Base"});
    for (const TPllInstance& pll : design.Plls) {
        const TClock* reference = FindClockOn(constraints.Clocks, pll.RefClock);
        for (size_t n = 0; n < pll.Outputs.size(); ++n) {
            const double period = reference && reference->Period > 0 ? reference->Period * pll.Divide[n] / std::max(1, pll.Multiply[n]) : 0.0;
            constraints.Clocks.push_back(TClock{pll.ClockName(n), period, Lower(pll.Outputs[n].empty() ? pll.ClockName(n) : pll.Outputs[n]), "Generated"});
        }
    }
    for (const TClockDomain& domain : design.Domains)
        if (!FindClockOn(constraints.Clocks, domain.Clock))
            constraints.Clocks.push_back(TClock{domain.Clock, requirement(domain.Clock), domain.Clock, "Base"});
    if (!global && settings.Instances("FMAX_REQUIREMENT").empty())
        messages.Warning("Timing Analysis does not find any FMAX_REQUIREMENT: clock setup is reported without requirements", 306006);
    return constraints;
}

std::vector<TClockTiming> ClockTimings(const TConstraints& constraints, const TDesign& design, double speedFactor,
                                       uint32_t seed, TMessages& messages)
{
    std::vector<TClockTiming> timings;
    for (const TClockDomain& domain : design.Domains) {
        const TClock* clock = FindClockOn(constraints.Clocks, domain.Clock);
        if (!clock) {
            messages.Warning("Node: " + domain.Clock + " was determined to be a clock but was found without an associated clock assignment",
                             332060);
            continue;
        }
        TClockTiming timing;
        timing.Clock = clock;
        timing.Domain = &domain;
        const double jitter = Jitter(design.Hash ^ seed, "delay " + domain.Clock);
        timing.DelayNs = (1.05 + 0.047 * domain.Widest + 0.0015 * domain.Registers + 0.41 * jitter) * speedFactor;
        timings.push_back(timing);
    }
    return timings;
}

std::string Mhz(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MHz", value);
    return text;
}

std::string Ns(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::fabs(value) < 0.0005 ? 0.0 : value);
    return text;
}

} // namespace hostsim::quartus
