#include "hostsim/quartus/StandIn.h"

#include "devices/arria5/DeviceTables.h"
#include "hostsim/jtag/BitStream.h"
#include "hostsim/quartus/Common.h"
#include "hostsim/quartus/Design.h"
#include "hostsim/quartus/Messages.h"
#include "hostsim/quartus/Report.h"
#include "hostsim/quartus/Settings.h"
#include "hostsim/quartus/Timing.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>

#include <unistd.h>

namespace hostsim::quartus {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using TRow = TReport::TRow;

struct TToolInfo {
    const char* Tool;
    const char* Program;
    const char* Title;           // "Analysis & Synthesis"
    const char* ReportExtension; // ".MAP.RPT"
};

const TToolInfo kTools[] = {
    {"map", "quartus_map", "Analysis & Synthesis", ".MAP.RPT"},
    {"fit", "quartus_fit", "Fitter", ".FIT.RPT"},
    {"sta", "quartus_sta", "TimeQuest Timing Analyzer", ".STA.RPT"},
    {"tan", "quartus_tan", "Classic Timing Analyzer", ".TAN.RPT"},
    {"asm", "quartus_asm", "Assembler", ".ASM.RPT"},
    {"cmd", "quartus_cmd", "Command-Line Compiler", ""},
};

const TToolInfo* FindTool(const std::string& tool)
{
    for (const TToolInfo& info : kTools)
        if (tool == info.Tool) return &info;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Devices: Quartus part names are the orderable names without their final "N".

struct TDevicePart {
    int32_t Kind = -1;
    std::string QuartusName, FullName;
    int64_t LogicElements = 0, Alms = 0, Registers = 0, IoPins = 0, MemoryBits = 0, DspBlocks = 0, GlobalClocks = 0, Plls = 0;
    double SpeedFactor = 1.0;
    int SpeedGrade = 4;
};

TDevicePart DescribeKind(int32_t kind)
{
    const arria5::TDeviceParameters& device = arria5::DeviceKinds[kind];
    const arria5::TBaseNameIdParameters& base = arria5::BaseNames[device.BaseName];
    const arria5::TDeviceResourceParameters& resources = arria5::DeviceResources[device.PinSet];
    TDevicePart part;
    part.Kind = kind;
    part.FullName = device.FullName;
    part.QuartusName = part.FullName;
    if (part.QuartusName.ends_with("N")) part.QuartusName.pop_back();
    part.LogicElements = base.EquivalentGates;
    part.Alms = static_cast<int64_t>(std::llround(base.EquivalentGates / 2.65));
    part.Registers = part.Alms * 4;
    part.IoPins = arria5::PinSets[device.PinSet].IOCount;
    part.MemoryBits = int64_t{resources.MemorySize} * 1024;
    part.DspBlocks = resources.DSPMultiplierCount / 2;
    part.GlobalClocks = resources.GlobalClockCount;
    part.Plls = resources.ClockManagerCount;
    static const int grades[] = {3, 4, 5, 6};
    static const double factors[] = {0.88, 1.0, 1.12, 1.25};
    part.SpeedGrade = grades[device.SpeedGrade];
    part.SpeedFactor = factors[device.SpeedGrade] * (device.TemperatureGrade == arria5::eTemperatureGrade_I ? 1.03 : 1.0);
    return part;
}

std::optional<TDevicePart> FindDevicePart(const std::string& name)
{
    for (int32_t kind = 0; kind < arria5::kDeviceKindCount; ++kind)
        if (SameText(arria5::DeviceKinds[kind].FullName, name)) return DescribeKind(kind);
    for (int32_t kind = 0; kind < arria5::kDeviceKindCount; ++kind) {
        std::string full = arria5::DeviceKinds[kind].FullName;
        if (full.ends_with("N")) full.pop_back();
        if (SameText(full, name)) return DescribeKind(kind);
    }
    return std::nullopt;
}

bool IsArriaV(const std::string& family)
{
    std::string compact;
    for (char c : family)
        if (c != ' ' && c != '_') compact += c;
    return SameText(compact, "ArriaV");
}

// ---------------------------------------------------------------------------
// Command line

struct TOptions {
    std::string Project, Revision, Sdc, Family, Part;
    std::vector<std::pair<std::string, std::string>> Sets;
    std::vector<std::string> Sources;
    std::optional<uint32_t> Seed;
    bool Version = false, Help = false;
};

std::string OptionValue(const std::string& argument, const std::string& name)
{
    return argument.substr(name.size() + 1);
}

TOptions ParseArguments(const std::string& tool, const std::vector<std::string>& arguments)
{
    TOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto is = [&](const char* name) { return argument == name || argument.starts_with(std::string(name) + "="); };
        if (argument == "-v" || argument == "--version") options.Version = true;
        else if (argument == "-h" || argument == "--help" || argument.starts_with("--help=")) options.Help = true;
        else if (argument == "--64bit" || argument == "--64" || argument == "--lower_priority") continue;
        else if (is("--read_settings_files") || is("--write_settings_files") || is("--effort") ||
                 is("--do_report_timing") || is("--multicorner") || is("--parallel"))
            continue;
        else if (argument == "-c") {
            if (i + 1 >= arguments.size()) throw TToolError("Option -c needs the name of a revision");
            options.Revision = arguments[++i];
        } else if (is("--rev")) options.Revision = OptionValue(argument, "--rev");
        else if (is("--set")) {
            std::string setting = argument == "--set" ? (i + 1 < arguments.size() ? arguments[++i] : "") : OptionValue(argument, "--set");
            const size_t equals = setting.find('=');
            if (equals == std::string::npos || equals == 0)
                throw TToolError("Option --set needs an assignment such as --set=ON_CHIP_BITSTREAM_DECOMPRESSION=ON");
            options.Sets.emplace_back(setting.substr(0, equals), setting.substr(equals + 1));
        } else if (tool == "sta" && is("--sdc")) {
            options.Sdc = OptionValue(argument, "--sdc");
            if (options.Sdc.empty()) throw TToolError("Option --sdc needs the name of an SDC file");
        } else if (tool == "fit" && is("--seed")) {
            try {
                options.Seed = static_cast<uint32_t>(std::stoul(OptionValue(argument, "--seed")));
            } catch (const std::exception&) {
                throw TToolError("Option --seed needs a whole number");
            }
        } else if (tool == "map" && is("--source")) options.Sources.push_back(OptionValue(argument, "--source"));
        else if (tool == "map" && is("--family")) options.Family = OptionValue(argument, "--family");
        else if (tool == "map" && is("--part")) options.Part = OptionValue(argument, "--part");
        else if (argument.size() > 1 && argument[0] == '-')
            throw TToolError("Unknown option " + argument + "; see quartus_" + tool + " --help");
        else if (options.Project.empty()) options.Project = argument;
        else throw TToolError("More than one project given: " + options.Project + " and " + argument);
    }
    return options;
}

void PrintUsage(const TToolInfo& info)
{
    std::string usage = std::string("Usage: ") + info.Program + " [options] <project> [-c <revision>]\n"
                        "Options: -v | --version, -h | --help, --set=<ASSIGNMENT>=<value>, --rev=<revision>,\n"
                        "         --read_settings_files=on|off, --write_settings_files=on|off";
    if (std::string(info.Tool) == "sta") usage += ",\n         --sdc=<file>";
    if (std::string(info.Tool) == "fit") usage += ",\n         --seed=<number>";
    if (std::string(info.Tool) == "map") usage += ",\n         --source=<file>, --family=<family>, --part=<device>";
    if (std::string(info.Tool) == "cmd") usage = "Usage: quartus_cmd [-v | --version]";
    std::puts(usage.c_str());
}

// ---------------------------------------------------------------------------
// Files of the flow: the stand-in's own database between the tools.

std::string DatabaseFile(const std::string& revision, const char* stage)
{
    return "db/" + revision + ".standin." + stage + ".json";
}

json ReadDatabase(const std::string& revision, const char* stage, const char* previousTool, int id)
{
    const std::string file = DatabaseFile(revision, stage);
    if (!FileExists(file))
        throw TToolError(id, std::string("Run ") + previousTool + " successfully before this tool: " + file + " does not exist");
    try {
        return json::parse(ReadTextFile(file));
    } catch (const json::exception& e) {
        throw TToolError(id, file + " is damaged (" + e.what() + "); run " + previousTool + " again");
    }
}

void WriteDatabase(const std::string& revision, const char* stage, const json& content)
{
    std::error_code ec;
    fs::create_directories("db", ec);
    WriteFileAtomically(DatabaseFile(revision, stage), content.dump(1));
}

void RemoveDatabase(const std::string& revision, const char* stage)
{
    std::error_code ec;
    fs::remove(DatabaseFile(revision, stage), ec);
}

// ---------------------------------------------------------------------------
// Resource estimates, shared by the mapper and the fitter.

struct TUsage {
    int64_t Aluts = 0, Alms = 0, LogicElements = 0, Registers = 0, IoPins = 0, MemoryBits = 0, DspBlocks = 0, Plls = 0, Clocks = 0;
};

TUsage EstimateUsage(const TDesign& design, const TSettings& settings)
{
    TUsage usage;
    const std::string technique = Upper(settings.GlobalValue("OPTIMIZATION_TECHNIQUE", "BALANCED"));
    double factor = technique == "SPEED" ? 1.08 : technique == "AREA" ? 0.9 : 1.0;
    usage.Registers = design.Registers;
    usage.Aluts = static_cast<int64_t>(std::ceil((design.Registers * 0.9 + design.CodeLines * 0.6 + 4) * factor));
    usage.Alms = static_cast<int64_t>(std::ceil(std::max(usage.Aluts / 1.7, design.Registers / 3.6)));
    usage.LogicElements = static_cast<int64_t>(std::ceil(usage.Alms * 2.65));
    usage.IoPins = design.IoPins();
    usage.MemoryBits = design.MemoryBits;
    usage.DspBlocks = (design.Multipliers + 1) / 2;
    usage.Plls = static_cast<int64_t>(design.Plls.size());
    usage.Clocks = static_cast<int64_t>(design.Domains.size());
    return usage;
}

std::string Used(int64_t used, int64_t available)
{
    return Thousands(used) + " / " + Thousands(available) + " ( " + Percent(used, available) + " )";
}

// Value of a boolean-like assignment ("ON"/"OFF"), with its default.
bool IsOn(const TSettings& settings, const char* name, bool fallback)
{
    const TAssignment* assignment = settings.Global(name);
    if (!assignment) return fallback;
    const std::string value = Upper(assignment->Value);
    if (value == "ON" || value == "TRUE") return true;
    if (value == "OFF" || value == "FALSE") return false;
    throw TToolError(assignment->Where() + ": " + assignment->Name + " must be ON or OFF, not \"" + assignment->Value + "\"");
}

// ---------------------------------------------------------------------------
// One run of a tool

class TRun {
public:
    TRun(const TToolInfo& info, const TInstallation& installation, std::vector<std::string> arguments)
        : FInfo(info), FInstallation(installation), FArguments(std::move(arguments)), FStarted(std::chrono::steady_clock::now())
    {
    }

