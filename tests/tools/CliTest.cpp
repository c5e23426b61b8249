// The arria5 command line run as a user runs it: exit codes, messages, JSON.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

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

} // namespace
