// Speed of the flow's console runner and of option-script generation.
//
//   BM_PlainCat            the same tool output read raw from `cat` (the floor)
//   BM_RunnerClassify      the runner: lines split, handed on and classified
//   BM_VendorStepOnHost    a whole vendor tool step on the host stand-in: every
//                          line to the output panel, messages for the classified ones
//   BM_OptionFileLoad      reading a large default option file
//   BM_OptionScript        command-line and command-file texts of that file
#include "flow/ConsoleAppWrapper.h"
#include "flow/VendorProcess.h"
#include "hostsim/host/Host.h"
#include "options/FPGAOptions.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace tavrel;

namespace {

constexpr int kLines = 100000;

const fs::path& Scratch()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("bench-flow-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

// Tool output in the vendor's style: a mix of info, warning, error and plain lines.
const std::string& ToolOutputFile()
{
    static const std::string file = [] {
        const std::string path = (Scratch() / "tool-output.txt").string();
        std::ofstream out(path, std::ios::binary);
        const char* samples[] = {
            "Info: Elaborating entity \"counter\" for hierarchy \"top|counter:u1\"",
            "Warning (10036): Verilog HDL or VHDL warning at top.vhd(12): object \"x\" assigned a value but never read",
            "Info (12021): Found 2 design units, including 1 entities, in source file top.vhd",
            "    ; Total logic elements                  ; 1,234 / 190,240 ( < 1 % )                     ;",
            "Critical Warning (332012): Synopsys Design Constraints File file not found: 'top.sdc'",
            "Error (10500): VHDL syntax error at top.vhd(3) near text \"begin\"",
        };
        for (int i = 0; i < kLines; ++i) out << samples[i % 6] << '\n';
        return path;
    }();
    return file;
}

size_t FileSize(const std::string& path) { return static_cast<size_t>(fs::file_size(path)); }

void BM_PlainCat(benchmark::State& state)
{
    const std::string& file = ToolOutputFile();
    for (auto _ : state) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) state.SkipWithError("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        const char* argv[] = {"cat", file.c_str(), nullptr};
        pid_t pid = 0;
        posix_spawnp(&pid, "cat", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        char block[65536];
        size_t lines = 0;
        for (ssize_t got; (got = ::read(fds[0], block, sizeof block)) > 0;)
            for (ssize_t i = 0; i < got; ++i) lines += block[i] == '\n';
        ::close(fds[0]);
        ::waitpid(pid, nullptr, 0);
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(file)));
}
BENCHMARK(BM_PlainCat)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RunnerClassify(benchmark::State& state)
{
    const std::string& file = ToolOutputFile();
    const std::vector<std::string> ignore = {"TOTAL LOGIC ELEMENTS", "SOMETHING ELSE"};
    for (auto _ : state) {
        int counts[4] = {};
        TConsoleAppWrapper runner(
            "cat", "\"" + file + "\"", {}, {},
            [&](const std::string& line) {
                const std::string upper = UpperText(line);
                for (const std::string& entry : ignore)
                    if (upper.find(entry) != std::string::npos) return;
                const std::string trimmed = TrimText(upper);
                if (trimmed.starts_with("ERROR")) ++counts[3];
                else if (trimmed.starts_with("WARNING") || trimmed.starts_with("CRITICAL WARNING")) ++counts[2];
                else if (trimmed.starts_with("INFO")) ++counts[1];
                else ++counts[0];
            },
            {}, true, true);
        runner.Execute(600, false);
        benchmark::DoNotOptimize(counts);
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(file)));
}
BENCHMARK(BM_RunnerClassify)->Unit(benchmark::kMillisecond)->UseRealTime();

class TCatStep : public TFlowStage_VendorProcess {
public:
    explicit TCatStep(const std::string& tool)
        : TFlowStage_VendorProcess(".vhd", ".MAP.RPT", "", "Map Design", "&Map", "Map", "Quartus_Map", tool, nullptr)
    {
        LinesToIgnore = {"Total logic elements"};
    }
    std::string CommandLineParameters() override { return "\"" + ToolOutputFile() + "\""; }
};

hostsim::THost& Host()
{
    static hostsim::THost host([] {
        hostsim::THost::TOptions options;
        options.ApplicationFolder = ARRIA5_STAGE_DIR;
        options.ManualTime = true;
        options.PluginPath = std::string("-");
        return options;
    }());
    return host;
}

void BM_VendorStepOnHost(benchmark::State& state)
{
    hostsim::THost& host = Host();
    auto* step = new TCatStep("cat");
    const THostObject keep(step->AsDispatch());
    step->SetBasePath((Scratch() / "design.vhd").string());
    for (auto _ : state) {
        step->Run(nullptr);
        state.PauseTiming();
        host.WorkspaceObject().Output.clear();
        host.WorkspaceObject().Messages->Messages.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_VendorStepOnHost)->Unit(benchmark::kMillisecond)->UseRealTime();

// A default option file with `count` options of every kind, with items, filters and macros.
std::string LargeOptionFile(int count)
{
    const std::string path = (Scratch() / ("options-" + std::to_string(count) + ".xml")).string();
    std::ofstream out(path, std::ios::binary);
    out << "<options>\n<script pos=\"head\">quartus_sh -t $o0.Value</script>\n"
        << "<command pos=\"head\">project_open $o1.4Value # the project</command>\n"
        << "<command pos=\"tail\">project_close</command>\n<comment>#</comment>\n"
        << "<command_filename>build.tcl</command_filename>\n<section Id=\"All\">\n";
    for (int i = 0; i < count; ++i) {
        out << "<option id=\"Option" << i << "\">";
        switch (i % 4) {
        case 0: out << "<kind>boolean</kind><default_value>True</default_value>"; break;
        case 1: out << "<kind>integer</kind><default_value>" << i << "</default_value>"; break;
        case 2: out << "<kind>enum</kind><values>Off,Auto,On</values><default_value>Auto</default_value>"; break;
        case 3: out << "<kind>string</kind><default_value>text " << i << "</default_value>"; break;
        }
        out << "<flag>o" << i << "</flag>";
        if (i % 3 == 0) out << "<device_family>!Cyclone</device_family><tool_version>!9.0</tool_version>";
        out << "<script_default id=\"\">--o" << i << "=$o" << i << ".Value</script_default>"
            << "<command_default id=\"\">set_global_assignment -name O" << i << " $o" << i << ".Value # note</command_default>"
            << "</option>\n";
    }
    out << "</section>\n</options>\n";
    return path;
}

void BM_OptionFileLoad(benchmark::State& state)
{
    const std::string file = LargeOptionFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TFPGAOptions options("5AGXFB3H4F35C4N", "13.1");
        options.LoadOptions(file);
        benchmark::DoNotOptimize(options.GetOptionCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OptionFileLoad)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_OptionScript(benchmark::State& state)
{
    TFPGAOptions options("5AGXFB3H4F35C4N", "13.1");
    options.LoadOptions(LargeOptionFile(static_cast<int>(state.range(0))));
    for (int i = 0; i < options.GetOptionCount(); i += 2) options.GetOptionAt(i)->WasLoaded = true;
    TStringList commandFile, commandLine;
    for (auto _ : state) {
        options.GetLines(true, commandFile, "5AGXFB3H4F35C4N", "13.1");
        options.GetLines(false, commandLine, "5AGXFB3H4F35C4N", "13.1");
        benchmark::DoNotOptimize(commandFile.size() + commandLine.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_OptionScript)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(Scratch(), ec);
    return 0;
}
