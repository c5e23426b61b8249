// The host stand-in as the plug-in meets it: a staged installation with the
// real plug-in, host devices holding drivers, the host's objects and modules.
#include "host/DeviceFamilies.h"
#include "host/HostAccess.h"
#include "hostsim/host/Host.h"
#include "tests/support/FakeDispatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using hostsim::TBenchConfig;
using hostsim::TBenchError;
using hostsim::THost;

namespace {

THost::TOptions StagedHost(TBenchConfig bench = TBenchConfig::Default())
{
    THost::TOptions options;
    options.Bench = std::move(bench);
    options.ApplicationFolder = ARRIA5_STAGE_DIR;
    options.ManualTime = true;
    return options;
}

TEST(HostTest, DriversOfTheBenchKnowTheirVendorAndDevice)
{
    THost host(StagedHost());
    ASSERT_EQ(host.DeviceCount(), 3);
    const auto& driver = host.Device(2).Driver();
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver.CallString(503407), "Altera") << "from the extension's TavrelConfig.ini";
    EXPECT_EQ(driver.CallString(503381).rfind("Altera Arria5 ", 0), 0u);
    EXPECT_EQ(driver.CallObject(503753).Get(), static_cast<com::IDispatch*>(&host.Device(2)));
    EXPECT_FALSE(host.Device(1).Driver()) << "the plug-in has no driver for the bypass device";
    // The host device answers description calls through its driver.
    com::TDispatchRef device(&host.Device(0));
    EXPECT_EQ(device.CallString(503380), "5AGXFB3H4F35C4N");
    EXPECT_EQ(device.CallInt(503629), 0);
    const com::TDispatchRef channel = device.CallObject(503630);
    EXPECT_TRUE(channel) << "the chain's channel";
    const com::TDispatchRef jtagDevice = channel.CallObject(503579, {2});
    EXPECT_EQ(jtagDevice.CallObject(503550).CallString(503458), "ARRIA_V_5AGTFC7H3F35")
        << "the JTAG device carries its boundary-scan entity";
    // The plug-in's own access layer finds the host's libraries and objects.
    EXPECT_EQ(hostaccess::GetWorkspace().Get(), host.Workspace());
    EXPECT_EQ(hostaccess::GetJTagPortCount(), 1);
    EXPECT_EQ(hostaccess::FindJTagPortIndex(hostaccess::GetJTagPort(0)), 0);
    EXPECT_EQ(hostaccess::GetApplicationFolder().empty(), false);
    EXPECT_EQ(hostaccess::GetVendorOfFamily("Arria5"), "Altera");
}

TEST(HostTest, TimersFireAsTimeAdvances)
{
    THost host(StagedHost());
    testsupport::TCallLog log;
    testsupport::TFakeDispatch handler("handler", &log);
    com::TDispatchRef timers(host.TimerManager());
    const int32_t id = timers.CallInt(268, {static_cast<com::IDispatch*>(&handler), 100, true});
    host.Loop().Advance(250);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].DispId, 267);
    EXPECT_EQ(std::get<int64_t>(log[0].Args[0]), id);
    timers.Call(269, {id});
    host.Loop().Advance(1000);
    EXPECT_EQ(log.size(), 2u) << "a destroyed timer stays quiet";
    // Pumping through the client runs posted work.
    bool ran = false;
    host.Loop().Post([&] { ran = true; });
    com::TDispatchRef(&host.Client()).Call(hostsim::kClient_ProcessMessages);
    EXPECT_TRUE(ran);
}

