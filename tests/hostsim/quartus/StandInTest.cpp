// The Quartus stand-ins run as the build flow runs them: the project made by a
// Tcl script, map, fit, timing analysis and assembler on the blinky example in
// a scratch folder, the files and report sections the flow reads, designs that
// ask for errors, and the raw bit file checked the way the simulated device
// checks it.
#include "StandInSupport.h"

#include "devices/arria5/DeviceTables.h"
#include "hostsim/host/BenchConfig.h"
#include "hostsim/host/HostObjects.h"
#include "hostsim/jtag/BitStream.h"
#include "plugin/com/DispatchRef.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace quartustest {
namespace {

using hostsim::jtag::TBitStreamReceiver;

int32_t KindOf(const char* fullName)
{
    for (int32_t kind = 0; kind < arria5::kDeviceKindCount; ++kind)
        if (std::string(arria5::DeviceKinds[kind].FullName) == fullName) return kind;
    return -1;
}

// Feeds a raw bit file to the check the simulated device runs, byte by byte, bit 0 first.
TBitStreamReceiver Receive(const fs::path& file, int32_t kind)
{
    TBitStreamReceiver receiver(hostsim::jtag::DieOfKind(kind));
    for (unsigned char byte : ReadFile(file))
        for (int bit = 0; bit < 8; ++bit) receiver.PushBit((byte >> bit) & 1);
    return receiver;
}

const std::string kSuccess = " was successful. 0 errors, 1 warning";

class QuartusFlow : public ::testing::Test {
protected:
    TScratch Scratch;
    const fs::path& Folder() const { return Scratch.Path; }