    int Execute()
    {
        try {
            FOptions = ParseArguments(FInfo.Tool, FArguments);
        } catch (const TToolError&) {
            FOptions = TOptions{};
            FBadArguments = true;
        }
        if (FOptions.Version) {
            std::printf("%s %s\nVersion %s\n", FInstallation.Product.c_str(), FInfo.Title, FInstallation.Version.c_str());
            return 0;
        }
        if (FOptions.Help) {
            PrintUsage(FInfo);
            return 0;
        }
        Banner();
        try {
            if (FBadArguments) ParseArguments(FInfo.Tool, FArguments); // raises the fault again, now as a message
            if (std::string(FInfo.Tool) == "cmd") {
                FMessages.Info("Version " + FInstallation.Version);
            } else {
                OpenProject();
                Body();
            }
        } catch (const TToolError& error) {
            FMessages.Error(error.what(), error.Id);
        } catch (const std::exception& error) {
            FMessages.Error(std::string("Internal error of the stand-in: ") + error.what());
        }
        return Finish();
    }

private:
    std::string Tool() const { return FInfo.Tool; }
    const TSettings& Settings() const { return FProject->Settings; }

    void Banner()
    {
        std::string command = FInfo.Program;
        for (const std::string& argument : FArguments) command += " " + argument;
        FMessages.Info("*******************************************************************");
        FMessages.Info("Running " + FInstallation.Product + " " + FInfo.Title);
        FMessages.Info("Version " + FInstallation.Version, 0, 1);
        FMessages.Info("Stand-in program of the arria5 bench, not the vendor's software", 0, 1);
        FMessages.Info("Processing started: " + NowText(), 0, 1);
        FMessages.Info("*******************************************************************");
        FMessages.Info("Command: " + command);
    }

    int Finish()
    {
        const std::string summaryOk = FInstallation.Product + " " + FInfo.Title + " was successful. ";
        if (FReport) {
            AddSummary();
            std::vector<std::string> lines = FMessages.Lines();
            if (FMessages.Errors() == 0) lines.push_back("Info: " + summaryOk + FMessages.Counts());
            else lines.push_back("Error: " + FInstallation.Product + " " + FInfo.Title + " was unsuccessful. " + FMessages.Counts());
            FReport->Text(FInfo.Title + std::string(" Messages"), lines);
            const std::string file = FProject->Revision + FInfo.ReportExtension;
            try {
                WriteFileAtomically(file, FReport->Render());
            } catch (const TToolError& error) {
                FMessages.Error(error.what(), error.Id);
            }
        }
        if (FMessages.Errors() == 0) FMessages.Info(summaryOk + FMessages.Counts());
        else FMessages.Plain("Error: " + FInstallation.Product + " " + FInfo.Title + " was unsuccessful. " + FMessages.Counts());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - FStarted).count();
        char elapsed[32];
        std::snprintf(elapsed, sizeof elapsed, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
        FMessages.Info("Peak virtual memory: 523 megabytes", 0, 1);
        FMessages.Info("Processing ended: " + NowText(), 0, 1);
        FMessages.Info(std::string("Elapsed time: ") + elapsed, 0, 1);
        FMessages.Info(std::string("Total CPU time (on all processors): ") + elapsed, 0, 1);
        return FMessages.Errors() == 0 ? 0 : 3;
    }

