// The arria5 command line run as a user runs it: exit codes, messages, JSON.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
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

} // namespace