    void Build(const std::vector<std::string>& tools)
    {
        for (const std::string& tool : tools) {
            std::vector<std::string> arguments{"blinky"};
            if (tool == "quartus_sta") arguments.push_back("--sdc=blinky_sta.sdc");
            if (tool == "quartus_asm") arguments.push_back("--set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF");
            const TRunResult result = Tool(Folder(), tool, arguments);
            ASSERT_EQ(result.ExitCode, 0) << tool << "\n" << result.Output;
        }
    }
};

TEST_F(QuartusFlow, ScriptCreatesTheProjectWithItsAssignments)
{
    MakeProject(Folder());
    const std::string project = ReadFile(Folder() / "blinky.qpf");
    EXPECT_NE(project.find("PROJECT_REVISION = \"blinky\""), std::string::npos) << project;
    EXPECT_NE(project.find("QUARTUS_VERSION = \"13.1\""), std::string::npos) << project;
    EXPECT_EQ(ReadFile(Folder() / "blinky.qpf_orig"), project);
    const std::string settings = ReadFile(Folder() / "blinky.qsf");
    for (const char* line : {"set_global_assignment -name FAMILY \"Arria V\"", "set_global_assignment -name DEVICE 5AGXFB3H4F35C4",
                             "set_global_assignment -name STRATIX_JTAG_USER_CODE B1C0FFEE",
                             "set_global_assignment -name VHDL_FILE blinky.vhd",
                             "set_global_assignment -name VHDL_FILE blinky_pll.vhd",
                             "set_location_assignment PIN_AP33 -to led[0]",
                             "set_instance_assignment -name IO_STANDARD \"2.5 V\" -to led[*]"})
        EXPECT_NE(settings.find(line), std::string::npos) << line << "\n" << settings;
}

TEST_F(QuartusFlow, ReopenedProjectKeepsAssignmentsAndReplacesSingleValues)
{
    MakeProject(Folder(), "set_global_assignment -name SEED 3\n");
    WriteFile(Folder() / "more.tcl", "project_open blinky\n"
                                     "post_message \"seed [get_global_assignment -name SEED]\"\n"
                                     "set_global_assignment -name SEED 7\n"
                                     "set_global_assignment -name VHDL_FILE blinky.vhd\n"
                                     "project_close\n");
    const TRunResult result = Tool(Folder(), "quartus_sh", {"-t", "more.tcl"});
    ASSERT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_TRUE(result.Has("Info: seed 3")) << result.Output;
    const std::string settings = ReadFile(Folder() / "blinky.qsf");
    EXPECT_NE(settings.find("-name SEED 7"), std::string::npos);
    EXPECT_EQ(settings.find("-name SEED 3"), std::string::npos);
    EXPECT_EQ(settings.find("VHDL_FILE blinky.vhd"), settings.rfind("VHDL_FILE blinky.vhd")) << "a file is listed once";
}

// Faults of a script or of the files it reads name the file and line; the
// project files are left as they were.
TEST_F(QuartusFlow, ShellFaultsNameFileAndLine)
{
    struct TCase {
        const char* Name;
        const char* Script;
        const char* Sourced; // contents of extra.tcl, sourced by the script
        const char* Expected;
    };
    const TCase cases[] = {
        {"unknown command", "project_open blinky\nset_global_assignment -name SEED 9\nbogus_command 1\nproject_close\n", "",
         "Error: blinky_Project.tcl line 3: invalid command name \"bogus_command\""},
        {"fault in a sourced file", "project_open blinky\nsource extra.tcl\nproject_close\n",
         "set_global_assignment -name SEED 9\nset_location_assignment PIN_A1\n",
         "Error: extra.tcl line 2: set_location_assignment: option -to is required"},
        {"assignment without a project", "set_global_assignment -name SEED 9\n", "",
         "Error: blinky_Project.tcl line 1: set_global_assignment: no project is open"},
        {"value with a blank, unquoted", "project_open blinky\nset_global_assignment -name FAMILY Arria V\nproject_close\n", "",
         "one value expected, got 2"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TScratch scratch;
        MakeProject(scratch.Path);
        const std::string before = ReadFile(scratch.Path / "blinky.qsf");
        WriteFile(scratch.Path / "blinky_Project.tcl", test.Script);
        WriteFile(scratch.Path / "extra.tcl", test.Sourced);
        const TRunResult result = Tool(scratch.Path, "quartus_sh", {"-t", "blinky_Project.tcl"});
        EXPECT_EQ(result.ExitCode, 3);
        EXPECT_TRUE(result.Has(test.Expected)) << result.Output;
        EXPECT_TRUE(result.Has("Error (23031): Evaluation of Tcl script blinky_Project.tcl unsuccessful")) << result.Output;
        EXPECT_EQ(result.LastSummary().rfind("Error: Quartus II 64-Bit Shell was unsuccessful. ", 0), 0u) << result.Output;
        EXPECT_EQ(ReadFile(scratch.Path / "blinky.qsf"), before);
    }
}

TEST_F(QuartusFlow, FaultySettingsFileIsReportedWithItsLine)
{
    MakeProject(Folder());
    std::string settings = ReadFile(Folder() / "blinky.qsf");
    const int line = static_cast<int>(std::count(settings.begin(), settings.end(), '\n')) + 1;
    WriteFile(Folder() / "blinky.qsf", settings + "set_global_assignment -name SEED \"4\n");
    const TRunResult map = Tool(Folder(), "quartus_map", {"blinky"});
    EXPECT_EQ(map.ExitCode, 3);
    EXPECT_TRUE(map.Has("Error: blinky.qsf line " + std::to_string(line) + ": missing close-quote")) << map.Output;
    WriteFile(Folder() / "opener.tcl", "project_open blinky\n");
    const TRunResult shell = Tool(Folder(), "quartus_sh", {"-t", "opener.tcl"});
    EXPECT_EQ(shell.ExitCode, 3);
    EXPECT_TRUE(shell.Has("blinky.qsf line " + std::to_string(line) + ": the command is not complete")) << shell.Output;
}

TEST_F(QuartusFlow, BuildWritesTheFilesTheFlowExpects)
{
    MakeProject(Folder());
    const std::vector<std::pair<std::string, std::string>> steps{{"quartus_map", "Analysis & Synthesis"},
                                                                 {"quartus_fit", "Fitter"},
                                                                 {"quartus_sta", "TimeQuest Timing Analyzer"},
                                                                 {"quartus_asm", "Assembler"}};
    for (const auto& [tool, title] : steps) {
        std::vector<std::string> arguments{"blinky"};
        if (tool == "quartus_sta") arguments.push_back("--sdc=blinky_sta.sdc");
        if (tool == "quartus_asm") arguments.push_back("--set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF");
        const TRunResult result = Tool(Folder(), tool, arguments);
        ASSERT_EQ(result.ExitCode, 0) << result.Output;
        EXPECT_EQ(result.Lines.at(1), "Info: Running Quartus II 64-Bit " + title);
        EXPECT_EQ(result.Lines.at(2), "    Info: Version 13.1.0 Build 162 10/23/2013 SJ Web Edition");
        EXPECT_EQ(result.LastSummary(), "Info: Quartus II 64-Bit " + title + kSuccess);
        for (const std::string& line : result.Lines)
            EXPECT_EQ(Trim(line).rfind("Error", 0), std::string::npos) << line;
    }
    for (const char* file : {"blinky.MAP.RPT", "blinky.FIT.RPT", "blinky.STA.RPT", "blinky.ASM.RPT", "blinky.RBF"})
        EXPECT_TRUE(fs::exists(Folder() / file)) << file;
    const std::string map = ReadFile(Folder() / "blinky.MAP.RPT");
    EXPECT_EQ(map.rfind("Analysis & Synthesis report for blinky\n", 0), 0u);
    EXPECT_NE(map.find("; Analysis & Synthesis Status ; Successful - "), std::string::npos);
    EXPECT_NE(map.find("; Top-level Entity Name       ; blinky"), std::string::npos);
}

TEST_F(QuartusFlow, FitterReportCarriesTheResourceSection)
{
    MakeProject(Folder());
    Build({"quartus_map", "quartus_fit"});
    const std::string report = ReadFile(Folder() / "blinky.FIT.RPT");
    const auto rows = FitterResources(report);
    // Values with the column padding folded: "used / available = percent".
    auto value = [&](const std::string& name) {
        for (const auto& [row, text] : rows)
            if (row == name) return std::regex_replace(text, std::regex(" +"), " ");
        return std::string("(missing)");
    };
    // 11 pins of 560 user I/O of the FBGA1152 package; the PLL output and the oscillator are two clocks.
    EXPECT_EQ(value("I/O pins"), "11 / 560 = 2%");
    EXPECT_EQ(value("Global clocks"), "2 / 16 = 13%");
    for (const char* name : {"Total logic elements", "Total registers", "Dedicated logic registers"})
        EXPECT_TRUE(std::regex_match(value(name), std::regex(R"([0-9,]+ / [0-9,]+ = < 1%)"))) << name << ": " << value(name);
    EXPECT_TRUE(std::regex_match(value("Total logic elements"), std::regex(R"([0-9,]+ / 362,000 = < 1%)")));
    EXPECT_TRUE(std::regex_match(value("Total memory bits"), std::regex(R"(0 / [0-9,]+ = 0%)"))) << value("Total memory bits");
    EXPECT_TRUE(std::regex_match(value("Total DSP Blocks"), std::regex(R"(0 / [0-9,]+ = 0%)"))) << value("Total DSP Blocks");
    // The section's heading row and the three-column layout.
    EXPECT_TRUE(std::regex_search(report, std::regex(R"(\n; Resource +; Usage +; % +;\n)")));
    // Pins where the constraints put them.
    EXPECT_TRUE(std::regex_search(report, std::regex(R"(; led\[0\] +; PIN_AP33 +; 3A +; 2.5 V +; Default +; User +;)")));
}

TEST_F(QuartusFlow, TimeQuestReportListsEveryClockWithItsFmax)
{
    MakeProject(Folder());
    Build({"quartus_map", "quartus_fit", "quartus_sta"});
    const std::string report = ReadFile(Folder() / "blinky.STA.RPT");
    const auto rows = FmaxRows(report);
    ASSERT_EQ(rows.size(), 2u) << report;
    EXPECT_EQ(rows[0].first, "clk");
    EXPECT_EQ(rows[1].first, "pll_inst|altpll_component|auto_generated|pll1|clk[0]");
    for (const auto& [clock, fmax] : rows) EXPECT_TRUE(std::regex_match(fmax, std::regex(R"([0-9]+\.[0-9]{2} MHz)"))) << fmax;
    // The PLL doubles the 50 MHz oscillator: a 10 ns requirement for its clock.
    EXPECT_TRUE(std::regex_search(report, std::regex(R"(; pll_inst\|altpll_component\|auto_generated\|pll1\|clk\[0\] ; Generated ; 10\.000 +; 100\.00 MHz)")));
    EXPECT_NE(report.find("; Slow 1100mV 85C Model Setup Summary"), std::string::npos);
    // Same design, same figures.
    ASSERT_EQ(Tool(Folder(), "quartus_sta", {"blinky", "--sdc=blinky_sta.sdc"}).ExitCode, 0);
    EXPECT_EQ(FmaxRows(ReadFile(Folder() / "blinky.STA.RPT")), rows);
}

TEST_F(QuartusFlow, TimeQuestWithoutConstraintsUsesDefaultClocks)
{
    MakeProject(Folder());
    Build({"quartus_map", "quartus_fit"});
    const TRunResult result = Tool(Folder(), "quartus_sta", {"blinky", "--sdc=blinky_missing.sdc"});
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    EXPECT_TRUE(result.Has("Critical Warning (332012): Synopsys Design Constraints File file not found: 'blinky_missing.sdc'"));
    EXPECT_TRUE(result.Has("Critical Warning (332148): Timing requirements not met")) << result.Output;
    const auto rows = FmaxRows(ReadFile(Folder() / "blinky.STA.RPT"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].first, "clk");
    EXPECT_EQ(rows[1].first, "clk_fast");
}

TEST_F(QuartusFlow, ClassicAnalyzerReportsClockSetupAndWorstCases)
{
    MakeProject(Folder(), "set_global_assignment -name USE_TIMEQUEST_TIMING_ANALYZER OFF\n"
                          "set_global_assignment -name FMAX_REQUIREMENT \"50 MHz\"\n");
    Build({"quartus_map", "quartus_fit", "quartus_tan"});
    const auto rows = ClassicRows(ReadFile(Folder() / "blinky.TAN.RPT"));
    std::vector<std::string> kinds;
    for (const auto& row : rows) kinds.push_back(row.at(0));
    EXPECT_EQ(kinds, (std::vector<std::string>{"Worst-case tsu", "Worst-case tco", "Worst-case th", "Clock Setup: 'clk'",
                                                "Clock Setup: 'pll_inst|altpll_component|auto_generated|pll1|clk[0]'"}));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[3].at(2), "50.00 MHz ( period = 20.000 ns )");
    EXPECT_EQ(rows[4].at(2), "100.00 MHz ( period = 10.000 ns )");
    EXPECT_TRUE(std::regex_match(rows[3].at(3), std::regex(R"([0-9]+\.[0-9]{2} MHz \( period = [0-9]+\.[0-9]{3} ns \))"))) << rows[3].at(3);
    EXPECT_TRUE(std::regex_match(rows[0].at(3), std::regex(R"([0-9]+\.[0-9]{3} ns)"))) << rows[0].at(3);
}

TEST_F(QuartusFlow, RawBitFileConfiguresTheDeviceWithTheUserCode)
{
    MakeProject(Folder());
    Build({"quartus_map", "quartus_fit", "quartus_asm"});
    const int32_t kind = KindOf("5AGXFB3H4F35C4N");
    const TBitStreamReceiver receiver = Receive(Folder() / "blinky.RBF", kind);
    EXPECT_TRUE(receiver.Complete()) << receiver.RejectReason();
    EXPECT_EQ(receiver.UserCode(), 0xB1C0FFEEu);
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(Folder() / "blinky.RBF")), hostsim::jtag::DieOfKind(kind).ConfigBits / 8);
}