TEST(HostTest, DesignToolsAndFamiliesFromABenchFile)
{
    const fs::path folder = fs::temp_directory_path() / ("bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string text = R"({
      "chain": [ {"kind": "5agtfc7h3f35i3n"}, {"idcode": "0x12345677", "irlen": 6, "name": "CPLD"} ],
      "design": {"projects": [ {"path": "blinky/blinky.PrjFpg", "documents": ["blinky/top.vhd", "blinky/top.SDC"]} ]},
      "tools": {"Altera": {"Quartus_Cmd": "quartus/bin/quartus_cmd", "version": "13.1"}},
      "families": {"Arria5": {"ND_ActiveDisengage": "True", "ND_ProgramBitsToIgnore": 2}}
    })";
    THost host(StagedHost(TBenchConfig::Parse(text, "bench.json", folder.string())));
    EXPECT_EQ(host.DeviceCount(), 2);
    com::TDispatchRef workspace(host.Workspace());
    const auto project = workspace.CallObject(501413, {(folder / "blinky/blinky.PrjFpg").string()});
    ASSERT_TRUE(project);
    EXPECT_EQ(project.CallInt(500047), 2);
    EXPECT_EQ(project.CallObject(500039, {1}).CallString(500331), (folder / "blinky/top.SDC").string());
    EXPECT_FALSE(workspace.CallObject(501413, {std::string("/no/such.PrjFpg")}));

    com::TDispatchRef flow(host.ServerModule("FPGAFlow"));
    const auto tools = flow.CallObject(509009);
    EXPECT_EQ(tools.CallString(509004, {std::string("altera"), std::string("QUARTUS_CMD")}),
              (folder / "quartus/bin/quartus_cmd").string());
    EXPECT_EQ(tools.CallString(509005, {std::string("Altera")}), "13.1");

    com::TDispatchRef devices(&host.DeviceManager());
    const auto family = devices.CallObject(504014).CallObject(503996, {std::string("ARRIA5")});
    ASSERT_TRUE(family);
    EXPECT_TRUE(family.CallBool(503984, {std::string("ND_ActiveDisengage")}));
    EXPECT_TRUE(family.CallBool(503994, {std::string("ND_ProgramBitsToIgnore")}));
    EXPECT_EQ(family.CallInt(503985, {std::string("ND_ProgramBitsToIgnore")}), 2);
    EXPECT_FALSE(family.CallBool(503994, {std::string("NameUsedByVendor")}));
    EXPECT_FALSE(devices.CallObject(504014).CallObject(503996, {std::string("Cyclone9")}));
    fs::remove_all(folder);
}

TEST(HostTest, BenchFileErrorsNameTheirPlace)
{
    struct TCase {
        const char* Text;
        const char* Expected;
    } cases[] = {
        {"{\n  \"chain\": [ {\"kind\": \"5AGX\"} ]\n}", "bench.json: chain[0]: unknown Arria V kind '5AGX'"},
        {"{\n  \"chain\": [\n    {\"kind\": 0},\n  ]\n}", "bench.json:4:3"},
        {"[1, 2]", "bench.json: a bench file holds one JSON object"},
        {"{\"chain\": [{\"idcode\": \"0xZZ\"}]}", "\"idcode\" must be a number"},
        {"{\"chain\": [{\"idcode\": 1, \"irlen\": 99}]}", "\"irlen\" must be between 2 and 32"},
        {"{\"chain\": 5}", "bench.json: "},
        {"\x01\x02", "bench.json:1:1"},
    };
    for (const TCase& c : cases) {
        try {
            TBenchConfig::Parse(c.Text, "bench.json", "/tmp");
            ADD_FAILURE() << "accepted: " << c.Text;
        } catch (const TBenchError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Expected), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(TBenchConfig::Load("/no/such/bench.json"), TBenchError);
}

TEST(HostTest, MessagesAndStatusReachTheirPanels)
{
    THost host(StagedHost());
    com::TDispatchRef messages(com::TDispatchRef(host.Workspace()).CallObject(508377));
    messages.Call(440, {std::string("Class=ProcessFlowError|Text=Error (10500): syntax|Source=Quartus_Map|Document=top.vhd|"
                                    "CallBackProcess=|ImageIndex=3"),
                        std::string("ShowInOutput=4")});
    ASSERT_EQ(host.WorkspaceObject().Messages->Messages.size(), 1u);
    const auto& message = host.WorkspaceObject().Messages->Messages[0];
    EXPECT_EQ(message.Class, "ProcessFlowError");
    EXPECT_EQ(message.Text, "Error (10500): syntax");
    EXPECT_EQ(message.ImageIndex, 3);
    com::TDispatchRef(host.GUIManager()).Call(164, {int32_t{2}, std::string("Mapping")});
    EXPECT_EQ(host.GUI().Panels[2], "Mapping");
}

} // namespace
