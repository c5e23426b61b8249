// What the stand-in learns from a design's sources: the top level's ports,
// registers per clock, PLL instances and their output clocks, memory and
// multipliers, a few facts for warnings, and the QUARTUS_STANDIN markers that
// ask a tool for a message. VHDL, Verilog and EDIF netlists are read just far
// enough for that; syntax faults found on the way are reported as errors.
#pragma once

#include "hostsim/quartus/Messages.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim::quartus {

struct TPort {
    std::string Name;
    char Direction = 'i'; // 'i' in, 'o' out, 'b' bidirectional
    bool Vector = false;
    int Msb = 0, Lsb = 0;

    int Width() const { return Vector ? (Msb > Lsb ? Msb - Lsb : Lsb - Msb) + 1 : 1; }
    // "clk", or "led[7]" ... "led[0]" for a vector.
    std::vector<std::string> Bits() const;
};

// A PLL: an instance whose component name contains "pll". Outputs are the
// top-level signals its output clock ports drive, in port-map order.
struct TPllInstance {
    std::string Label, Component, File;
    int Line = 0;
    std::string RefClock;             // top-level signal at its reference input
    std::vector<std::string> Outputs; // "" for an open output
    std::vector<int> Multiply, Divide; // per output

    // The clock name of output n: "<label>|altpll_component|auto_generated|pll1|clk[n]".
    std::string ClockName(size_t output) const;
};

struct TClockDomain {
    std::string Clock;    // top-level signal (or "<instance label>|<signal>")
    int Registers = 0;
    int Widest = 0;       // widest register vector: the longest carry chain
    std::string WidestName;
};

// "QUARTUS_STANDIN: [map|fit|sta|tan|asm] error|critical warning|warning|info [id] [text]"
struct TMarker {
    std::string Tool = "map";
    std::string Kind;     // "error", "critical warning", "warning", "info"
    int Id = 0;
    std::string Text;
    std::string File;
    int Line = 0;
    std::string Language; // "VHDL", "Verilog HDL", "EDIF"
    std::string NearText; // first code word on the marker's line
};

struct TSourceInfo {
    std::string File;
    std::string Language;
    int CodeLines = 0;
    std::vector<std::string> Units; // entities / modules / cells found
};

struct TSourceFile {
    std::string Path;
    std::string Language; // "VHDL", "Verilog HDL", "EDIF"
};

struct TDesign {
    std::string Top;
    std::vector<TPort> Ports;
    std::vector<TClockDomain> Domains;
    std::vector<TPllInstance> Plls;
    int Registers = 0;
    int CodeLines = 0;
    int Multipliers = 0;
    int64_t MemoryBits = 0;
    std::vector<std::string> UndrivenOutputs;
    std::vector<std::string> UnusedInputs;
    std::string CombFrom, CombTo; // a combinational input-to-output path, when there is one
    std::vector<TMarker> Markers;
    std::vector<TSourceInfo> Sources;
    uint32_t Hash = 0;

    int IoPins() const;
    const TPort* FindPort(const std::string& name) const;
    std::vector<const TMarker*> MarkersFor(const std::string& tool) const;

    nlohmann::json ToJson() const;
    static TDesign FromJson(const nlohmann::json& json);
};

// The language of a source assignment (VHDL_FILE ...) or, for other names, of the file's extension.
std::string SourceLanguage(const std::string& assignment, const std::string& path);

// Reads the sources and elaborates the top level. Faults become error
// messages (the caller checks messages.Errors()); the markers of every file
// are collected, those for "map" are posted by the caller.
TDesign AnalyseDesign(const std::vector<TSourceFile>& files, const std::string& top, TMessages& messages);

// Posts a marker's message.
void PostMarker(const TMarker& marker, TMessages& messages);

} // namespace hostsim::quartus