TEST_F(QuartusFlow, CompressedBitFileIsSmallerAndRefusedByTheSimulatedDevice)
{
    MakeProject(Folder());
    Build({"quartus_map", "quartus_fit"});
    const TRunResult result = Tool(Folder(), "quartus_asm", {"blinky", "--set=ON_CHIP_BITSTREAM_DECOMPRESSION=ON"});
    ASSERT_EQ(result.ExitCode, 0) << result.Output;
    const int32_t kind = KindOf("5AGXFB3H4F35C4N");
    const auto size = static_cast<int64_t>(fs::file_size(Folder() / "blinky.RBF"));
    EXPECT_LT(size, hostsim::jtag::DieOfKind(kind).ConfigBits / 8 * 9 / 10);
    const TBitStreamReceiver receiver = Receive(Folder() / "blinky.RBF", kind);
    EXPECT_EQ(receiver.Status(), TBitStreamReceiver::eRejected);
    EXPECT_NE(ReadFile(Folder() / "blinky.ASM.RPT").find("; Compression   ; On"), std::string::npos);
}

TEST_F(QuartusFlow, ChecksumCanServeAsUserCode)
{
    MakeProject(Folder(), "set_global_assignment -name USE_CHECKSUM_AS_USERCODE ON\n");
    Build({"quartus_map", "quartus_fit", "quartus_asm"});
    const std::string report = ReadFile(Folder() / "blinky.ASM.RPT");
    std::smatch checksum;
    ASSERT_TRUE(std::regex_search(report, checksum, std::regex(R"(; Checksum +; 0x([0-9A-F]{8}))")));
    const TBitStreamReceiver receiver = Receive(Folder() / "blinky.RBF", KindOf("5AGXFB3H4F35C4N"));
    EXPECT_TRUE(receiver.Complete());
    EXPECT_EQ(receiver.UserCode(), std::stoul(checksum[1].str(), nullptr, 16));
}

