// The arria5 command line run as a user runs it: exit codes, messages, JSON.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <string>

namespace {

struct TRun {
    int ExitCode;
    std::string Output; // stdout and stderr together
};

TRun RunCli(const std::string& arguments)
{
    const std::string command = std::string(ARRIA5_CLI_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, {}};
    std::string output;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

struct TCliCase {
    const char* Arguments;
    int ExitCode;
    const char* Expected;
};

TEST(CliTest, CommandsAndErrors)
{
    const TCliCase cases[] = {
        {"kinds", 0, "  324  5ASXMB5G6F40C6N    0x02D030DD"},
        {"info 0", 0, "5AGTFC7H3F35I3N (kind 0)"},
        {"info 5agtfc7h3f35i3n", 0, "BSDLFilename                 5AGTFC7H3F35.bsd"},
        {"info 72", 0, "IdCode                       0x02A030DD"},
        {"info 0 --pins", 0, "R27"},
        {"info 0 --iostandards", 0, "LVCMOS 3.3V"},
        {"info 325", 2, "device kind index 325 is out of range (0..324)"},
        {"info -1", 2, "device kind index -1 is out of range"},
        {"info 5AGXXX", 2, "unknown device kind '5AGXXX'"},
        {"info", 2, "KIND is required"},
        {"info 0 --bogus", 2, "--bogus"},
        {"frobnicate", 2, "A subcommand is required"},
        {"--plugin /nonexistent/lib.so kinds", 1, "cannot load plug-in '/nonexistent/lib.so'"},
        {"--help", 0, "kinds"},
        {"chain", 0, "  1  0x4BA00477  -     ARM debug access port (none)"},
        {"info 0", 0, "DeviceDescription            Altera Arria5 5AGTFC7H3F35I3N"},
        {"--bench /no/such/bench.json chain", 1, "/no/such/bench.json: cannot open the bench file"},
        {"state", 0, "Device 0: not configured"},
        {"usercode --device 2 --json", 0, "\"UserCode\": \"0xFFFFFFFF\""},
        {"reset --device 2", 0, "Device 2: configuration cleared"},
        {"reset --device 1", 2, "the device at position 1 has no Arria V driver"},
        {"state --device 9", 2, "--device 9 is not on the chain (positions 0..2)"},
        {"program /no/such/file.rbf", 1, "cannot open '/no/such/file.rbf': no such file"},
        {"make-rbf /tmp/x.rbf --usercode banana", 2, "--usercode 'banana' is not a number"},
    };
    for (const TCliCase& c : cases) {
        const TRun run = RunCli(c.Arguments);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Arguments << "\n" << run.Output;
        EXPECT_NE(run.Output.find(c.Expected), std::string::npos) << c.Arguments << "\n" << run.Output;
    }
}

TEST(CliTest, JsonIsMachineReadable)
{
    const TRun kinds = RunCli("kinds --json");
    ASSERT_EQ(kinds.ExitCode, 0);
    const auto list = nlohmann::json::parse(kinds.Output);
    ASSERT_EQ(list.size(), 325u);
    EXPECT_EQ(list[0]["DeviceName"], "5AGTFC7H3F35I3N");
    EXPECT_EQ(list[0]["IdCode"], "0x02A020DD");

    const TRun info = RunCli("info 0 --pins --iostandards --json");
    ASSERT_EQ(info.ExitCode, 0);
    const auto report = nlohmann::json::parse(info.Output);
    EXPECT_EQ(report["Info"]["DevicePinCount"], 1157);
    EXPECT_EQ(report["Pins"].size(), 1157u);
    EXPECT_EQ(report["Pins"][3]["PinNumber"], "R27");
    EXPECT_EQ(report["Pins"][3]["Flags"], (nlohmann::json{"IO", "CLK", "ClkDiffN"}));
    EXPECT_EQ(report["IOStandards"].size(), 61u);
    EXPECT_EQ(report["IOStandards"][5]["DriveStrengths"], (nlohmann::json{"2mA"}));
}

// A served simulated chain read back through the CLI's own remote_bitbang client.
TEST(CliTest, RemoteBitbangRoundTrip)
{
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {ARRIA5_CLI_PATH, "serve-rbb", "--seconds", "30", nullptr};
    pid_t server = 0;
    ASSERT_EQ(posix_spawn(&server, ARRIA5_CLI_PATH, &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string banner;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') banner.push_back(c);
    const size_t colon = banner.rfind(':');
    ASSERT_NE(colon, std::string::npos) << banner;
    const std::string port = banner.substr(colon + 1, banner.find(' ', colon) - colon - 1);

    const TRun local = RunCli("chain --json");
    const TRun remote = RunCli("--rbb 127.0.0.1:" + port + " chain --json");
    kill(server, SIGTERM);
    int status = 0;
    waitpid(server, &status, 0);
    close(out[0]);
    ASSERT_EQ(local.ExitCode, 0) << local.Output;
    ASSERT_EQ(remote.ExitCode, 0) << remote.Output;
    const auto localChain = nlohmann::json::parse(local.Output);
    const auto remoteChain = nlohmann::json::parse(remote.Output);
    EXPECT_EQ(localChain, remoteChain);
    EXPECT_EQ(remoteChain[0]["IdCode"], "0x02A030DD");
    EXPECT_EQ(remoteChain[1]["IdCode"], "0x4BA00477");
    EXPECT_EQ(remoteChain[2]["IdCode"], "0x02A020DD");
    EXPECT_EQ(RunCli("--rbb 127.0.0.1:1 chain").ExitCode, 1) << "nothing listens there";
    EXPECT_EQ(RunCli("--rbb nonsense chain").ExitCode, 1);
}

TEST(CliTest, ProgrammingRefusedStreamFailsAndEmptyChainIsReported)
{
    const std::string file = "/tmp/cli-truncated-" + std::to_string(getpid()) + ".rbf";
    ASSERT_EQ(RunCli("make-rbf " + file + " --device 2 --truncate").ExitCode, 0);
    const TRun refused = RunCli("program " + file + " --device 2");
    EXPECT_EQ(refused.ExitCode, 1) << refused.Output;
    EXPECT_NE(refused.Output.find("stays unconfigured"), std::string::npos) << refused.Output;
    std::remove(file.c_str());

    const std::string bench = "/tmp/cli-empty-bench-" + std::to_string(getpid()) + ".json";
    FILE* out = std::fopen(bench.c_str(), "w");
    std::fputs("{\"chain\": []}", out);
    std::fclose(out);
    const TRun empty = RunCli("--bench " + bench + " state");
    EXPECT_EQ(empty.ExitCode, 1);
    EXPECT_NE(empty.Output.find("the JTAG chain is empty"), std::string::npos) << empty.Output;
    std::remove(bench.c_str());
}

TEST(CliTest, BoundaryScanDescriptions)
{
    const std::string stage = std::string(ARRIA5_CLI_PATH).substr(0, std::string(ARRIA5_CLI_PATH).rfind("/bin/"));
    const std::string staged = stage + "/Extensions/Arria5/Library/BSDL/Altera/Arria5/5AGTFC7H3F35.bsd";
    const std::string broken = "/tmp/cli-broken-" + std::to_string(getpid()) + ".bsd";
    FILE* out = std::fopen(broken.c_str(), "w");
    std::fputs("entity X is\n  port (a : in bit\nend X;\n", out);
    std::fclose(out);
    const struct {
        std::string Arguments;
        int ExitCode;
        std::string Expected;
    } cases[] = {
        {"bsdl 0", 0, "ARRIA_V_5AGTFC7H3F35 (5AGTFC7H3F35.bsd)"},
        {"bsdl 5agtfc7h3f35i3n", 0, "  BoundaryLength         1680"},
        {"bsdl 324", 0, "   2468  BC_4   *            Internal  X"},
        {"bsdl 0", 0, "  IOCSR[193579]         0  CONFIG_IO"},
        {"bsdl 325", 2, "device kind index 325 is out of range"},
        {"bsdl-read " + staged, 0, "  Ports                  703"},
        {"bsdl-read " + broken, 1, broken + ":3:1: Expected ) at Line: 3 Offset: 1"},
        {"bsdl-read /no/such.bsd", 1, "/no/such.bsd: cannot open the file"},
    };
    for (const auto& c : cases) {
        const TRun run = RunCli(c.Arguments);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Arguments << "\n" << run.Output.substr(0, 2000);
        EXPECT_NE(run.Output.find(c.Expected), std::string::npos) << c.Arguments << "\n" << run.Output.substr(0, 2000);
    }
    std::remove(broken.c_str());

    // The stored entity and the reader's view of the generated file agree on the register.
    const auto stored = nlohmann::json::parse(RunCli("bsdl 0 --json").Output);
    const auto read = nlohmann::json::parse(RunCli("bsdl-read " + staged + " --json").Output);
    EXPECT_EQ(stored["Pins"].size(), 1152u);
    EXPECT_EQ(stored["TapPins"]["TRST"], nullptr);
    ASSERT_EQ(read["Cells"].size(), stored["Cells"].size());
    for (size_t i = 0; i < stored["Cells"].size(); ++i) {
        auto cell = stored["Cells"][i];
        cell["Pin"] = nullptr; // the reader's entity has no scan pins
        ASSERT_EQ(read["Cells"][i], cell) << i;
    }
}

// The example design built with the Quartus stand-ins, in a folder of its own.
class CliBuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        namespace fs = std::filesystem;
        Folder = fs::temp_directory_path() / ("cli-build-" + std::to_string(getpid()));
        fs::remove_all(Folder);
        const fs::path example = fs::path(ARRIA5_STAGE_DIR) / "Examples" / "blinky";
        fs::create_directories(Folder);
        std::ifstream in(example / "bench.json");
        nlohmann::json bench = nlohmann::json::parse(in);
        // Only the design's sources: the staged example may hold outputs of earlier runs.
        for (const auto& document : bench["design"]["projects"][0]["documents"])
            fs::copy_file(example / document.get<std::string>(), Folder / document.get<std::string>());
        for (auto& [tool, path] : bench["tools"]["Altera"].items())
            if (tool != "version") path = (example / path.get<std::string>()).lexically_normal().string();
        std::ofstream(Folder / "bench.json") << bench.dump(2);
        Bench = (Folder / "bench.json").string();
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    nlohmann::json Build(const std::string& extra = {}, int expectedExit = 0)
    {
        const TRun run = RunCli("build " + Bench + " --json " + extra);
        EXPECT_EQ(run.ExitCode, expectedExit) << run.Output;
        return nlohmann::json::parse(run.Output.substr(run.Output.find('{')));
    }

    std::filesystem::path Folder;
    std::string Bench;
};

TEST_F(CliBuildTest, BuildSkipsWhatIsUpToDateAndDownloads)
{
    const auto first = Build();
    EXPECT_EQ(first["Result"], "succeeded");
    EXPECT_EQ(first["StagesRun"], (nlohmann::json{"Build", "Translate Design", "Map Design", "Place and Route",
                                                   "Timing Analysis", "Make BIT File"}));
    bool resources = false, pllClock = false;
    for (const auto& item : first["Summary"]) {
        resources |= item["Section"] == "Device Resources - Usage Summary" &&
                     item["Item"].get<std::string>().find("Total logic elements") != std::string::npos;
        pllClock |= item["Section"] == "Design Statistics - Timing Summary" &&
                    item["Item"].get<std::string>().find("pll1|clk[0]") != std::string::npos;
    }
    EXPECT_TRUE(resources) << first["Summary"].dump(1);
    EXPECT_TRUE(pllClock) << "a PLL clock keeps its hierarchical name: " << first["Summary"].dump(1);

    const auto second = Build();
    EXPECT_EQ(second["Result"], "succeeded");
    EXPECT_TRUE(second["StagesRun"].empty()) << second["StagesRun"].dump();

    // A newer fitter input reruns the fitter and what follows it, nothing before.
    const auto later = std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5);
    std::filesystem::last_write_time(Folder / "blinky.MAP.RPT", later);
    const auto third = Build();
    EXPECT_EQ(third["StagesRun"], (nlohmann::json{"Build", "Place and Route", "Timing Analysis", "Make BIT File"}));

    const TRun download = RunCli("download " + Bench);
    EXPECT_EQ(download.ExitCode, 0) << download.Output;
    EXPECT_NE(download.Output.find("Downloading via JTAG Completed in"), std::string::npos) << download.Output;
}

TEST_F(CliBuildTest, AToolErrorStopsTheBuildAtItsStep)
{
    std::ofstream(Folder / "blinky.vhd", std::ios::app) << "\n-- QUARTUS_STANDIN: error 10500\n";
    const auto result = Build("", 1);
    EXPECT_EQ(result["Result"], "failed");
    EXPECT_EQ(result["StagesRun"].back(), "Map Design") << "nothing runs after the failing step";
    bool reported = false;
    for (const auto& message : result["Messages"])
        reported |= message["Class"] == "ProcessFlowError" &&
                    message["Text"].get<std::string>().find("Error (10500)") != std::string::npos;
    EXPECT_TRUE(reported) << result["Messages"].dump(1);
    EXPECT_EQ(RunCli("build " + Bench + " --step \"No Such Step\"").ExitCode, 2);
}

} // namespace
