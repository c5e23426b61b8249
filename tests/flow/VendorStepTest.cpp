// The vendor tool step on the staged host: a shell script stands in for the
// tool; its lines must reach the host's output and message panels with the
// right classes, the step must judge the run, stop at once when asked, and
// build its command lines, command file and constraint file from its options.
#include "flow/FlowFiles.h"
#include "flow/VendorProcess.h"
#include "host/HostAccess.h"
#include "hostsim/host/Host.h"
#include "tests/flow/FlowTestSupport.h"
#include "tests/support/FakeDispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace tavrel;
using namespace flowtest;
using hostsim::THost;
using hostsim::THostMessage;

namespace {

// A map-like step whose tool is a script of the test.
class TToolStep : public TFlowStage_VendorProcess {
public:
    explicit TToolStep(const std::string& tool, IDispatch* driver = nullptr)
        : TFlowStage_VendorProcess(".vhd", ".MAP.RPT", ".MAP.RPT,.MAP.SUMMARY", "Map Design", "&Map Design",
                                   "Map the design", "Quartus_Map", tool, driver)
    {
    }
    std::string ReplaceMacros(const std::string& text) override
    {
        return TrimText(ReplaceTextIgnoreCase(text, ".ReplaceDeviceName", "5AGXFB3H4F35C4"));
    }
    std::string DefaultOptionsFileName() override { return DefaultFile; }
    bool ShowOptionsDialog() override { return Dialog ? Dialog(*Options) : false; }

    std::string DefaultFile;
    std::function<bool(TFPGAOptions&)> Dialog;
};

// Holds the step for the test as the host would.
struct TStepRef {
    explicit TStepRef(TToolStep* step) : Step(step), Host(step->AsDispatch()) {}
    TToolStep* operator->() const { return Step; }
    int32_t Run() const { return Host.CallInt(dispid::Flow_Run, {static_cast<IDispatch*>(nullptr)}); }
    TToolStep* Step;
    THostObject Host;
};

std::vector<std::string> MessageTexts(const THost& host, const std::string& messageClass)
{
    std::vector<std::string> texts;
    for (const THostMessage& message : host.WorkspaceObject().Messages->Messages)
        if (message.Class == messageClass) texts.push_back(message.Text);
    return texts;
}

const THostMessage* FindMessage(const THost& host, const std::string& text)
{
    for (const THostMessage& message : host.WorkspaceObject().Messages->Messages)
        if (message.Text == text) return &message;
    return nullptr;
}

bool OutputHas(const THost& host, const std::string& line)
{
    const auto& output = host.WorkspaceObject().Output;
    return std::find(output.begin(), output.end(), line) != output.end();
}

TEST(VendorStepTest, ToolLinesBecomeOutputAndMessages)
{
    TTempFolder folder;
    THost host(StagedHost());
    const std::string tool = folder.Script("quartus_map", "printf 'Info: Running Quartus\\r\\n'\n"
                                                          "printf 'Error (10500): VHDL syntax error at top.vhd(3)\\r\\n'\n"
                                                          "printf '  critical warning: clock top|clk not constrained\\r\\n'\n"
                                                          "printf 'WARNING: an IGNORED text here\\r\\n'\n"
                                                          "printf 'Error: ignored error too\\r\\n'\n"
                                                          "printf 'File: a.vhd\\r\\n line 3 bad\\r\\n'\n"
                                                          "printf '%0600d\\r\\n' 0\n"
                                                          "echo report > design.MAP.RPT\n");
    TStepRef step(new TToolStep(tool));
    step->SetBasePath(folder.File("design.vhd"));
    step->LinesToIgnore = {"ignored text", "IGNORED ERROR"};

    EXPECT_EQ(step.Run(), eFlowRun_Failure) << "an error line fails the step although the output was written";
    EXPECT_TRUE(step->ErrorsOccured);
    const auto& output = host.WorkspaceObject().Output;
    const std::vector<std::string> expected = {
        "Running " + tool + "...",
        "    Parameters: ",
        "Info: Running Quartus",
        "Error (10500): VHDL syntax error at top.vhd(3)",
        "  critical warning: clock top|clk not constrained",
        "WARNING: an IGNORED text here",
        "Error: ignored error too",
        "File: a.vhd: line 3 bad",
        std::string(513, '0'),
        std::string(87, '0'),
        "---",
        "Quartus_Map - Errors Occurred",
        std::string(21, '-'),
    };
    EXPECT_EQ(output, expected);

    EXPECT_EQ(MessageTexts(host, "ProcessFlowError"), (std::vector<std::string>{"Error (10500): VHDL syntax error at top.vhd(3)"}));
    EXPECT_EQ(MessageTexts(host, "ProcessFlowWarning"),
              (std::vector<std::string>{"  critical warning: clock top\xC2\xA6" "clk not constrained"}))
        << "leading blanks and case do not matter; a \"|\" cannot end the text early";
    EXPECT_EQ(MessageTexts(host, "ProcessFlowInfo"),
              (std::vector<std::string>{"Info: Running Quartus", "Quartus_Map - Errors Occurred"}));
    EXPECT_EQ(MessageTexts(host, "ProcessFlowProgress"), (std::vector<std::string>{"Running " + tool + "..."}));

    const THostMessage* error = FindMessage(host, "Error (10500): VHDL syntax error at top.vhd(3)");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Source, "Map Design");
    EXPECT_EQ(error->Document, "design.vhd");
    EXPECT_EQ(error->CallBackProcess, "WorkspaceManager:View");
    EXPECT_EQ(error->ImageIndex, 73);
    ASSERT_EQ(error->CallBackParameters.rfind("ShowInOutput=", 0), 0u);
    const size_t line = std::stoul(error->CallBackParameters.substr(13));
    ASSERT_LT(line, output.size());
    EXPECT_EQ(output[line], error->Text) << "the message links to its own output line";
    EXPECT_NE(FindMessage(host, "Running " + tool + "...")->Record.find("|ReplaceLastMessageOfSameClass=True"),
              std::string::npos);
    EXPECT_EQ(host.GUI().Panels[2], "Quartus_Map - Errors Occurred");
}