// Designs and settings that make a tool fail: the error line, the failed
// closing line and exit code 3; the tool's report still tells of the failure.
TEST_F(QuartusFlow, ErrorsEndTheRunUnsuccessfully)
{
    struct TCase {
        const char* Name;
        const char* Extra;        // assignments added to the project script
        const char* Replace;      // text of blinky.vhd to replace ...
        const char* With;         // ... by this
        const char* FailingTool;  // runs after the tools before it succeeded
        const char* Expected;     // a regular expression matching the error line
    };
    const TCase cases[] = {
        {"marker asks the mapper for a syntax error", "", "    alive <= beat(beat'high);",
         "    alive <= beat(beat'high); -- QUARTUS_STANDIN: error 10500", "quartus_map",
         R"(Error \(10500\): VHDL syntax error at blinky\.vhd\(\d+\) near text "alive";  expecting ";")"},
        {"unbalanced parenthesis", "", "led <= std_logic_vector(counter(", "led <= std_logic_vector((counter(", "quartus_map",
         R"(Error \(10500\): VHDL syntax error at blinky\.vhd\(\d+\) near text "\(")"},
        {"unknown top level", "set_global_assignment -name TOP_LEVEL_ENTITY nosuch\n", "", "", "quartus_map",
         R"(Error \(12007\): Top-level design entity "nosuch" is undefined)"},
        {"missing source file", "set_global_assignment -name VHDL_FILE missing.vhd\n", "", "", "quartus_map",
         R"(Error \(12003\): Can't open VHDL file "missing\.vhd")"},
        {"undefined entity", "", "    pll_reset <= not rst_n;",
         "    pll_reset <= not rst_n;\n    filter : debounce port map (input => rst_n, output => open);", "quartus_map",
         R"(Error \(12006\): Node instance "filter" instantiates undefined entity "debounce")"},
        {"unknown device", "set_global_assignment -name DEVICE 5XYZ\n", "", "", "quartus_map",
         R"(Error \(20029\): blinky\.qsf line \d+: "5XYZ" is not an Arria V part)"},
        {"other family", "set_global_assignment -name FAMILY \"Cyclone IV E\"\n", "", "", "quartus_map",
         R"(Error \(20003\): blinky\.qsf line \d+: family "Cyclone IV E" is not available)"},
        {"marker asks the fitter for an error", "", "    alive <= beat(beat'high);",
         "    alive <= beat(beat'high); -- QUARTUS_STANDIN: fit error 170012 Design needs more ALMs than the device has",
         "quartus_fit", R"(Error \(170012\): Design needs more ALMs than the device has)"},
        {"pin that does not exist", "set_location_assignment PIN_ZZ99 -to alive\n", "", "", "quartus_fit",
         R"(Error \(171016\): Can't place node "alive" -- illegal location assignment PIN_ZZ99)"},
        {"two pins on one location", "set_location_assignment PIN_AP33 -to alive\n", "", "", "quartus_fit",
         R"(Error \(176310\): Can't place multiple pins assigned to pin location PIN_AP33)"},
        {"marker asks TimeQuest for an error", "", "    alive <= beat(beat'high);",
         "    alive <= beat(beat'high); -- QUARTUS_STANDIN: sta error", "quartus_sta",
         R"(Error \(332000\): error requested by the QUARTUS_STANDIN marker at blinky\.vhd\(\d+\))"},
        {"user code that is not hexadecimal", "set_global_assignment -name STRATIX_JTAG_USER_CODE XYZ\n", "", "", "quartus_asm",
         R"(Error \(115007\): blinky\.qsf line \d+: STRATIX_JTAG_USER_CODE "XYZ" is not a user code)"},
        {"marker asks the assembler for an error", "", "    alive <= beat(beat'high);",
         "    alive <= beat(beat'high); -- QUARTUS_STANDIN: asm error 115000 Programming file generation failed", "quartus_asm",
         R"(Error \(115000\): Programming file generation failed)"},
    };
    const std::vector<std::pair<std::string, std::string>> order{{"quartus_map", "Analysis & Synthesis"},
                                                                 {"quartus_fit", "Fitter"},
                                                                 {"quartus_sta", "TimeQuest Timing Analyzer"},
                                                                 {"quartus_asm", "Assembler"}};
    const std::map<std::string, std::string> reports{{"quartus_map", "blinky.MAP.RPT"}, {"quartus_fit", "blinky.FIT.RPT"},
                                                     {"quartus_sta", "blinky.STA.RPT"}, {"quartus_asm", "blinky.ASM.RPT"}};
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TScratch scratch;
        MakeProject(scratch.Path, test.Extra);
        if (*test.Replace) {
            std::string source = ReadFile(scratch.Path / "blinky.vhd");
            const size_t at = source.find(test.Replace);
            ASSERT_NE(at, std::string::npos);
            source.replace(at, std::string(test.Replace).size(), test.With);
            WriteFile(scratch.Path / "blinky.vhd", source);
        }
        for (const auto& [tool, title] : order) {
            std::vector<std::string> arguments{"blinky"};
            if (tool == "quartus_sta") arguments.push_back("--sdc=blinky_sta.sdc");
            const TRunResult result = Tool(scratch.Path, tool, arguments);
            if (tool != test.FailingTool) {
                ASSERT_EQ(result.ExitCode, 0) << result.Output;
                continue;
            }
            EXPECT_EQ(result.ExitCode, 3);
            EXPECT_TRUE(std::regex_search(result.Output, std::regex(test.Expected))) << result.Output;
            EXPECT_TRUE(std::regex_match(result.LastSummary(),
                                         std::regex("Error: Quartus II 64-Bit " + title +
                                                    " was unsuccessful\\. 1 error, \\d+ warnings?")))
                << result.LastSummary();
            const std::string report = ReadFile(scratch.Path / reports.at(tool));
            EXPECT_TRUE(report.find("Failed - ") != std::string::npos || tool == "quartus_sta") << report;
            EXPECT_TRUE(std::regex_search(report, std::regex(test.Expected)));
            if (tool == "quartus_asm") {
                EXPECT_FALSE(fs::exists(scratch.Path / "blinky.RBF"));
            }
            break;
        }
    }
}

