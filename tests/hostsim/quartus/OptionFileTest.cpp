// The default option files read through the option reader, and the Quartus
// script they generate run by the stand-in shell: the same path the Translate
// Design step takes, with the step's token replacement written out here.
#include "StandInSupport.h"

#include "hostsim/jtag/BitStream.h"
#include "options/FPGAOptions.h"

#include <gtest/gtest.h>

namespace quartustest {
namespace {

using tavrel::TFPGAOptionKind;
using tavrel::TFPGAOptions;
using tavrel::TStringList;

const std::string kDevice = "5AGXFB3H4F35C4N";
const std::string kTool = "13.1.0";

// The step's replacement of the script tokens, in its order, without regard to case.
std::string ReplaceTokens(std::string line, const std::string& addTimeQuestFile = "")
{
    const std::vector<std::pair<std::string, std::string>> tokens{
        {".ReplaceDeviceFamilyName", "Arria V"},
        {".ReplaceDeviceName", "5AGXFB3H4F35C4"},
        {".ReplaceProjectName", "blinky"},
        {".ReplaceLMF", "/OPT/HOST/LIBRARY/EDIF/Orvane.LMF"},
        {".ReplaceUserID", "B1C0FFEE"},
        {".ReplaceShortUserID", ""},
        {".ReplaceEnablePLDFlow", "0"},
        {".ReplaceOptimizationFlag", "OPTIMIZATION_TECHNIQUE"},
        {".ReplaceConfigSchemeFlag", "STRATIXV_CONFIGURATION_SCHEME"},
        {".ReplaceConfigDeviceFlag", "STRATIXII_CONFIGURATION_DEVICE"},
        {".ReplaceAddTimeQuestFile", addTimeQuestFile},
    };
    line = Trim(line);
    for (const auto& [token, value] : tokens) line = ReplaceAllNoCase(line, token, value);
    return line;
}

TEST(QuartusOptionFiles, QuartusFileHoldsTheOptionsTheStepsRead)
{
    TFPGAOptions options(kDevice, kTool);
    options.LoadOptions(kStage + "System/DefaultOptions_Quartus.xml");
    struct TExpected {
        const char* Name;
        const char* Section;
        TFPGAOptionKind Kind;
        const char* Default;
    };
    const TExpected expected[] = {
        {"Device Family", "Device", TFPGAOptionKind::String, ".ReplaceDeviceFamilyName"},
        {"Device", "Device", TFPGAOptionKind::String, ".ReplaceDeviceName"},
        {"Top Level Entity", "Device", TFPGAOptionKind::String, ".ReplaceProjectName"},
        {"User Code", "Device", TFPGAOptionKind::String, ".ReplaceUserID"},
        {"Optimization Technique", "Analysis & Synthesis", TFPGAOptionKind::Enum, "Balanced"},
        {"Seed", "Fitter", TFPGAOptionKind::Integer, "1"},
        {"Use TimeQuest Timing Analyzer", "Timing Analysis", TFPGAOptionKind::Boolean, "True"},
        {"On-Chip Bitstream Compression", "Assembler", TFPGAOptionKind::Boolean, "False"},
    };
    for (const TExpected& option : expected) {
        SCOPED_TRACE(option.Name);
        const auto* found = options.GetOption(option.Name);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->Section, option.Section);
        EXPECT_EQ(found->Kind, option.Kind);
        EXPECT_EQ(found->GetValue(), option.Default);
        EXPECT_FALSE(found->ToolTip.empty());
    }
    for (int i = 0; i < options.GetOptionCount(); ++i) EXPECT_FALSE(options.GetOptionAt(i)->ToolTip.empty()) << options.GetOptionAt(i)->Name;
    EXPECT_EQ(options.Commands_Filename, ".ReplaceProjectName_Project.tcl");
    TStringList line;
    ASSERT_TRUE(options.GetLines(false, line, kDevice, kTool));
    ASSERT_EQ(line.size(), 1u);
    EXPECT_EQ(ReplaceTokens(line[0]), "-t blinky_Project.tcl");

    TFPGAOptions timing(kDevice, kTool);
    timing.LoadOptions(kStage + "System/DefaultOptions_Quartus_Tan.xml");
    const auto* skip = timing.GetOption("Skip Timing Analysis");
    ASSERT_NE(skip, nullptr);
    EXPECT_EQ(skip->GetValue(), "False");
    TStringList nothing;
    EXPECT_FALSE(timing.GetLines(false, nothing, kDevice, kTool));