    void OpenProject()
    {
        if (FOptions.Project.empty()) throw TToolError("No project given; usage: " + std::string(FInfo.Program) + " <project>");
        fs::path project(FOptions.Project);
        if (project.has_parent_path()) {
            std::error_code ec;
            fs::current_path(project.parent_path(), ec);
            if (ec) throw TToolError("Can't open project " + FOptions.Project + ": the folder " + project.parent_path().string() + " does not exist");
        }
        std::string name = project.filename().string();
        if (name.size() > 4 && SameText(name.substr(name.size() - 4), ".qpf")) name.resize(name.size() - 4);
        FProject = TProject::Open(name, FOptions.Revision);
        for (const auto& [setting, value] : FOptions.Sets) FProject->Settings.Override(setting, value);
        if (!FOptions.Family.empty()) FProject->Settings.Override("FAMILY", FOptions.Family);
        if (!FOptions.Part.empty()) FProject->Settings.Override("DEVICE", FOptions.Part);
        const std::string title = Tool() == "tan" ? "Timing Analyzer" : FInfo.Title;
        FReport = std::make_unique<TReport>(title + " report for " + FProject->Revision, FInstallation.Product,
                                            FInstallation.Version);
    }

    void Body()
    {
        if (Tool() == "map") Map();
        else if (Tool() == "fit") Fit();
        else if (Tool() == "sta") Sta();
        else if (Tool() == "tan") Tan();
        else if (Tool() == "asm") Asm();
    }

    // The family must be Arria V; the device one of its parts (or AUTO).
    TDevicePart Device()
    {
        const TAssignment* family = Settings().Global("FAMILY");
        if (family && !IsArriaV(family->Value))
            throw TToolError(20003, family->Where() + ": family \"" + family->Value +
                                        "\" is not available in this installation, which models Arria V devices only");
        const TAssignment* device = Settings().Global("DEVICE");
        if (!device || SameText(device->Value, "AUTO")) {
            const TDevicePart part = DescribeKind(0);
            if (Tool() == "fit" || Tool() == "map")
                FMessages.Info("Automatically selected device " + part.QuartusName + " for design " + FProject->Revision, 119004);
            return part;
        }
        const auto part = FindDevicePart(device->Value);
        if (!part)
            throw TToolError(20029, device->Where() + ": \"" + device->Value +
                                        "\" is not an Arria V part; give the part name without its final N, such as 5AGXFB3H4F35C4");
        return *part;
    }

    void NoiseWarning()
    {
        if (ContainsText(FInstallation.Version, "Web Edition") && Settings().GlobalValue("NUM_PARALLEL_PROCESSORS") != "1")
            FMessages.Warning("Parallel compilation is not licensed and has been disabled", 20028);
    }

    void PostMarkers(const TDesign& design)
    {
        for (const TMarker* marker : design.MarkersFor(Tool())) PostMarker(*marker, FMessages);
    }

    std::vector<TRow> CommonSummary(const std::string& status)
    {
        std::vector<TRow> rows;
        rows.push_back({status, (FMessages.Errors() == 0 ? "Successful - " : "Failed - ") + NowText()});
        rows.push_back({FInstallation.Product + " Version", FInstallation.Version});
        rows.push_back({"Revision Name", FProject->Revision});
        rows.push_back({"Top-level Entity Name", FTop.empty() ? Settings().GlobalValue("TOP_LEVEL_ENTITY", FProject->Revision) : FTop});
        rows.push_back({"Family", Settings().GlobalValue("FAMILY", "Arria V")});
        return rows;
    }

    void AddSummary()
    {
        if (Tool() == "tan") {
            FReport->Table("Timing Analyzer Summary",
                           {"Type", "Slack", "Required Time", "Actual Time", "From", "To", "From Clock", "To Clock", "Failed Paths"},
                           FMessages.Errors() == 0 ? FSummaryRows : std::vector<TRow>{});
        } else if (Tool() == "sta") {
            std::vector<TRow> rows{{FInstallation.Product + " Version", FInstallation.Version},
                                   {"Revision Name", FProject->Revision},
                                   {"Device Family", Settings().GlobalValue("FAMILY", "Arria V")},
                                   {"Device Name", Settings().GlobalValue("DEVICE", "AUTO")},
                                   {"Timing Models", "Final"},
                                   {"Delay Model", "Combined"},
                                   {"Rise/Fall Delays", "Enabled"}};
            FReport->Table("TimeQuest Timing Analyzer Summary", {}, rows);
        } else {
            std::vector<TRow> rows = CommonSummary(FInfo.Title + std::string(" Status"));
            if (Tool() != "map") rows.push_back({"Device", Settings().GlobalValue("DEVICE", "AUTO")});
            if (FMessages.Errors() == 0) rows.insert(rows.end(), FSummaryRows.begin(), FSummaryRows.end());
            FReport->Table(FInfo.Title + std::string(" Summary"), {}, rows);
        }
        for (const auto& table : FTables) FReport->Table(table.Title, table.Header, table.Rows, table.Notes);
    }

    void AddTable(std::string title, TRow header, std::vector<TRow> rows, std::vector<std::string> notes = {})
    {
        FTables.push_back({std::move(title), std::move(header), std::move(rows), std::move(notes)});
    }

    // Option rows "; Option ; Setting ; Default Value ;" from the settings.
    std::vector<TRow> SettingRows(const std::vector<std::tuple<const char*, const char*, const char*>>& options)
    {
        std::vector<TRow> rows;
        for (const auto& [label, name, fallback] : options)
            rows.push_back({label, Settings().GlobalValue(name, fallback), fallback});
        return rows;
    }

    // ---- Analysis & Synthesis ----------------------------------------------