TEST_F(QuartusFlow, MarkersAskForWarningsToo)
{
    CopyBlinky(Folder());
    std::string source = ReadFile(Folder() / "blinky.vhd");
    source += "-- QUARTUS_STANDIN: warning 10540 signal beat has a default value\n"
              "-- QUARTUS_STANDIN: sta critical warning 332148 Timing requirements not met on purpose\n";
    WriteFile(Folder() / "blinky.vhd", source);
    WriteFile(Folder() / "blinky_Project.tcl", ProjectScript());
    ASSERT_EQ(Tool(Folder(), "quartus_sh", {"-t", "blinky_Project.tcl"}).ExitCode, 0);
    const TRunResult map = Tool(Folder(), "quartus_map", {"blinky"});
    EXPECT_EQ(map.ExitCode, 0);
    EXPECT_TRUE(std::regex_search(map.Output, std::regex(R"(Warning \(10540\): VHDL warning at blinky\.vhd\(\d+\): signal beat has a default value)")))
        << map.Output;
    EXPECT_EQ(map.LastSummary(), "Info: Quartus II 64-Bit Analysis & Synthesis was successful. 0 errors, 2 warnings");
    ASSERT_EQ(Tool(Folder(), "quartus_fit", {"blinky"}).ExitCode, 0);
    const TRunResult sta = Tool(Folder(), "quartus_sta", {"blinky", "--sdc=blinky_sta.sdc"});
    EXPECT_EQ(sta.ExitCode, 0);
    EXPECT_TRUE(sta.Has("Critical Warning (332148): Timing requirements not met on purpose")) << sta.Output;
}

