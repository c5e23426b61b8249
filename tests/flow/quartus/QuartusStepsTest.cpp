// The Quartus steps on a host: version-dependent file names, the analyser
// choice, and the script tokens. The test program is a host (it exports the
// host's entry points) installed like one: bin/ beside a System folder.
#include "flow/quartus/QuartusSteps.h"
#include "host/DeviceFamilies.h"
#include "host/HostAccess.h"
#include "host/VendorTools.h"
#include "hostsim/host/Host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace tavrel::quartus;
using tavrel::TFlowStage_VendorProcess;

namespace {

class QuartusStepsTest : public ::testing::Test {
protected:
    // A fake installation whose readme names `version`, and a host whose tool manager points at it.
    void StartHost(const std::string& version)
    {
        Root = fs::temp_directory_path() / ("quartus-steps-" + std::to_string(getpid()));
        fs::remove_all(Root);
        fs::create_directories(Root / "quartus/bin");
        std::ofstream(Root / "quartus/bin/quartus_cmd") << "";
        std::ofstream(Root / "quartus/readme.txt") << "Quartus II Version " << version << " Build 350\n";
        System = hostaccess::GetSystemFolder();
        fs::create_directories(System);
        std::ofstream(System + "AlteraVersions.Txt") << "5.0\n9.1\n13.1\n";
        hostsim::THost::TOptions options;
        options.ApplicationFolder = ARRIA5_STAGE_DIR;
        options.ManualTime = true;
        hostsim::TBenchProject project;
        project.Path = (Root / "blinky.PrjFpg").string();
        project.UserId = "$0x00C0FFEE";
        options.Bench.Projects = {project};
        if (!version.empty()) options.Bench.VendorTools["Altera"]["Quartus_Cmd"] = (Root / "quartus/bin/quartus_cmd").string();
        Host = std::make_unique<hostsim::THost>(std::move(options));
    }
    void TearDown() override
    {
        Host.reset();
        fs::remove_all(Root);
        fs::remove(System + "AlteraVersions.Txt");
    }
    com::IDispatch* Driver() { return Host->Device(0).Driver().Get(); }

    fs::path Root;
    std::string System;
    std::unique_ptr<hostsim::THost> Host;
};

TEST_F(QuartusStepsTest, OldVersionsUseEquationFiles)
{
    StartHost("5.0");
    EXPECT_EQ(hostaccess::GetQuartusVersion(), "5.0");
    TFlowStage_Altera_QuartusMap map(Driver());
    TFlowStage_Altera_QuartusFit fit(Driver());
    TFlowStage_Altera_MakeScriptFile script(Driver(), false);
    TFlowStage_Altera_QuartusTan timing(Driver(), &script);
    for (TFlowStage_VendorProcess* step : std::initializer_list<TFlowStage_VendorProcess*>{&map, &fit, &timing})
        step->SetBasePath((Root / "design.edf").string());
    EXPECT_EQ(map.OutputDescription(), "design.MAP.EQN");
    EXPECT_EQ(fit.InputDescription(), "design.MAP.EQN");
    EXPECT_EQ(fit.OutputDescription(), "design.FIT.EQN");
    EXPECT_EQ(timing.InputDescription(), "design.FIT.EQN");
    EXPECT_FALSE(timing.UseTimeQuest()) << "Arria5 with 5.0 and no TimeQuest option";
    EXPECT_EQ(timing.CommandLineParameters(), "design");
    EXPECT_EQ(timing.OutputDescription(), "design.TAN.RPT");
    EXPECT_FALSE(timing.CanRun()) << "without the Skip Timing Analysis option the step cannot run";
}

TEST_F(QuartusStepsTest, UnlistedOrMissingVersionsUseTheCurrentNames)
{
    StartHost("");
    EXPECT_EQ(hostaccess::GetQuartusVersion(), "") << "no tool registered";
    TFlowStage_Altera_MakeScriptFile script(Driver(), true);
    TFlowStage_Altera_QuartusMap map(Driver());
    TFlowStage_Altera_QuartusTan timing(Driver(), &script);
    for (TFlowStage_VendorProcess* step : std::initializer_list<TFlowStage_VendorProcess*>{&script, &map, &timing})
        step->SetBasePath((Root / "design.edf").string());
    EXPECT_EQ(script.OutputDescription(), "design.qpf_orig");
    EXPECT_EQ(map.OutputDescription(), "design.MAP.RPT");
    EXPECT_TRUE(timing.UseTimeQuest()) << "no version found counts as a new one";
    EXPECT_EQ(timing.CommandLineParameters(), "design --sdc=design_sta.sdc");
    EXPECT_EQ(timing.OutputDescription(), "design.STA.RPT");
}

TEST_F(QuartusStepsTest, ScriptTokensAreReplacedInAnyCase)
{
    StartHost("9.1");
    TFlowStage_Altera_MakeScriptFile script(Driver(), true);
    script.SetBasePath((Root / "blinky.edf").string());
    script.ProjectChanged((Root / "blinky.PrjFpg").string());
    EXPECT_EQ(script.ReplaceMacros("  .ReplaceDeviceName|.replaceprojectname|.REPLACEUSERID|.ReplaceEnablePLDFlow|"
                                   ".ReplaceShortUserID|.ReplaceAddTimeQuestFile|.ReplaceOptimizationFlag  "),
              "5AGXFB3H4F35C4|blinky|00C0FFEE|1|||cyclone_optimization_technique")
        << "final N removed, $ and 0x removed, trimmed";
    EXPECT_EQ(script.ReplaceMacros("  no tokens  "), "no tokens");
    EXPECT_EQ(script.ReplaceMacros(".ReplaceDeviceFamilyName"), "Arria V") << "the family's name used by the vendor";
}

} // namespace