    void Map()
    {
        RemoveDatabase(FProject->Revision, "map");
        const TDevicePart part = Device();
        NoiseWarning();
        std::vector<TSourceFile> files;
        static const std::set<std::string> sourceNames{"VHDL_FILE", "VERILOG_FILE", "SYSTEMVERILOG_FILE", "EDIF_FILE", "VQM_FILE"};
        for (const TAssignment& assignment : Settings().Assignments)
            if (assignment.Kind == TAssignment::TKind::Global && sourceNames.count(assignment.Name))
                files.push_back({assignment.Value, SourceLanguage(assignment.Name, assignment.Value)});
        for (const std::string& source : FOptions.Sources) files.push_back({source, SourceLanguage("", source)});
        for (const TSourceFile& file : files)
            if (file.Language.empty()) throw TToolError(12004, "Can't tell the language of source file " + file.Path);
        if (files.empty())
            throw TToolError(12041, "No design files are assigned to revision " + FProject->Revision +
                                        ": add VHDL_FILE, VERILOG_FILE or EDIF_FILE assignments to " + Settings().File);
        FTop = Settings().GlobalValue("TOP_LEVEL_ENTITY", FProject->Revision);
        TDesign design = AnalyseDesign(files, FTop, FMessages);
        FTop = design.Top;
        PostMarkers(design);
        if (FMessages.Errors() > 0) return;

        if (!design.UndrivenOutputs.empty()) {
            FMessages.Warning("Output pins are stuck at VCC or GND", 13024);
            for (const std::string& name : design.UndrivenOutputs)
                FMessages.Warning("Pin \"" + name + "\" is stuck at GND", 13410, 1);
        }
        if (!design.UnusedInputs.empty()) {
            FMessages.Warning("Design contains " + std::to_string(design.UnusedInputs.size()) +
                                  " input pin(s) that do not drive logic",
                              21074);
            for (const std::string& name : design.UnusedInputs)
                FMessages.Warning("No output dependent on input pin \"" + name + "\"", 15610, 1);
        }
        const TUsage usage = EstimateUsage(design, Settings());
        int inputs = 0, outputs = 0, bidirs = 0;
        for (const TPort& port : design.Ports)
            (port.Direction == 'i' ? inputs : port.Direction == 'o' ? outputs : bidirs) += port.Width();
        FMessages.Info("Implemented " + std::to_string(usage.Aluts + usage.IoPins + usage.Plls + usage.DspBlocks) +
                           " device resources after synthesis - the final resource count might be different",
                       21057);
        FMessages.Info("Implemented " + std::to_string(inputs) + " input pins", 21058, 1);
        FMessages.Info("Implemented " + std::to_string(outputs) + " output pins", 21059, 1);
        if (bidirs) FMessages.Info("Implemented " + std::to_string(bidirs) + " bidirectional pins", 21060, 1);
        FMessages.Info("Implemented " + std::to_string(usage.Aluts) + " logic cells", 21061, 1);
        if (usage.Plls) FMessages.Info("Implemented " + std::to_string(usage.Plls) + " PLLs", 21065, 1);
        if (usage.DspBlocks) FMessages.Info("Implemented " + std::to_string(usage.DspBlocks) + " DSP elements", 21062, 1);
        (void)part;

        WriteDatabase(FProject->Revision, "map", design.ToJson());

        FSummaryRows = {{"Logic utilization (in ALMs)", "N/A"},
                        {"Total registers", Thousands(usage.Registers)},
                        {"Total pins", Thousands(usage.IoPins)},
                        {"Total virtual pins", "0"},
                        {"Total block memory bits", Thousands(usage.MemoryBits)},
                        {"Total DSP Blocks", Thousands(usage.DspBlocks)},
                        {"Total PLLs", Thousands(usage.Plls)},
                        {"Total DLLs", "0"}};
        AddTable("Analysis & Synthesis Settings", {"Option", "Setting", "Default Value"},
                 [&] {
                     std::vector<TRow> rows{{"Device", Settings().GlobalValue("DEVICE", "AUTO"), ""},
                                            {"Top-level entity name", FTop, FProject->Revision},
                                            {"Family name", Settings().GlobalValue("FAMILY", "Arria V"), "Cyclone IV GX"}};
                     const auto more = SettingRows({{"Optimization Technique", "OPTIMIZATION_TECHNIQUE", "Balanced"},
                                                    {"State Machine Processing", "STATE_MACHINE_PROCESSING", "Auto"},
                                                    {"Timing-Driven Synthesis", "TIMING_DRIVEN_SYNTHESIS", "On"},
                                                    {"Power-Up Don't Care", "ALLOW_POWER_UP_DONT_CARE", "On"},
                                                    {"Remove Duplicate Registers", "REMOVE_DUPLICATE_REGISTERS", "On"},
                                                    {"Synthesis Effort", "SYNTHESIS_EFFORT", "Auto"},
                                                    {"VHDL Version", "VHDL_INPUT_VERSION", "VHDL_1993"},
                                                    {"Verilog Version", "VERILOG_INPUT_VERSION", "Verilog_2001"}});
                     rows.insert(rows.end(), more.begin(), more.end());
                     return rows;
                 }());
        std::vector<TRow> sources;
        for (const TSourceInfo& source : design.Sources)
            sources.push_back({source.File, "yes", "User " + source.Language + " File",
                               (fs::current_path() / source.File).lexically_normal().string(), ""});
        AddTable("Analysis & Synthesis Source Files Read",
                 {"File Name with User-Entered Path", "Used in Netlist", "File Type", "File Name with Absolute Path", "Library"},
                 sources);
        AddTable("Analysis & Synthesis Resource Usage Summary", {"Resource", "Usage"},
                 {{"Estimate of Logic utilization (ALMs needed)", Thousands(usage.Alms)},
                  {"Combinational ALUT usage for logic", Thousands(usage.Aluts)},
                  {"Dedicated logic registers", Thousands(usage.Registers)},
                  {"I/O pins", Thousands(usage.IoPins)},
                  {"Total DSP Blocks", Thousands(usage.DspBlocks)},
                  {"Total block memory bits", Thousands(usage.MemoryBits)},
                  {"Total PLLs", Thousands(usage.Plls)},
                  {"Clock domains", Thousands(usage.Clocks)}});
        std::vector<TRow> domains;
        for (const TClockDomain& domain : design.Domains)
            domains.push_back({domain.Clock, Thousands(domain.Registers), domain.WidestName.empty() ? "" : domain.WidestName + " (" + std::to_string(domain.Widest) + " bits)"});
        AddTable("Registers by Clock", {"Clock Signal", "Registers", "Widest Register"}, domains);
    }

    // ---- Fitter ------------------------------------------------------------

    struct TPlacement {
        std::string Node, Ball, Bank, Standard;
        char Direction = 'i';
        bool ByUser = false;
    };