// Verilog and EDIF sources, compiled with "quartus_sh --flow compile" (map, fit,
// asm, then TimeQuest with the project's own SDC file).
TEST_F(QuartusFlow, VerilogAndNetlistDesignsCompileToo)
{
    struct TCase {
        const char* Name;
        const char* File;
        const char* Assignment;
        const char* Source;
        std::vector<std::string> Clocks;
    };
    const TCase cases[] = {
        {"Verilog", "top.v", "VERILOG_FILE",
         "// A counter on a PLL clock.\n"
         "module top #(parameter WIDTH = 20) (input wire clk, input wire rst, output wire [3:0] led);\n"
         "    wire fast;\n"
         "    reg [WIDTH-1:0] count;\n"
         "    sys_pll #(.clk0_multiply_by(3), .clk0_divide_by(2)) pll_inst (.inclk0(clk), .c0(fast));\n"
         "    always @(posedge fast or posedge rst) begin\n"
         "        if (rst) count <= 0;\n"
         "        else count <= count + 1'b1;\n"
         "    end\n"
         "    assign led = count[WIDTH-1:WIDTH-4];\n"
         "endmodule\n",
         {"pll_inst|altpll_component|auto_generated|pll1|clk[0]"}},
        {"EDIF", "top.edf", "EDIF_FILE",
         "(edif top (edifVersion 2 0 0)\n"
         "  (library work (cell top (cellType GENERIC) (view netlist (viewType NETLIST)\n"
         "    (interface (port clk (direction INPUT)) (port (array (rename q \"q(3:0)\") 4) (direction OUTPUT)))\n"
         "    (contents (instance r0 (viewRef netlist (cellRef DFF (libraryRef prims))))\n"
         "              (instance g0 (viewRef netlist (cellRef LUT4 (libraryRef prims))))))))\n"
         "  (design top (cellRef top (libraryRef work))))\n",
         {"clk"}},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.Name);
        TScratch scratch;
        WriteFile(scratch.Path / test.File, test.Source);
        WriteFile(scratch.Path / "top.sdc", "set period 8.0\ncreate_clock -name clk -period $period [get_ports clk]\nderive_pll_clocks\n");
        WriteFile(scratch.Path / "make.tcl", std::string("project_new -overwrite top\n"
                                                         "set_global_assignment -name DEVICE 5AGXFB3H4F35C4\n"
                                                         "set_global_assignment -name ") +
                                                 test.Assignment + " " + test.File +
                                                 "\nset_global_assignment -name SDC_FILE top.sdc\nproject_close\n");
        ASSERT_EQ(Tool(scratch.Path, "quartus_sh", {"-t", "make.tcl"}).ExitCode, 0);
        const TRunResult result = Tool(scratch.Path, "quartus_sh", {"--flow", "compile", "top"});
        ASSERT_EQ(result.ExitCode, 0) << result.Output;
        for (const char* title : {"Analysis & Synthesis", "Fitter", "Assembler", "TimeQuest Timing Analyzer"})
            EXPECT_TRUE(result.Has(std::string("Info: Quartus II 64-Bit ") + title + " was successful.")) << title;
        std::vector<std::string> clocks;
        for (const auto& [clock, fmax] : FmaxRows(ReadFile(scratch.Path / "top.STA.RPT"))) clocks.push_back(clock);
        EXPECT_EQ(clocks, test.Clocks);
        EXPECT_TRUE(Receive(scratch.Path / "top.RBF", KindOf("5AGXFB3H4F35C4N")).Complete());
    }
}