TEST(VendorStepTest, TheOutputFileDecidesTheResult)
{
    struct TCase {
        const char* What;
        const char* Script;
        bool OldOutput;
        TFlowRunResult Result;
        const char* Message;
    } cases[] = {
        {"output written, no error", "echo new > design.MAP.RPT\n", false, eFlowRun_Success,
         "Quartus_Map - Completed Successfully"},
        {"old output moved away, none written", "echo nothing\n", true, eFlowRun_Failure,
         "Quartus_Map - Failed To Generate File : design.MAP.RPT"},
        {"crash after writing the output", "echo half > design.MAP.RPT\nkill -SEGV $$\n", false, eFlowRun_Failure,
         "Quartus_Map - Errors Occurred"},
    };
    for (const TCase& c : cases) {
        TTempFolder folder;
        THost host(StagedHost());
        TStepRef step(new TToolStep(folder.Script("tool", c.Script)));
        step->SetBasePath(folder.File("design.vhd"));
        if (c.OldOutput) folder.Write("design.MAP.RPT", "old");
        EXPECT_EQ(step.Run(), c.Result) << c.What;
        EXPECT_TRUE(FindMessage(host, c.Message)) << c.What;
        EXPECT_EQ(host.WorkspaceObject().Output.back(), std::string(21, '-')) << c.What;
        if (c.OldOutput) {
            EXPECT_FALSE(FileExists(folder.File("design.MAP.RPT")));
            EXPECT_EQ(ReadTextLines(folder.File("design.MAP.~.RPT")), TStringList{"old"}) << c.What;
        }
    }
    // The crash is named.
    TTempFolder folder;
    THost host(StagedHost());
    TStepRef step(new TToolStep(folder.Script("tool", "echo half > design.MAP.RPT\nkill -SEGV $$\n")));
    step->SetBasePath(folder.File("design.vhd"));
    step.Run();
    const auto errors = MessageTexts(host, "ProcessFlowError");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Quartus_Map - Ended abnormally (signal 11", 0), 0u) << errors[0];
}

TEST(VendorStepTest, ArgumentsInTheToolPath)
{
    TTempFolder folder;
    THost host(StagedHost());
    const std::string tool = folder.Script("my tools/quartus_map", "echo \"args:$*\" > design.MAP.RPT\n");
    struct TCase {
        std::string Path;
        std::string Program;
        std::string Args;
    } cases[] = {
        {tool + " --64", tool, "--64"},
        {tool, tool, ""},
    };
    for (const TCase& c : cases) {
        TStepRef step(new TToolStep(c.Path));
        step->SetBasePath(folder.File("design.vhd"));
        step->Options->Script_Head = "design";
        EXPECT_EQ(step.Run(), eFlowRun_Success) << c.Path;
        EXPECT_TRUE(OutputHas(host, "Running " + c.Program + "...")) << c.Path;
        const std::string args = c.Args.empty() ? "design" : c.Args + " design";
        EXPECT_EQ(ReadTextLines(folder.File("design.MAP.RPT")), TStringList{"args:" + args}) << c.Path;
    }
}

TEST(VendorStepTest, StopEndsTheToolAndItsChildrenAtOnce)
{
    TTempFolder folder;
    THost host(StagedHost());
    const std::string pids = folder.File("pids");
    const std::string tool = folder.Script("tool", "sleep 30 &\n"
                                                   "echo $! > '" + pids + "'\n"
                                                   "echo $$ >> '" + pids + "'\n"
                                                   "echo started\n"
                                                   "wait\n"
                                                   "echo late > design.MAP.RPT\n");
    TStepRef step(new TToolStep(tool));
    step->SetBasePath(folder.File("design.vhd"));
    // The host's user presses Stop while the tool runs: the call arrives through the message loop.
    bool pumped = false;
    host.Loop().Post([&] { pumped = true; });
    host.WorkspaceObject().OnOutput = [&](const std::string& text) {
        if (text == "started") host.Loop().Post([&] { step.Host.Call(dispid::Flow_Stop); });
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(step.Run(), eFlowRun_Cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(pumped) << "the host's message loop turned while the tool ran";
    for (pid_t pid : ReadPids(pids)) EXPECT_TRUE(ProcessEndsWithin(pid, std::chrono::seconds(1))) << pid;
    EXPECT_EQ(step.Host.CallInt(dispid::Flow_LastRunResult), eFlowRun_Cancelled);
    EXPECT_FALSE(OutputHas(host, std::string(21, '-'))) << "no separator after a stop";
    for (const char* ending : {"Completed Successfully", "Errors Occurred", "Failed To Generate File"})
        for (const auto& message : host.WorkspaceObject().Messages->Messages)
            EXPECT_EQ(message.Text.find(ending), std::string::npos) << message.Text;
    EXPECT_FALSE(FileExists(folder.File("design.MAP.RPT")));
    EXPECT_EQ(step->ExecWrapper, nullptr);
}

TEST(VendorStepTest, AFloodOfLinesReachesTheOutputInOrder)
{
    TTempFolder folder;
    THost host(StagedHost());
    constexpr int kLines = 20000;
    TStepRef step(new TToolStep(folder.Script("tool", "seq 1 " + std::to_string(kLines) + "\ntouch design.MAP.RPT\n")));
    step->SetBasePath(folder.File("design.vhd"));
    EXPECT_EQ(step.Run(), eFlowRun_Success);
    const auto& output = host.WorkspaceObject().Output;
    ASSERT_GE(output.size(), static_cast<size_t>(kLines) + 2);
    for (int i = 0; i < kLines; ++i)
        if (output[static_cast<size_t>(i) + 2] != std::to_string(i + 1)) {
            ADD_FAILURE() << "output line " << i + 2 << " is " << output[static_cast<size_t>(i) + 2];
            break;
        }
}

TEST(VendorStepTest, CommandLinesAndCommandFile)
{
    TTempFolder folder;
    THost host(StagedHost());
    TStepRef step(new TToolStep("unused"));
    step->SetBasePath(folder.File("design.vhd"));
    TFPGAOptions& options = *step->Options;
    options.Script_Head = "  --family .ReplaceDeviceName  ";
    options.Commands_Head = "set_global_assignment -name FAMILY .ReplaceDeviceName";
    options.Commands_Filename = "build.tcl";
    TFPGAOption_Abstract* seed = options.AddIntegerOption("Fit", "Seed", "seed", "3", "1", "9");
    seed->WasLoaded = true;

    EXPECT_EQ(step->CommandLineParameters(), " --family 5AGXFB3H4F35C4 -seed 3");
    EXPECT_EQ(ReadTextLines(folder.File("build.tcl")),
              TStringList{"set_global_assignment -name FAMILY 5AGXFB3H4F35C4"});

    std::vector<std::string> cmd, scr;
    bool readOnly = false;
    EXPECT_TRUE(step->BuildCommandLines(&cmd, &scr, readOnly, false));
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(scr, (std::vector<std::string>{"--family .ReplaceDeviceName", "-seed 3"})) << "only trimmed";

    // The user's own texts replace the generated ones but still get the macros.
    options.CustomUser_Scr = "--custom .replacedevicename\r\n  --two  ";
    options.CustomUser_Cmd = "project_open x";
    options.Commands_Filename = "";
    fs::remove(folder.File("build.tcl"));
    EXPECT_EQ(step->CommandLineParameters(), " --custom 5AGXFB3H4F35C4 --two");
    EXPECT_FALSE(FileExists(folder.File("build.tcl"))) << "no command file name: no command file";

    options.CustomUser_Cmd = "";
    options.CustomUser_Scr = "";
    options.Commands_Head = "";
    options.Commands_Filename = "build.tcl";
    EXPECT_EQ(step->CommandLineParameters(), " --family 5AGXFB3H4F35C4 -seed 3");
    EXPECT_FALSE(FileExists(folder.File("build.tcl"))) << "no command-file lines: no command file";
}

TEST(VendorStepTest, ConstraintsAndReports)
{
    TTempFolder folder;
    const std::string project = folder.File("design.PrjFpg");
    const std::vector<std::string> documents = {folder.Write("pins.tcl", "set_location a\nset_location b\n"),
                                                folder.Write("top.vhd", "entity top is end;\n"),
                                                folder.Write("timing.Tcl", "create_clock clk\n")};
    folder.Write("design_BUILD.TCL", "# build\n");
    THost host(StagedHost(project, documents));
    TStepRef step(new TToolStep("unused"));
    step->SetBasePath(folder.File("design.vhd"));
    step->FConstraintsExt = ".TCL";
    step.Host.Call(dispid::Flow_ProjectChanged, {project});
    ASSERT_TRUE(step->GetFlowProject());
    step->MakeConstraintsFile();
    EXPECT_EQ(ReadTextLines(folder.File("design.TCL")),
              (TStringList{"set_location a", "set_location b", "create_clock clk", "# build"}));

    EXPECT_EQ(step.Host.CallInt(dispid::Flow_ReportCount), 2);
    EXPECT_EQ(step.Host.CallString(dispid::Flow_ReportPath, {int32_t{1}}), folder.File("design.MAP.SUMMARY"));
    EXPECT_EQ(step.Host.CallString(dispid::Flow_ReportPath, {int32_t{2}}), "");
    EXPECT_EQ(step.Host.CallString(dispid::Flow_ReportPath, {int32_t{-1}}), "");
    EXPECT_EQ(step.Host.CallString(dispid::Flow_InputDescription), "design.vhd");
    EXPECT_EQ(step.Host.CallString(dispid::Flow_OutputDescription), "design.MAP.RPT");
    EXPECT_EQ(step.Host.CallInt(dispid::Flow_FlowState), eFlowState_Missing);
    folder.Write("design.MAP.RPT", "r");
    EXPECT_TRUE(step.Host.CallBool(dispid::Flow_UpdateFlowState));
    EXPECT_EQ(step.Host.CallInt(dispid::Flow_FlowState), eFlowState_UpToDate);
}

TEST(VendorStepTest, OptionsFollowTheProjectAndSurviveABrokenDefaultFile)
{
    TTempFolder folder;
    const std::string project = folder.File("design.PrjFpg");
    THost host(StagedHost(project));
    // The default option file and the ignore list live in the host's system folder.
    const std::string system = hostaccess::GetSystemFolder();
    fs::create_directories(system);
    const std::string defaults = "DefaultOptions_Test_" + std::to_string(::getpid()) + ".xml";
    struct TCleanup {
        std::string File;
        ~TCleanup() { fs::remove(File); }
    } cleanupDefaults{system + defaults}, cleanupIgnore{system + "FPGAMessagesToIgnore.txt"};
    std::ofstream(system + "FPGAMessagesToIgnore.txt") << "first entry\r\nSecond Entry\r\n";
    std::ofstream(system + defaults) << "<options><section Id='Fit'>"
                                        "<option id='Seed'><kind>integer</kind><flag>seed</flag>"
                                        "<default_value>1</default_value></option>"
                                        "<option id='Effort'><kind>string</kind><flag>effort</flag></option>"
                                        "</section></options>";
    testsupport::TFakeDispatch driver("driver", nullptr);
    driver.ReturnString(dispid::Driver_GetDeviceName, "5AGXFB3H4F35C4N");
    driver.ReturnString(dispid::Driver_GetVendorName, "Altera");
    TStepRef step(new TToolStep("unused", &driver));
    EXPECT_EQ(step->LinesToIgnore, (TStringList{"first entry", "Second Entry"}));
    EXPECT_TRUE(step->IsLineIgnored("Warning: SECOND ENTRY seen"));
    EXPECT_EQ(step->Options->Device(), "5AGXFB3H4F35C4N");
    step->DefaultFile = defaults;
    EXPECT_FALSE(step.Host.CallBool(dispid::Flow_CanEditProperties)) << "no options yet";

    auto& stored = host.WorkspaceObject().Projects[0]->Options->Values;
    stored[hostsim::TProjectOptions::Key("Map DesignQuartus_Map", "Seed")] = "7";
    step.Host.Call(dispid::Flow_ProjectChanged, {project});
    ASSERT_EQ(step->Options->GetOptionCount(), 2);
    EXPECT_EQ(step->Options->GetOption("Seed")->GetValue(), "7");
    EXPECT_TRUE(step.Host.CallBool(dispid::Flow_CanEditProperties));

    // The dialog confirms a new value: it is saved to the project.
    step->Dialog = [](TFPGAOptions& options) {
        TFPGAOption_Abstract* effort = options.GetOption("Effort");
        effort->TemporaryActive = true;
        effort->SetValue("high");
        return true;
    };
    step.Host.Call(dispid::Flow_EditProperties);
    EXPECT_EQ(stored[hostsim::TProjectOptions::Key("Map DesignQuartus_Map", "Effort")], "high");

    // A default file that is not XML: the error names it, the step keeps its options
    // and still takes the project's values.
    std::ofstream(system + defaults) << "<options><section Id='Fit'>\n<option id='Seed'>\n</options>";
    stored[hostsim::TProjectOptions::Key("Map DesignQuartus_Map", "Seed")] = "8";
    com::TVariant result;
    com::VARIANT arg;
    com::VariantInit(&arg);
    com::VariantSetString(&arg, project);
    com::DISPPARAMS params{&arg, nullptr, 1, 0};
    com::EXCEPINFO info{};
    EXPECT_EQ(step.Host.Get()->Invoke(dispid::Flow_ProjectChanged, com::IID_NULL, 0, com::DISPATCH_METHOD, &params,
                                      &result, &info, nullptr),
              com::DISP_E_EXCEPTION);
    const std::string message = com::BstrToUtf8(info.bstrDescription);
    EXPECT_NE(message.find(system + defaults + ":3:"), std::string::npos) << message;
    com::BstrFree(info.bstrDescription);
    com::BstrFree(info.bstrSource);
    com::VariantClear(&arg);
    EXPECT_EQ(step->Options->GetOptionCount(), 2);
    EXPECT_EQ(step->Options->GetOption("Seed")->GetValue(), "8");
}

} // namespace