    void Fit()
    {
        RemoveDatabase(FProject->Revision, "fit");
        const TDesign design = TDesign::FromJson(ReadDatabase(FProject->Revision, "map", "Analysis & Synthesis (quartus_map)", 170001));
        FTop = design.Top;
        const TDevicePart part = Device();
        NoiseWarning();
        FMessages.Info("Selected device " + part.QuartusName + " for design \"" + FProject->Revision + "\"", 119006);
        uint32_t seed = 1;
        if (FOptions.Seed) seed = *FOptions.Seed;
        else if (const TAssignment* assignment = Settings().Global("SEED")) {
            try {
                seed = static_cast<uint32_t>(std::stoul(assignment->Value));
            } catch (const std::exception&) {
                throw TToolError(assignment->Where() + ": SEED must be a whole number, not \"" + assignment->Value + "\"");
            }
        }
        PostMarkers(design);
        const std::vector<TPlacement> placements = PlacePins(design, part);
        const TUsage usage = EstimateUsage(design, Settings());
        auto check = [&](int64_t used, int64_t available, const char* what, int id) {
            if (used > available)
                FMessages.Error("Can't fit design in device: the design needs " + Thousands(used) + " " + what +
                                    " but device " + part.QuartusName + " has " + Thousands(available),
                                id);
        };
        check(usage.Alms, part.Alms, "ALMs", 170012);
        check(usage.IoPins, part.IoPins, "I/O pins", 170011);
        check(usage.MemoryBits, part.MemoryBits, "block memory bits", 170048);
        check(usage.DspBlocks, part.DspBlocks, "DSP blocks", 170048);
        check(usage.Plls, part.Plls, "PLLs", 170048);
        if (usage.Clocks > part.GlobalClocks)
            FMessages.Warning("The design has " + std::to_string(usage.Clocks) + " clocks but only " +
                                  std::to_string(part.GlobalClocks) + " global clock networks; the others use local routing",
                              176250);
        if (FMessages.Errors() > 0) return;
        FMessages.Info("Fitter placement preparation operations beginning", 170189);
        FMessages.Info("Fitter placement operations ending: elapsed time is 00:00:00", 170190);
        const int interconnect = static_cast<int>(std::max<int64_t>(1, usage.Alms * 100 / std::max<int64_t>(1, part.Alms)));
        FMessages.Info("Router estimated average interconnect usage is " + std::to_string(interconnect / 2) +
                           "% of the available device resources",
                       170195);
        FMessages.Info("Fitter routing operations ending: elapsed time is 00:00:00", 170194);

        json database;
        database["seed"] = seed;
        database["device"] = part.QuartusName;
        database["alms"] = usage.Alms;
        database["deviceAlms"] = part.Alms;
        json pins = json::array();
        for (const TPlacement& placement : placements)
            pins.push_back({{"node", placement.Node}, {"ball", placement.Ball}, {"bank", placement.Bank},
                            {"standard", placement.Standard}, {"dir", std::string(1, placement.Direction)}, {"user", placement.ByUser}});
        database["pins"] = pins;
        WriteDatabase(FProject->Revision, "fit", database);

        FSummaryRows = {{"Timing Models", "Final"},
                        {"Logic utilization (in ALMs)", Used(usage.Alms, part.Alms)},
                        {"Total registers", Thousands(usage.Registers)},
                        {"Total pins", Used(usage.IoPins, part.IoPins)},
                        {"Total virtual pins", "0"},
                        {"Total block memory bits", Used(usage.MemoryBits, part.MemoryBits)},
                        {"Total DSP Blocks", Used(usage.DspBlocks, part.DspBlocks)},
                        {"Total PLLs", Used(usage.Plls, part.Plls)},
                        {"Total DLLs", Used(0, 4)}};
        std::vector<TRow> settings{{"Device", part.QuartusName, ""}, {"Seed", std::to_string(seed), "1"}};
        const auto more = SettingRows({{"Fitter Effort", "FITTER_EFFORT", "Auto Fit"},
                                       {"Optimize Hold Timing", "OPTIMIZE_HOLD_TIMING", "All Paths"},
                                       {"Router Timing Optimization Level", "ROUTER_TIMING_OPTIMIZATION_LEVEL", "Normal"},
                                       {"Perform Physical Synthesis for Combinational Logic", "PHYSICAL_SYNTHESIS_COMBO_LOGIC", "Off"},
                                       {"Perform Register Retiming", "PHYSICAL_SYNTHESIS_REGISTER_RETIMING", "Off"},
                                       {"Physical Synthesis Effort Level", "PHYSICAL_SYNTHESIS_EFFORT", "Normal"},
                                       {"Reserve all unused pins", "RESERVE_ALL_UNUSED_PINS_WEAK_PULLUP", "As input tri-stated with weak pull-up"},
                                       {"Device I/O Standard", "STRATIX_DEVICE_IO_STANDARD", "2.5 V"}});
        settings.insert(settings.end(), more.begin(), more.end());
        AddTable("Fitter Settings", {"Option", "Setting", "Default Value"}, settings);

        const int64_t dedicated = usage.Registers;
        const int64_t labs = (usage.Alms + 9) / 10;
        AddTable("Fitter Resource Usage Summary", {"Resource", "Usage", "%"},
                 {{"Logic utilization (ALMs needed / total ALMs on device)", Thousands(usage.Alms) + " / " + Thousands(part.Alms), Percent(usage.Alms, part.Alms)},
                  {"ALMs needed [=A-B+C]", Thousands(usage.Alms), ""},
                  {"Total LABs:  partially or completely used", Thousands(labs) + " / " + Thousands(part.Alms / 10), Percent(labs, part.Alms / 10)},
                  {"Total logic elements", Thousands(usage.LogicElements) + " / " + Thousands(part.LogicElements), Percent(usage.LogicElements, part.LogicElements)},
                  {"Combinational ALUT usage for logic", Thousands(usage.Aluts), ""},
                  {"Dedicated logic registers", Thousands(dedicated) + " / " + Thousands(part.Registers), Percent(dedicated, part.Registers)},
                  {"Total registers", Thousands(usage.Registers) + " / " + Thousands(part.Registers), Percent(usage.Registers, part.Registers)},
                  {"I/O pins", Thousands(usage.IoPins) + " / " + Thousands(part.IoPins), Percent(usage.IoPins, part.IoPins)},
                  {"Total memory bits", Thousands(usage.MemoryBits) + " / " + Thousands(part.MemoryBits), Percent(usage.MemoryBits, part.MemoryBits)},
                  {"Total DSP Blocks", Thousands(usage.DspBlocks) + " / " + Thousands(part.DspBlocks), Percent(usage.DspBlocks, part.DspBlocks)},
                  {"Global clocks", Thousands(std::min(usage.Clocks, part.GlobalClocks)) + " / " + Thousands(part.GlobalClocks), Percent(std::min(usage.Clocks, part.GlobalClocks), part.GlobalClocks)},
                  {"Fractional PLLs", Thousands(usage.Plls) + " / " + Thousands(part.Plls), Percent(usage.Plls, part.Plls)},
                  {"JTAGs", "0 / 1", "0 %"},
                  {"Peak interconnect usage (total/H/V)", std::to_string(interconnect / 2) + "% / " + std::to_string(interconnect / 3) + "% / " + std::to_string(interconnect / 2) + "%", ""}});
        for (const auto& [title, direction] : {std::pair{"Input Pins", 'i'}, std::pair{"Output Pins", 'o'}, std::pair{"Bidir Pins", 'b'}}) {
            std::vector<TRow> rows;
            for (const TPlacement& placement : placements)
                if (placement.Direction == direction)
                    rows.push_back({placement.Node, placement.Ball, placement.Bank, placement.Standard, "Default",
                                    placement.ByUser ? "User" : "Fitter"});
            if (!rows.empty() || direction != 'b')
                AddTable(title, {"Name", "Pin #", "I/O Bank", "I/O Standard", "Current Strength", "Location assigned by"}, rows);
        }
    }