TEST_F(QuartusFlow, ToolsNeedTheStepsBeforeThem)
{
    MakeProject(Folder());
    const TRunResult fit = Tool(Folder(), "quartus_fit", {"blinky"});
    EXPECT_EQ(fit.ExitCode, 3);
    EXPECT_TRUE(fit.Has("Error (170001): Run Analysis & Synthesis (quartus_map) successfully before this tool")) << fit.Output;
    Build({"quartus_map"});
    const TRunResult asm_ = Tool(Folder(), "quartus_asm", {"blinky"});
    EXPECT_EQ(asm_.ExitCode, 3);
    EXPECT_TRUE(asm_.Has("Error (115000): Run the Fitter (quartus_fit) successfully before this tool")) << asm_.Output;
    EXPECT_FALSE(fs::exists(Folder() / "blinky.RBF"));
    // A failed mapping withdraws the earlier one.
    WriteFile(Folder() / "blinky.vhd", ReadFile(Folder() / "blinky.vhd") + "-- QUARTUS_STANDIN: error\n");
    EXPECT_EQ(Tool(Folder(), "quartus_map", {"blinky"}).ExitCode, 3);
    EXPECT_EQ(Tool(Folder(), "quartus_fit", {"blinky"}).ExitCode, 3);
}

TEST_F(QuartusFlow, CommandLineFaultsAndProjectsInOtherFolders)
{
    fs::create_directory(Folder() / "design");
    MakeProject(Folder() / "design");
    // The project argument may name a folder; the tool works in it.
    const TRunResult map = Tool(Folder(), "quartus_map", {"design/blinky.qpf"});
    EXPECT_EQ(map.ExitCode, 0) << map.Output;
    EXPECT_TRUE(fs::exists(Folder() / "design" / "blinky.MAP.RPT"));
    struct TCase {
        std::vector<std::string> Arguments;
        const char* Expected;
    };
    const TCase cases[] = {
        {{"blinky", "--bogus"}, "Error: Unknown option --bogus"},
        {{}, "Error: No project given"},
        {{"nosuch"}, "Error: Can't open project nosuch: the project file nosuch.qpf does not exist"},
        {{"blinky", "--set=NOVALUE"}, "Error: Option --set needs an assignment"},
        {{"blinky", "-c", "other"}, "Error: Can't open revision other of project blinky: the settings file other.qsf does not exist"},
    };
    for (const TCase& test : cases) {
        const TRunResult result = Tool(Folder() / "design", "quartus_map", test.Arguments);
        EXPECT_EQ(result.ExitCode, 3) << result.Output;
        EXPECT_TRUE(result.Has(test.Expected)) << result.Output;
        EXPECT_EQ(result.LastSummary(), "Error: Quartus II 64-Bit Analysis & Synthesis was unsuccessful. 1 error, 0 warnings");
    }
}

// ---- Versions and the data files of the flow -----------------------------------------

TEST(QuartusInstallation, ToolsReportTheVersionOfTheirInstallation)
{
    TScratch scratch;
    const TRunResult cmd = RunProgram(scratch.Path, kBin + "quartus_cmd", {"--version"});
    EXPECT_EQ(cmd.ExitCode, 0);
    EXPECT_EQ(cmd.Lines.at(1), "Version 13.1.0 Build 162 10/23/2013 SJ Web Edition");
    const TRunResult shell = RunProgram(scratch.Path, kBin + "quartus_sh", {"--version"});
    EXPECT_EQ(shell.Lines, (std::vector<std::string>{"Quartus II 64-Bit Shell", "Version 13.1.0 Build 162 10/23/2013 SJ Web Edition"}));
    const TRunResult plain = RunProgram(scratch.Path, kBin + "quartus_cmd", {});
    EXPECT_EQ(plain.ExitCode, 0);
    EXPECT_TRUE(plain.Has("Info: Version 13.1.0 Build 162 10/23/2013 SJ Web Edition")) << plain.Output;

    // Another installation: the same programs next to another readme.
    fs::create_directories(scratch.Path / "q" / "bin");
    for (const char* file : {"quartus_standin", "quartus_sh", "quartus_sh.tcl"})
        fs::copy_file(kBin + file, scratch.Path / "q" / "bin" / file);
    fs::create_symlink("quartus_standin", scratch.Path / "q" / "bin" / "quartus_map");
    WriteFile(scratch.Path / "q" / "readme.txt", "Quartus II Version 9.1 Build 350 03/24/2010 SJ Full Version\n");
    EXPECT_EQ(RunProgram(scratch.Path, (scratch.Path / "q/bin/quartus_map").string(), {"-v"}).Lines,
              (std::vector<std::string>{"Quartus II Analysis & Synthesis", "Version 9.1 Build 350 03/24/2010 SJ Full Version"}));
    EXPECT_EQ(RunProgram(scratch.Path, (scratch.Path / "q/bin/quartus_sh").string(), {"-v"}).Lines.at(1),
              "Version 9.1 Build 350 03/24/2010 SJ Full Version");
}

