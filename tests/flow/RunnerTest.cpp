// The console runner: how output bytes become lines, how a command line is
// split, and real programs (shell scripts written by the tests) run, stopped,
// crashing and flooding.
#include "flow/ConsoleAppWrapper.h"
#include "tests/flow/FlowTestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

using namespace tavrel;
using namespace flowtest;

namespace {

using TEmitted = std::vector<std::pair<std::string, bool>>; // line, starts a new console line

TEmitted Split(const std::vector<std::string>& pieces)
{
    TEmitted emitted;
    TConsoleOutputSplitter splitter([&](const std::string& line, bool newLine) { emitted.emplace_back(line, newLine); });
    for (const std::string& piece : pieces) splitter.Feed(piece);
    splitter.Finish();
    return emitted;
}

TEST(ConsoleOutputTest, LinesJoinsAndLongSegments)
{
    const std::string a600(600, 'a');
    const std::string wide = std::string(512, 'b') + "\xC3\xA9" + "c"; // a 2-byte character across byte 513
    struct TCase {
        const char* What;
        std::vector<std::string> Pieces;
        TEmitted Expected;
    } cases[] = {
        {"CR LF lines, then the empty pending line",
         {"Error (10500): syntax\r\nInfo: done\r\n"},
         {{"Error (10500): syntax", true}, {"Info: done", true}, {"", true}}},
        {"LF alone ends a line too", {"one\ntwo\n"}, {{"one", true}, {"two", true}, {"", true}}},
        {"a lone CR rewrites the console line", {"10%\r20%\r\n"}, {{"10%", true}, {"20%", false}, {"", true}}},
        {"File: lines join the next line", {"File: a.vhd\r\n line 3 bad \r\n"}, {{"File: a.vhd: line 3 bad", true}, {"", true}}},
        {"file Not found lines join too", {"x.sdc file Not found\ny\n"}, {{"x.sdc file Not found: y", true}, {"", true}}},
        {"600 bytes without line end", {a600}, {{std::string(513, 'a'), true}, {std::string(87, 'a'), true}}},
        {"no character is cut in two", {wide}, {{std::string(512, 'b'), true}, {"\xC3\xA9" "c", true}}},
        {"bytes that are not UTF-8 are Latin-1", {"gr\xFCn \xC3\xBC\n"}, {{"gr\xC3\xBCn \xC3\xBC", true}, {"", true}}},
        {"pieces of any size", {"ab", "c\r", "\nd"}, {{"abc", true}, {"d", true}}},
    };
    for (const TCase& c : cases) EXPECT_EQ(Split(c.Pieces), c.Expected) << c.What;
}

TEST(ConsoleOutputTest, CommandLinesSplitLikeTheirWindowsForm)
{
    struct TCase {
        const char* Line;
        std::vector<std::string> Args;
    } cases[] = {
        {R"("/opt/my tools/q" -a "b c" d\"e)", {"/opt/my tools/q", "-a", "b c", "d\"e"}},
        {R"(  prog  ""  x  )", {"prog", "", "x"}},
        {R"(p a\b "c\\" "say ""hi""")", {"p", "a\\b", "c\\", "say \"hi\""}},
        {R"(C:\tools\quartus_map.exe --64 design)", {"C:\\tools\\quartus_map.exe", "--64", "design"}},
        {"", {}},
    };
    for (const TCase& c : cases) EXPECT_EQ(SplitCommandLine(c.Line), c.Args) << c.Line;
}

// --- Real programs ------------------------------------------------------------------------

// The runner turns the host's message loop while it waits.
class ConsoleRunnerTest : public OnHost {};

struct TRun {
    std::vector<std::string> NewLines, UpdateLines;
    std::unique_ptr<TConsoleAppWrapper> Wrapper;

    TRun(const std::string& program, const std::string& parameters, std::vector<std::string> environment = {},
         const std::string& workDir = {})
    {
        Wrapper = std::make_unique<TConsoleAppWrapper>(
            program, parameters, std::move(environment), workDir,
            [this](const std::string& line) { NewLines.push_back(line); },
            [this](const std::string& line) { UpdateLines.push_back(line); }, true, true);
    }
};

TEST_F(ConsoleRunnerTest, RunsAProgramWithItsOutputFolderAndEnvironment)
{
    TTempFolder folder;
    folder.Script("tool", "printf 'first\\r\\nsecond\\n'\n"
                          "printf '10%%\\r20%%\\r\\n'\n"
                          "echo \"args:$1|$2\"\n"
                          "echo \"cwd:$(pwd)\"\n"
                          "if read -r x; then echo \"stdin:$x\"; fi\n" // standard input is empty
                          "echo \"env:$X:${HOME:-none}\" >&2\n"
                          "exit 3\n");
    fs::create_directories(folder.Path() / "work");
    const std::string work = fs::canonical(folder.Path() / "work").string();
    const char* pathBefore = std::getenv("PATH");
    TRun run("tool", "\"a b\" c", {"PATH=" + folder.Path().string(), "X=1"}, work);
    EXPECT_EQ(run.Wrapper->Execute(60, false), 3u);
    EXPECT_EQ(run.NewLines,
              (std::vector<std::string>{"first", "second", "10%", "args:a b|c", "cwd:" + work, "env:1:none", ""}));
    EXPECT_EQ(run.UpdateLines, (std::vector<std::string>{"20%"}));
    EXPECT_STREQ(std::getenv("PATH"), pathBefore) << "the program search path is put back";
    EXPECT_FALSE(run.Wrapper->Executing());
}

TEST_F(ConsoleRunnerTest, AProgramThatCannotStartIsAnErrorNamingIt)
{
    TTempFolder folder;
    const size_t descriptors = OpenDescriptorCount();
    TRun missing("/no/such/quartus_map", "x");
    try {
        missing.Wrapper->Execute(60, false);
        FAIL() << "a missing program started";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/no/such/quartus_map"), std::string::npos) << e.what();
    }
    TRun nowhere(folder.Script("tool", "exit 0\n"), "", {}, "/no/such/folder");
    EXPECT_THROW(nowhere.Wrapper->Execute(60, false), std::runtime_error);
    TRun empty("", "design");
    EXPECT_THROW(empty.Wrapper->Execute(60, false), std::runtime_error) << "the first parameter is not a program";
    EXPECT_EQ(OpenDescriptorCount(), descriptors) << "no pipe is left open";
}

TEST_F(ConsoleRunnerTest, AbortEndsTheProgramAndWhatItStarted)
{
    TTempFolder folder;
    const std::string pids = (folder.Path() / "pids").string();
    const std::string tool = folder.Script("tool", "sleep 30 &\n"
                                                   "echo $! > '" + pids + "'\n"
                                                   "echo $$ >> '" + pids + "'\n"
                                                   "echo started\n"
                                                   "wait\n"
                                                   "echo never\n");
    TConsoleAppWrapper* wrapper = nullptr;
    std::vector<std::string> lines;
    TConsoleAppWrapper runner(
        tool, "", {}, {},
        [&](const std::string& line) {
            lines.push_back(line);
            if (line == "started") wrapper->Abort();
        },
        {}, true, true);
    wrapper = &runner;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runner.Execute(60, false), TConsoleAppWrapper::kAbortedExitCode);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(runner.Aborted());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "never"), 0);
    for (pid_t pid : ReadPids(pids)) EXPECT_TRUE(ProcessEndsWithin(pid, std::chrono::seconds(1))) << pid;
}

TEST_F(ConsoleRunnerTest, TimeoutCrashAndFlood)
{
    TTempFolder folder;
    TRun slow(folder.Script("slow", "sleep 30\n"), "");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(slow.Wrapper->Execute(1, false), TConsoleAppWrapper::kAbortedExitCode);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    TRun crash(folder.Script("crash", "echo before\nkill -SEGV $$\necho after\n"), "");
    EXPECT_EQ(crash.Wrapper->Execute(60, false), 128u + SIGSEGV);
    EXPECT_EQ(crash.Wrapper->TerminatingSignal(), SIGSEGV);
    EXPECT_EQ(crash.NewLines, (std::vector<std::string>{"before", ""}));

    constexpr int kLines = 200000;
    TRun flood(folder.Script("flood", "seq 1 " + std::to_string(kLines) + "\n"), "");
    EXPECT_EQ(flood.Wrapper->Execute(120, false), 0u);
    ASSERT_EQ(flood.NewLines.size(), static_cast<size_t>(kLines) + 1);
    EXPECT_EQ(flood.NewLines[0], "1");
    EXPECT_EQ(flood.NewLines[kLines - 1], std::to_string(kLines));
    for (int i = 0; i < kLines; ++i)
        if (flood.NewLines[static_cast<size_t>(i)] != std::to_string(i + 1)) {
            ADD_FAILURE() << "line " << i + 1 << " is " << flood.NewLines[static_cast<size_t>(i)];
            break;
        }
}

} // namespace