    std::vector<TPlacement> PlacePins(const TDesign& design, const TDevicePart& part)
    {
        const arria5::TDeviceParameters& device = arria5::DeviceKinds[part.Kind];
        const arria5::TPinOutParameters& pinOut = arria5::PinOutOf(device.PinSet);
        std::map<std::string, int> balls; // upper-case ball -> entry
        for (int i = 0; i < pinOut.PinCount; ++i)
            if (pinOut.Info[i].FirstEntry == i) balls[Upper(pinOut.Pins[i].PinNumber)] = i;

        std::vector<TPlacement> placements;
        for (const TPort& port : design.Ports)
            for (const std::string& bit : port.Bits()) placements.push_back(TPlacement{bit, "", "", "", port.Direction, false});

        const std::string defaultStandard = Settings().GlobalValue("STRATIX_DEVICE_IO_STANDARD", "2.5 V");
        std::map<std::string, std::string> taken; // ball -> node
        for (const TAssignment* location : Settings().Locations()) {
            bool matched = false;
            for (TPlacement& placement : placements) {
                if (!GlobMatch(location->To, placement.Node)) continue;
                matched = true;
                std::string ball = Upper(location->Value);
                if (ball.starts_with("PIN_")) ball = ball.substr(4);
                const auto found = balls.find(ball);
                if (found == balls.end() || pinOut.Info[found->second].Function != arria5::ePinFunction_UserIO) {
                    FMessages.Error("Can't place node \"" + placement.Node + "\" -- illegal location assignment " + location->Value +
                                        (found == balls.end() ? " (the device has no such pin)" : " (not a user I/O pin)") + " at " +
                                        location->Where(),
                                    171016);
                    continue;
                }
                const auto [previous, inserted] = taken.emplace(found->first, placement.Node);
                if (!inserted && previous->second != placement.Node) {
                    FMessages.Error("Can't place multiple pins assigned to pin location " + location->Value + " (\"" +
                                        previous->second + "\" and \"" + placement.Node + "\")",
                                    176310);
                    continue;
                }
                placement.Ball = "PIN_" + std::string(pinOut.Pins[found->second].PinNumber);
                placement.Bank = pinOut.Pins[found->second].Bank;
                placement.ByUser = true;
            }
            if (!matched)
                FMessages.Warning("Node \"" + location->To + "\" is assigned to location or region, but does not exist in design (" +
                                      location->Where() + ")",
                                  15706);
        }
        std::vector<const TPlacement*> unplaced;
        int next = 0;
        for (TPlacement& placement : placements) {
            placement.Standard = defaultStandard;
            for (const TAssignment* standard : Settings().Instances("IO_STANDARD"))
                if (GlobMatch(standard->To, placement.Node)) placement.Standard = standard->Value;
            if (!placement.Ball.empty()) continue;
            while (next < pinOut.PinCount &&
                   (pinOut.Info[next].Function != arria5::ePinFunction_UserIO || pinOut.Info[next].FirstEntry != next ||
                    taken.count(Upper(pinOut.Pins[next].PinNumber))))
                ++next;
            if (next >= pinOut.PinCount) break; // the capacity check reports it
            taken.emplace(Upper(pinOut.Pins[next].PinNumber), placement.Node);
            placement.Ball = "PIN_" + std::string(pinOut.Pins[next].PinNumber);
            placement.Bank = pinOut.Pins[next].Bank;
            unplaced.push_back(&placement);
        }
        if (!unplaced.empty()) {
            FMessages.CriticalWarning("No exact pin location assignment(s) for " + std::to_string(unplaced.size()) + " pins of " +
                                          std::to_string(placements.size()) + " total pins",
                                      169085);
            for (const TPlacement* placement : unplaced)
                FMessages.Info("Pin " + placement->Node + " not assigned to an exact location on the device", 169086, 1);
        }
        return placements;
    }

    // ---- Timing analysis -----------------------------------------------------

    uint32_t TimingSeed(const json& fit) const { return fit.at("seed").get<uint32_t>() * 2654435761u; }

    std::string SdcFile()
    {
        if (!FOptions.Sdc.empty()) return FOptions.Sdc;
        for (const TAssignment* assignment : Settings().GlobalList("SDC_FILE"))
            if (FileExists(assignment->Value)) return assignment->Value;
        const auto assigned = Settings().GlobalList("SDC_FILE");
        if (!assigned.empty()) return assigned.front()->Value;
        return FProject->Revision + ".sdc";
    }

    void Sta()
    {
        const TDesign design = TDesign::FromJson(ReadDatabase(FProject->Revision, "map", "Analysis & Synthesis (quartus_map)", 332000));
        const json fit = ReadDatabase(FProject->Revision, "fit", "the Fitter (quartus_fit)", 332000);
        FTop = design.Top;
        const TDevicePart part = Device();
        NoiseWarning();
        const std::string sdc = SdcFile();
        const TConstraints constraints = ReadTimingConstraints(sdc, design, FMessages);
        const std::vector<TClockTiming> timings = ClockTimings(constraints, design, part.SpeedFactor, TimingSeed(fit), FMessages);
        PostMarkers(design);
        if (FMessages.Errors() > 0) return;

        AddTable("SDC File List", {"SDC File Path", "Status", "Read at"},
                 constraints.File.empty() ? std::vector<TRow>{} : std::vector<TRow>{{constraints.File, "OK", NowText()}});
        std::vector<TRow> clocks;
        for (const TClock& clock : constraints.Clocks)
            clocks.push_back({clock.Name, clock.Kind, Ns(clock.Period), Mhz(1000.0 / clock.Period), "0.000",
                              Ns(clock.Period / 2), "50.00", clock.Target.empty() ? "" : "{ " + clock.Target + " }"});
        AddTable("Clocks", {"Clock Name", "Type", "Period", "Frequency", "Rise", "Fall", "Duty Cycle", "Targets"}, clocks);

        const double restricted = 1000.0 / (1.45 * part.SpeedFactor);
        double worstSetup = 1e9;
        std::vector<std::string> failing;
        std::map<std::string, std::pair<double, double>> worst; // clock -> setup, hold slack over the corners
        for (const TCorner& corner : kCorners) {
            if (corner.Slow) {
                std::vector<TRow> rows;
                for (const TClockTiming& timing : timings) {
                    const double fmax = timing.FmaxMhz() / corner.Factor;
                    rows.push_back({Mhz(fmax), Mhz(std::min(fmax, restricted)), timing.Clock->Name,
                                    fmax > restricted ? "limit due to minimum period restriction (max I/O toggle rate)" : ""});
                }
                AddTable(std::string(corner.Name) + " Fmax Summary", {"Fmax", "Restricted Fmax", "Clock Name", "Note"}, rows,
                         {"This panel lists the highest frequency every clock with register-to-register paths reaches,",
                          "whatever the clock's required period. Sign off timing on the slack panels."});
            }
            std::vector<TRow> setup, hold, pulse;
            for (const TClockTiming& timing : timings) {
                const double delay = timing.DelayNs * corner.Factor;
                const double slack = timing.Clock->Period - delay;
                const double holdSlack = (0.12 + 0.25 * Jitter(design.Hash ^ TimingSeed(fit), "hold " + timing.Clock->Name)) * corner.Factor;
                const double tns = slack < 0 ? slack * std::max(1, timing.Domain->Widest) : 0.0;
                setup.push_back({timing.Clock->Name, Ns(slack), Ns(tns)});
                hold.push_back({timing.Clock->Name, Ns(holdSlack), "0.000"});
                auto& entry = worst.try_emplace(timing.Clock->Name, 1e9, 1e9).first->second;
                entry.first = std::min(entry.first, slack);
                entry.second = std::min(entry.second, holdSlack);
                worstSetup = std::min(worstSetup, slack);
                if (slack < 0 && std::find(failing.begin(), failing.end(), timing.Clock->Name) == failing.end())
                    failing.push_back(timing.Clock->Name);
            }
            for (const TClock& clock : constraints.Clocks)
                pulse.push_back({clock.Name, Ns(clock.Period / 2 - 0.55 * part.SpeedFactor * corner.Factor), "0.000"});
            AddTable(std::string(corner.Name) + " Setup Summary", {"Clock", "Slack", "End Point TNS"}, setup);
            AddTable(std::string(corner.Name) + " Hold Summary", {"Clock", "Slack", "End Point TNS"}, hold);
            AddTable(std::string(corner.Name) + " Minimum Pulse Width Summary", {"Clock", "Slack", "End Point TNS"}, pulse);
        }
        std::vector<TRow> multicorner;
        for (const auto& [clock, slacks] : worst) multicorner.push_back({clock, Ns(slacks.first), Ns(slacks.second), "N/A", "N/A"});
        AddTable("Multicorner Timing Analysis Summary", {"Clock", "Setup", "Hold", "Recovery", "Removal"}, multicorner);
        if (!failing.empty()) {
            FMessages.CriticalWarning("Timing requirements not met", 332148);
            for (const std::string& clock : failing) FMessages.Info("Clock " + clock + " has negative setup slack", 332149, 1);
        }
        if (!timings.empty()) FMessages.Info("Worst-case setup slack is " + Ns(worstSetup), 332146);
        else FMessages.Info("No paths to report", 332140);
    }