// The version the flow takes from readme.txt (the word after "Version") is one of AlteraVersions.Txt.
TEST(QuartusInstallation, StagedVersionIsAcceptedByTheHost)
{
    const std::string first = SplitLines(ReadFile(kStage + "System/Quartus/readme.txt")).at(0);
    const size_t at = first.find("Version");
    ASSERT_NE(at, std::string::npos);
    const std::string rest = Trim(first.substr(at + 7));
    const std::string version = rest.substr(0, rest.find(' '));
    EXPECT_EQ(version, "13.1.0");
    const auto versions = SplitLines(ReadFile(kStage + "System/AlteraVersions.Txt"));
    EXPECT_NE(std::find(versions.begin(), versions.end(), version), versions.end());
    for (const char* real : {"9.1", "10.1", "11.0", "12.1", "13.0", "13.1", "14.0", "15.0", "16.0", "17.0", "18.0"})
        EXPECT_NE(std::find(versions.begin(), versions.end(), real), versions.end()) << real;
    for (const std::string& line : versions) EXPECT_EQ(Trim(line), line) << "entries without blanks";
}

// Every entry of the ignore list is a text the tools print; the stand-in's noise warning is among them.
TEST(QuartusInstallation, IgnoreListCoversTheToolsNoise)
{
    const auto entries = SplitLines(ReadFile(kStage + "System/FPGAMessagesToIgnore.txt"));
    ASSERT_FALSE(entries.empty());
    for (const std::string& entry : entries) {
        EXPECT_FALSE(Trim(entry).empty()) << "an empty entry matches nothing";
        EXPECT_EQ(Upper(entry).find("ERROR"), std::string::npos) << entry;
    }
    TScratch scratch;
    MakeProject(scratch.Path);
    const TRunResult map = Tool(scratch.Path, "quartus_map", {"blinky"});
    int warnings = 0, ignored = 0;
    for (const std::string& line : map.Lines) {
        if (Upper(Trim(line)).rfind("WARNING", 0) != 0) continue;
        ++warnings;
        for (const std::string& entry : entries)
            if (Upper(line).find(Upper(entry)) != std::string::npos) {
                ++ignored;
                break;
            }
    }
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(ignored, 1);
}

// The example's bench file reaches the staged tools and gives the project its user identifier.
TEST(QuartusInstallation, ExampleBenchPointsAtTheStagedTools)
{
    const std::string bench = kStage + "Examples/blinky/bench.json";
    const hostsim::TBenchConfig config = hostsim::TBenchConfig::Load(bench);
    ASSERT_EQ(config.Projects.size(), 1u);
    EXPECT_EQ(config.Projects[0].UserId, "0xB1C0FFEE");
    for (const auto& document : config.Projects[0].Documents) EXPECT_TRUE(fs::exists(document)) << document;
    const auto& tools = config.VendorTools.at("Altera");
    for (const char* tool : {"Quartus_Cmd", "Quartus_sh", "Quartus_Map", "Quartus_Fit", "Quartus_Sta", "Quartus_Tan", "Quartus_Asm"}) {
        ASSERT_TRUE(tools.count(tool)) << tool;
        EXPECT_TRUE(fs::exists(tools.at(tool))) << tools.at(tool);
    }
    EXPECT_TRUE(fs::exists(fs::path(tools.at("Quartus_Cmd")).parent_path().parent_path() / "readme.txt"));
    // The host's project answers its user identifier (operation 500081).
    const auto workspace = hostsim::MakeHostObject<hostsim::TWorkspace>(config.Projects);
    const com::TDispatchRef project = com::TDispatchRef(workspace.Get()).CallObject(501413, {config.Projects[0].Path});
    ASSERT_TRUE(project);
    EXPECT_EQ(project.CallString(500081), "0xB1C0FFEE");
}

} // namespace
} // namespace quartustest