    // The plug-in's own copies are the same files.
    for (const char* file : {"DefaultOptions_Quartus.xml", "DefaultOptions_Quartus_Tan.xml"})
        EXPECT_EQ(ReadFile(kStage + "Extensions/Arria5/" + file), ReadFile(kStage + "System/" + file)) << file;
}

// Old Quartus versions know no TimeQuest: its option drops out and its SDC line is commented out.
TEST(QuartusOptionFiles, TimeQuestOptionFollowsTheToolVersion)
{
    TFPGAOptions options(kDevice, "5.1");
    options.LoadOptions(kStage + "System/DefaultOptions_Quartus.xml");
    auto* timequest = options.GetOption("Use TimeQuest Timing Analyzer");
    ASSERT_NE(timequest, nullptr);
    timequest->SetValue("True");
    timequest->WasLoaded = true;
    TStringList script;
    ASSERT_TRUE(options.GetLines(true, script, kDevice, "5.1"));
    std::string text;
    for (const std::string& line : script) text += ReplaceTokens(line, "#") + "\n";
    EXPECT_EQ(text.find("USE_TIMEQUEST_TIMING_ANALYZER"), std::string::npos) << text;
    EXPECT_NE(text.find("\n#set_global_assignment -name SDC_FILE blinky_sta.sdc\n"), std::string::npos) << text;
}

TEST(QuartusOptionFiles, GeneratedScriptBuildsTheExample)
{
    TFPGAOptions options(kDevice, kTool);
    options.LoadOptions(kStage + "System/DefaultOptions_Quartus.xml");
    // Values the project storage would hold.
    for (const auto& [name, value] : std::vector<std::pair<const char*, const char*>>{
             {"Seed", "5"}, {"On-Chip Bitstream Compression", "True"}, {"Fitter Effort", "Standard Fit"}}) {
        auto* option = options.GetOption(name);
        ASSERT_NE(option, nullptr) << name;
        option->SetValue(value);
        option->WasLoaded = true;
    }
    TStringList script, commandLine;
    ASSERT_TRUE(options.GetLines(true, script, kDevice, kTool));
    ASSERT_TRUE(options.GetLines(false, commandLine, kDevice, kTool));

    TScratch scratch;
    CopyBlinky(scratch.Path);
    // The build merges the project's .TCL documents into the user constraints.
    fs::copy_file(scratch.Path / "blinky_constraints.tcl", scratch.Path / "blinky_UserConstraints.TCL");
    std::string text;
    for (const std::string& line : script) text += ReplaceTokens(line) + "\n";
    WriteFile(scratch.Path / ReplaceTokens(options.Commands_Filename), text);
    std::vector<std::string> arguments;
    for (const std::string& line : commandLine) {
        std::istringstream words(ReplaceTokens(line));
        for (std::string word; words >> word;) arguments.push_back(word);
    }
    const TRunResult shell = Tool(scratch.Path, "quartus_sh", arguments);
    ASSERT_EQ(shell.ExitCode, 0) << shell.Output << "\n" << text;
    EXPECT_TRUE(fs::exists(scratch.Path / "blinky.qpf_orig"));

    const std::string settings = ReadFile(scratch.Path / "blinky.qsf");
    for (const char* line : {"set_global_assignment -name FAMILY \"Arria V\"\n", "set_global_assignment -name DEVICE 5AGXFB3H4F35C4\n",
                             "set_global_assignment -name TOP_LEVEL_ENTITY blinky\n",
                             "set_global_assignment -name STRATIX_JTAG_USER_CODE B1C0FFEE\n",
                             "set_global_assignment -name SEED 5\n",
                             "set_global_assignment -name FITTER_EFFORT \"STANDARD FIT\"\n",
                             "set_global_assignment -name ON_CHIP_BITSTREAM_DECOMPRESSION ON\n",
                             "set_global_assignment -name VHDL_FILE blinky.vhd\n",
                             "set_global_assignment -name VHDL_FILE blinky_pll.vhd\n",
                             "set_global_assignment -name SDC_FILE blinky_sta.sdc\n",
                             "set_global_assignment -name GENERATE_RBF_FILE ON\n"})
        EXPECT_NE(settings.find(line), std::string::npos) << line << settings;
    // Unspecified options leave Quartus its own defaults.
    EXPECT_EQ(settings.find("OPTIMIZATION_TECHNIQUE"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("USE_TIMEQUEST_TIMING_ANALYZER"), std::string::npos) << settings;

    for (const std::vector<std::string>& step : std::vector<std::vector<std::string>>{
             {"quartus_map", "blinky"}, {"quartus_fit", "blinky"}, {"quartus_sta", "blinky", "--sdc=blinky_sta.sdc"},
             {"quartus_asm", "blinky", "--set=ON_CHIP_BITSTREAM_DECOMPRESSION=OFF"}}) {
        const TRunResult result = Tool(scratch.Path, step[0], {step.begin() + 1, step.end()});
        ASSERT_EQ(result.ExitCode, 0) << result.Output;
    }
    EXPECT_NE(ReadFile(scratch.Path / "blinky.FIT.RPT").find("; Seed "), std::string::npos);
    hostsim::jtag::TBitStreamReceiver receiver(hostsim::jtag::DieOfKind(120));
    for (unsigned char byte : ReadFile(scratch.Path / "blinky.RBF"))
        for (int bit = 0; bit < 8; ++bit) receiver.PushBit((byte >> bit) & 1);
    EXPECT_TRUE(receiver.Complete()) << receiver.RejectReason();
    EXPECT_EQ(receiver.UserCode(), 0xB1C0FFEEu);
}

} // namespace
} // namespace quartustest