    void Tan()
    {
        const TDesign design = TDesign::FromJson(ReadDatabase(FProject->Revision, "map", "Analysis & Synthesis (quartus_map)", 306000));
        const json fit = ReadDatabase(FProject->Revision, "fit", "the Fitter (quartus_fit)", 306000);
        FTop = design.Top;
        const TDevicePart part = Device();
        NoiseWarning();
        FMessages.Warning("The Classic Timing Analyzer is a legacy tool; use TimeQuest for Arria V designs", 306014);
        const TConstraints requirements = ClassicClockRequirements(Settings(), design, FMessages);
        const std::vector<TClockTiming> timings = ClockTimings(requirements, design, part.SpeedFactor, TimingSeed(fit), FMessages);
        PostMarkers(design);
        if (FMessages.Errors() > 0) return;

        const uint32_t hash = design.Hash ^ TimingSeed(fit);
        std::set<std::string> clockPorts;
        for (const TClockDomain& domain : design.Domains) clockPorts.insert(Lower(domain.Clock));
        for (const TPllInstance& pll : design.Plls) clockPorts.insert(Lower(pll.RefClock));
        std::string firstInput, firstOutput, firstClock = timings.empty() ? "" : timings.front().Clock->Name;
        for (const TPort& port : design.Ports) {
            if (port.Direction != 'o' && !clockPorts.count(Lower(port.Name)) && firstInput.empty()) firstInput = port.Bits().front();
            if (port.Direction != 'i' && firstOutput.empty()) firstOutput = port.Bits().front();
        }
        const std::string registerName = timings.empty() || timings.front().Domain->WidestName.empty()
                                             ? "reg" : timings.front().Domain->WidestName + "[0]";
        int failed = 0;
        std::vector<TRow> rows;
        const double f = part.SpeedFactor;
        if (!firstInput.empty()) {
            rows.push_back({"Worst-case tsu", "N/A", "None", Ns((1.4 + 2.2 * Jitter(hash, "tsu")) * f) + " ns", firstInput, registerName, "--", firstClock.empty() ? "--" : firstClock, "0"});
        }
        if (!firstOutput.empty()) {
            rows.push_back({"Worst-case tco", "N/A", "None", Ns((5.2 + 2.8 * Jitter(hash, "tco")) * f) + " ns", firstOutput + "~reg0", firstOutput, firstClock.empty() ? "--" : firstClock, "--", "0"});
        }
        if (!design.CombTo.empty()) {
            rows.push_back({"Worst-case tpd", "N/A", "None", Ns((6.1 + 3.0 * Jitter(hash, "tpd")) * f) + " ns", design.CombFrom, design.CombTo, "--", "--", "0"});
        }
        if (!firstInput.empty()) {
            rows.push_back({"Worst-case th", "N/A", "None", Ns(-(1.1 + 1.6 * Jitter(hash, "th")) * f) + " ns", firstInput, registerName, "--", firstClock.empty() ? "--" : firstClock, "0"});
        }
        bool anyClock = false;
        for (const TClockTiming& timing : timings) {
            const double achievedPeriod = timing.DelayNs;
            const std::string achieved = Mhz(1000.0 / achievedPeriod) + " ( period = " + Ns(achievedPeriod) + " ns )";
            std::string slack = "N/A", required = "None";
            int failedPaths = 0;
            if (timing.Clock->Period > 0) {
                const double s = timing.Clock->Period - achievedPeriod;
                slack = Ns(s) + " ns";
                required = Mhz(1000.0 / timing.Clock->Period) + " ( period = " + Ns(timing.Clock->Period) + " ns )";
                if (s < 0) failedPaths = std::max(1, timing.Domain->Widest);
            }
            failed += failedPaths;
            const std::string reg = timing.Domain->WidestName.empty() ? "reg" : timing.Domain->WidestName;
            rows.push_back({"Clock Setup: '" + timing.Clock->Name + "'", slack, required, achieved, reg + "[0]",
                            reg + "[" + std::to_string(std::max(0, timing.Domain->Widest - 1)) + "]", timing.Clock->Name,
                            timing.Clock->Name, std::to_string(failedPaths)});
            anyClock = true;
        }
        for (const TClockTiming& timing : timings) {
            const double holdSlack = 0.3 + 0.4 * Jitter(hash, "hold " + timing.Clock->Name);
            rows.push_back({"Clock Hold: '" + timing.Clock->Name + "'", Ns(holdSlack) + " ns", timing.Clock->Period > 0 ? Mhz(1000.0 / timing.Clock->Period) + " ( period = " + Ns(timing.Clock->Period) + " ns )" : "None",
                            "N/A", "", "", timing.Clock->Name, timing.Clock->Name, "0"});
        }
        rows.push_back({"Total number of failed paths", "", "", "", "", "", "", "", std::to_string(failed)});
        FSummaryRows = rows;
        if (!anyClock) FMessages.Warning("No clock has register-to-register paths to analyse", 306007);
        if (failed > 0) FMessages.CriticalWarning("Timing requirements not met", 332148);

        std::vector<TRow> settings{{"Device Name", part.QuartusName, "", "", ""},
                                   {"Timing Models", "Final", "", "", ""},
                                   {"Default hold multicycle", "Same as Multicycle", "", "", ""},
                                   {"Cut paths between unrelated clock domains", "On", "", "", ""}};
        if (const TAssignment* fmax = Settings().Global("FMAX_REQUIREMENT")) settings.push_back({"Default required fmax", fmax->Value, "", "", ""});
        for (const TAssignment* fmax : Settings().Instances("FMAX_REQUIREMENT")) settings.push_back({"Fmax Requirement", fmax->Value, "", fmax->To, ""});
        AddTable("Timing Analyzer Settings", {"Option", "Setting", "From", "To", "Entity Name"}, settings);
        std::vector<TRow> clockSettings;
        for (const TClock& clock : requirements.Clocks)
            clockSettings.push_back({clock.Name, clock.Kind == "Base" ? "User Pin" : "PLL output",
                                     clock.Period > 0 ? Mhz(1000.0 / clock.Period) : "None"});
        AddTable("Clock Settings Summary", {"Clock Node Name", "Clock Setting Name / Type", "Fmax Requirement"}, clockSettings);
    }

