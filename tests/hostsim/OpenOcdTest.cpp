// Interoperability with an independent JTAG tool: OpenOCD scans the simulated
// chain through our remote_bitbang server. OpenOCD lists the TAPs of a chain
// starting with the one nearest TDO, so our position 2 is declared first.
#include "BenchSupport.h"

#include "hostsim/rbb/RemoteBitbangServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace benchtest;

constexpr const char* kOpenOcd = "/usr/bin/openocd";
constexpr std::chrono::seconds kOpenOcdTimeout{30};

struct TRun {
    bool TimedOut = false;
    int ExitCode = -1;
    std::string Output;
};

// Runs a program with stdout and stderr in one file; kills it when it overruns.
TRun RunBounded(const std::vector<std::string>& arguments, std::chrono::seconds timeout)
{
    const std::filesystem::path log =
        std::filesystem::temp_directory_path() / ("hostsim_openocd_" + std::to_string(::getpid()) + ".log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    TRun run;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.Output = "spawn failed: " + std::to_string(spawned);
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            run.TimedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{20});
    }
    if (!run.TimedOut && WIFEXITED(status)) run.ExitCode = WEXITSTATUS(status);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    run.Output = text.str();
    std::filesystem::remove(log);
    return run;
}

std::string Hex8(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
}

// Tap of position p: "p2.tap" for position 2 and so on.
std::string TapName(int32_t p)
{
    std::string name = "p";
    name += std::to_string(p);
    name += ".tap";
    return name;
}

// Tap names: "p2" for position 2 and so on. `declared` gives the positions in
// the order they are declared to OpenOCD.
std::vector<std::string> OpenOcdCommandLine(uint16_t port, const TThreeDeviceChain& bench,
                                            const std::vector<int32_t>& declared)
{
    std::vector<std::string> args = {kOpenOcd,
                                     "-c", "adapter driver remote_bitbang",
                                     "-c", "remote_bitbang host 127.0.0.1",
                                     "-c", "remote_bitbang port " + std::to_string(port),
                                     "-c", "transport select jtag",
                                     "-c", "gdb_port disabled",
                                     "-c", "telnet_port disabled",
                                     "-c", "tcl_port disabled"};
    for (int32_t p : declared) {
        args.push_back("-c");
        args.push_back("jtag newtap p" + std::to_string(p) + " tap -irlen " +
                       std::to_string(bench.Chain.Device(p).IrLength()) + " -expected-id 0x" + Hex8(bench.IdCodeAt(p)));
    }
    args.insert(args.end(), {"-c", "init", "-c", "scan_chain"});
    for (int32_t p : declared) {
        const std::string tap = TapName(p);
        args.insert(args.end(), {"-c", "irscan " + tap + " " + std::to_string(bench.IdCodeInstructionAt(p)), "-c",
                                 "echo \"DR " + tap + " [drscan " + tap + " 32 0]\""});
    }
    args.insert(args.end(), {"-c", "shutdown"});
    return args;
}

class OpenOcdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::access(kOpenOcd, X_OK) != 0) GTEST_SKIP() << kOpenOcd << " is not installed";
        Server.Start();
    }
    TThreeDeviceChain Bench;
    hostsim::rbb::TRemoteBitbangServer Server{Bench.Chain, {0, std::chrono::seconds{60}, std::chrono::seconds{5}}};
};

TEST_F(OpenOcdTest, ScansTheSimulatedChainNearestTdoFirst)
{
    const TRun run = RunBounded(OpenOcdCommandLine(Server.Port(), Bench, {2, 1, 0}), kOpenOcdTimeout);
    ASSERT_FALSE(run.TimedOut) << run.Output;
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(run.Output.find("UNEXPECTED"), std::string::npos) << run.Output;
    size_t previous = 0;
    for (int32_t p : {2, 1, 0}) {
        const std::string tap = TapName(p);
        // Found during the chain examination, in TDO-first order ...
        const size_t found = run.Output.find("JTAG tap: " + tap + " tap/device found: 0x" + Hex8(Bench.IdCodeAt(p)));
        EXPECT_NE(found, std::string::npos) << tap << "\n" << run.Output;
        EXPECT_GE(found, previous) << tap;
        previous = found == std::string::npos ? previous : found;
        // ... and read again with an IDCODE instruction and a 32-bit data scan.
        EXPECT_NE(run.Output.find("DR " + tap + " " + Hex8(Bench.IdCodeAt(p))), std::string::npos)
            << tap << "\n" << run.Output;
    }
    Server.Stop();
    EXPECT_GE(Server.Stats().Clients, 1u);
    EXPECT_EQ(Server.LastError(), "");
}

TEST_F(OpenOcdTest, DeclaringTheChainTdiFirstIsRefused)
{
    // The control case: the same taps in our position order do not match what OpenOCD reads.
    const TRun run = RunBounded(OpenOcdCommandLine(Server.Port(), Bench, {0, 1, 2}), kOpenOcdTimeout);
    ASSERT_FALSE(run.TimedOut) << run.Output;
    EXPECT_NE(run.Output.find("UNEXPECTED"), std::string::npos) << run.Output;
}

} // namespace