    // ---- Assembler -----------------------------------------------------------

    uint32_t UserCode(uint32_t checksum)
    {
        if (IsOn(Settings(), "USE_CHECKSUM_AS_USERCODE", false)) return checksum;
        const TAssignment* assignment = Settings().Global("STRATIX_JTAG_USER_CODE");
        if (!assignment) return 0xFFFFFFFFu;
        std::string text = assignment->Value;
        if (text.starts_with("0x") || text.starts_with("0X")) text = text.substr(2);
        static const std::regex hex("^[0-9A-Fa-f]{1,8}$");
        if (!std::regex_match(text, hex))
            throw TToolError(115007, assignment->Where() + ": STRATIX_JTAG_USER_CODE \"" + assignment->Value +
                                         "\" is not a user code of 1 to 8 hexadecimal digits");
        return static_cast<uint32_t>(std::stoul(text, nullptr, 16));
    }

    void Asm()
    {
        const json fit = ReadDatabase(FProject->Revision, "fit", "the Fitter (quartus_fit)", 115000);
        const TDesign design = TDesign::FromJson(ReadDatabase(FProject->Revision, "map", "Analysis & Synthesis (quartus_map)", 115000));
        FTop = design.Top;
        const TDevicePart part = Device();
        NoiseWarning();
        const uint32_t checksum = design.Hash ^ Hash(part.QuartusName) ^ fit.at("seed").get<uint32_t>();
        const uint32_t userCode = UserCode(checksum);
        const bool compressed = IsOn(Settings(), "ON_CHIP_BITSTREAM_DECOMPRESSION", false);
        PostMarkers(design);
        if (FMessages.Errors() > 0) return;
        FMessages.Info("Assembler is generating device programming files", 115030);

        const jtag::TDieTarget die = jtag::DieOfKind(part.Kind);
        jtag::TDieTarget target = die;
        if (compressed) {
            // Compression shrinks the stream with the device's use; the
            // simulated device (no decompressor) refuses such a stream.
            const double used = static_cast<double>(fit.at("alms").get<int64_t>()) / std::max<int64_t>(1, fit.at("deviceAlms").get<int64_t>());
            const double ratio = std::min(0.9, 0.35 + 0.5 * used);
            target.ConfigBits = std::max<int64_t>(64 * 8, static_cast<int64_t>(die.ConfigBits * ratio) / 8 * 8);
        }
        jtag::TBitStreamOptions options;
        options.Seed = design.Hash;
        const std::string file = FProject->Revision + ".RBF";
        const std::string temporary = file + ".tmp" + std::to_string(::getpid());
        try {
            jtag::WriteBitStream(temporary, target, userCode, options);
            std::error_code ec;
            fs::rename(temporary, file, ec);
            if (ec) throw std::runtime_error(ec.message());
        } catch (const std::exception& error) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw TToolError(115000, "Can't write raw binary file " + file + ": " + error.what());
        }
        char code[16], sum[16];
        std::snprintf(code, sizeof code, "%08X", userCode);
        std::snprintf(sum, sizeof sum, "%08X", checksum);
        FMessages.Info(std::string("Wrote ") + (compressed ? "compressed " : "") + "raw binary file " + file + " (" +
                           Thousands(target.ConfigBits / 8) + " bytes, JTAG user code 0x" + code + ")",
                       115031);

        FSummaryRows = {};
        AddTable("Assembler Settings", {"Option", "Setting", "Default Value"},
                 {{"Use smart compilation", "Off", "Off"},
                  {"Enable on-chip bitstream decompression", compressed ? "On" : "Off", "Off"},
                  {"Generate Raw Binary File (.rbf) For Target Device", "On", "Off"},
                  {"Use checksum as JTAG user code", IsOn(Settings(), "USE_CHECKSUM_AS_USERCODE", false) ? "On" : "Off", "Off"},
                  {"JTAG user code for target device", code, "FFFFFFFF"}});
        AddTable("Assembler Generated Files", {"File Name"}, {{(fs::current_path() / file).lexically_normal().string()}});
        AddTable("Assembler Device Options: " + file, {"Option", "Setting"},
                 {{"Device", part.QuartusName},
                  {"JTAG usercode", "0x" + std::string(code)},
                  {"Checksum", "0x" + std::string(sum)},
                  {"Compression", compressed ? "On" : "Off"},
                  {"Size", Thousands(target.ConfigBits / 8) + " bytes"}});
    }

    struct TPendingTable {
        std::string Title;
        TRow Header;
        std::vector<TRow> Rows;
        std::vector<std::string> Notes;
    };

    const TToolInfo& FInfo;
    const TInstallation& FInstallation;
    std::vector<std::string> FArguments;
    std::chrono::steady_clock::time_point FStarted;
    TOptions FOptions;
    bool FBadArguments = false;
    TMessages FMessages;
    std::optional<TProject> FProject;
    std::unique_ptr<TReport> FReport;
    std::string FTop;
    std::vector<TRow> FSummaryRows;
    std::vector<TPendingTable> FTables;
};

} // namespace

TInstallation TInstallation::Read(const std::string& folder)
{
    TInstallation installation;
    const std::string readme = (fs::path(folder) / "readme.txt").string();
    if (!FileExists(readme)) return installation;
    std::string text;
    try {
        text = ReadTextFile(readme);
    } catch (const TToolError&) {
        return installation;
    }
    const std::string first = text.substr(0, text.find_first_of("\r\n"));
    static const std::regex line(R"(^(.*?)\s+Version\s+(\S.*?)\s*$)");
    std::smatch match;
    if (std::regex_match(first, match, line)) {
        installation.Product = match[1].str();
        installation.Version = match[2].str();
    }
    return installation;
}

std::string ToolOfProgram(const std::string& programName)
{
    std::string name = Lower(fs::path(programName).filename().string());
    if (name.ends_with(".exe")) name.resize(name.size() - 4);
    for (const TToolInfo& info : kTools)
        if (name == info.Program) return info.Tool;
    return {};
}

int RunTool(const std::string& tool, const std::vector<std::string>& arguments, const TInstallation& installation)
{
    const TToolInfo* info = FindTool(tool);
    if (!info) {
        std::printf("Error: unknown tool \"%s\"\n", tool.c_str());
        return 3;
    }
    return TRun(*info, installation, arguments).Execute();
}

} // namespace hostsim::quartus
