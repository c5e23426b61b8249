// The build flow and the download step as a host runs them: the driver's flows
// on the bench's design, messages printed as they come, summaries at the end.
#include "hostsim/host/FlowRunner.h"
#include "tools/arria5/CliContext.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <iostream>

namespace arria5cli {

namespace {

namespace fs = std::filesystem;

constexpr int32_t kDriver_FlowStageBuild = 503790;
constexpr int32_t kDriver_FlowStageDownload = 503791;
constexpr int32_t kFlow_StageName = 503705;
constexpr int32_t kFlow_StageCaption = 503706;
constexpr int32_t kFlow_Run = 503712;
constexpr int32_t kFlow_RunIfOutOfDate = 503713;
constexpr int32_t kFlow_RunAll = 503714;
constexpr int32_t kFlow_UpdateFlowState = 503717;
constexpr int32_t kFlow_FlowState = 503718;
constexpr int32_t kFlow_ProjectChanged = 503723;
constexpr int32_t kFlow_SetBasePath = 503724;
constexpr int32_t kFlow_GetChildCount = 503732;
constexpr int32_t kFlow_GetChild = 503733;

struct TBuildOptions {
    std::string Design;
    std::string Step;
    bool Force = false;
    bool All = false;
    bool Json = false;
    bool Verbose = false;
    int Device = -1;
};

const char* ResultName(int32_t result)
{
    switch (result) {
    case 0: return "did not run";
    case 1: return "cancelled";
    case 2: return "failed";
    case 3: return "succeeded";
    default: return "unknown";
    }
}

const char* StateName(int32_t state)
{
    switch (state) {
    case 0: return "up to date";
    case 1: return "out of date";
    case 2: return "missing";
    default: return "none";
    }
}

// The project the command works on: a bench file names the design, a project
// path picks one of the bench's projects; default: the bench's first project.
const hostsim::TBenchProject& ChooseProject(TCliContext& context, TBuildOptions& options)
{
    if (!options.Design.empty() && fs::path(options.Design).extension() == ".json") {
        if (!context.BenchFile.empty() && context.BenchFile != options.Design)
            throw TUsageError("give the design either as DESIGN or with --bench, not both");
        context.BenchFile = options.Design;
        options.Design.clear();
    }
    hostsim::THost& host = context.Host();
    const auto& projects = host.Config().Projects;
    if (projects.empty())
        throw TUsageError("the bench has no design: give a bench file with a \"design\" (see examples/blinky/bench.json)");
    if (options.Design.empty()) return projects.front();
    std::error_code ec;
    const fs::path wanted = fs::absolute(options.Design, ec).lexically_normal();
    for (const auto& project : projects)
        if (fs::path(project.Path).lexically_normal() == wanted) return project;
    throw TUsageError(fmt::format("'{}' is not a project of the bench {}", options.Design, host.Config().Source));
}

hostsim::TTavrelDevice& ChooseDriverDevice(hostsim::THost& host, int position)
{
    for (int32_t p = 0; p < host.DeviceCount(); ++p)
        if ((position < 0 || p == position) && host.Device(p).Driver()) return host.Device(p);
    if (position >= 0) throw TUsageError(fmt::format("the device at position {} has no Arria V driver", position));
    throw std::runtime_error("no device on the chain has an Arria V driver");
}

// Prints what the host receives while a flow runs, and keeps it for --json.
class TRunReport {
public:
    TRunReport(hostsim::THost& host, hostsim::TFlowRunner& runner, const TBuildOptions& options)
        : FHost(host), FRunner(runner), FOptions(options)
    {
        auto& messages = *host.WorkspaceObject().Messages;
        messages.OnMessage = [this](const hostsim::THostMessage& message) {
            Messages.push_back({{"Class", message.Class}, {"Text", message.Text}, {"Source", message.Source},
                                {"Document", message.Document}, {"CallBackParameters", message.CallBackParameters}});
            // The tools' own information lines only with --verbose; the flow's status lines always.
            const bool quiet = message.Class == "ProcessFlowInfo" && !message.Source.empty() && !FOptions.Verbose;
            if (!FOptions.Json && !quiet && !message.Text.empty())
                std::cout << fmt::format("  {}: {}\n", Short(message.Class), message.Text);
        };
        host.WorkspaceObject().OnOutput = [this](const std::string& line) {
            if (FOptions.Verbose && !FOptions.Json) std::cout << "    | " << line << '\n';
        };
        runner.OnStageStarting = [this](const std::string& stage) {
            if (!FOptions.Json) std::cout << fmt::format("== {}\n", stage);
        };
    }
    ~TRunReport()
    {
        FHost.WorkspaceObject().Messages->OnMessage = nullptr;
        FHost.WorkspaceObject().OnOutput = nullptr;
        FRunner.OnStageStarting = nullptr;
    }

    nlohmann::ordered_json Messages = nlohmann::ordered_json::array();

private:
    static std::string Short(const std::string& messageClass)
    {
        if (messageClass == "ProcessFlowError") return "Error";
        if (messageClass == "ProcessFlowWarning") return "Warning";
        if (messageClass == "ProcessFlowInfo") return "Info";
        if (messageClass == "ProcessFlowProgress") return "Progress";
        return messageClass;
    }
    hostsim::THost& FHost;
    hostsim::TFlowRunner& FRunner;
    const TBuildOptions& FOptions;
};

com::TDispatchRef FindStep(const com::TDispatchRef& group, const std::string& name)
{
    std::string known;
    for (int32_t i = 0, n = group.CallInt(kFlow_GetChildCount); i < n; ++i) {
        com::TDispatchRef child = group.CallObject(kFlow_GetChild, {i});
        const std::string stage = child.CallString(kFlow_StageName);
        std::string caption = child.CallString(kFlow_StageCaption);
        std::erase(caption, '&');
        if (SameTextAscii(stage, name) || SameTextAscii(caption, name)) return child;
        known += (known.empty() ? "" : ", ") + ("\"" + stage + "\"");
    }
    throw TUsageError(fmt::format("the build has no step '{}' (steps: {})", name, known));
}

int RunFlow(TCliContext& context, TBuildOptions& options, bool download)
{
    const hostsim::TBenchProject& project = ChooseProject(context, options);
    hostsim::THost& host = context.Host();
    hostsim::TTavrelDevice& device = ChooseDriverDevice(host, options.Device);
    const com::TDispatchRef& driver = device.Driver();
    const std::string basePath = (fs::path(project.Path).parent_path() / fs::path(project.Path).stem()).string() + ".edf";

    com::TDispatchRef flow = driver.CallObject(download ? kDriver_FlowStageDownload : kDriver_FlowStageBuild);
    if (!flow) throw std::runtime_error("the driver offers no flow");
    flow.Call(kFlow_SetBasePath, {basePath});
    flow.Call(kFlow_ProjectChanged, {project.Path});
    com::TDispatchRef target = options.Step.empty() ? flow : FindStep(flow, options.Step);
    // The host refreshes the states from the files before it runs anything.
    flow.CallBool(kFlow_UpdateFlowState);

    auto runner = hostsim::MakeHostObject<hostsim::TFlowRunner>();
    int32_t result = 0;
    nlohmann::ordered_json messages;
    {
        TRunReport report(host, *runner, options);
        if (!options.Json)
            std::cout << fmt::format("Flow \"{}\" for device {} ({}), design {}\n", target.CallString(kFlow_StageName),
                                     device.Position(), driver.CallString(503380), project.Path);
        const int32_t operation = options.All ? kFlow_RunAll : options.Force || download ? kFlow_Run : kFlow_RunIfOutOfDate;
        result = target.CallInt(operation, {static_cast<com::IDispatch*>(runner.Get())});
        messages = report.Messages;
    }
    flow.CallBool(kFlow_UpdateFlowState);
    const int32_t state = target.CallInt(kFlow_FlowState);

    if (options.Json) {
        nlohmann::ordered_json out;
        out["Flow"] = target.CallString(kFlow_StageName);
        out["Result"] = ResultName(result);
        out["State"] = StateName(state);
        out["StagesRun"] = runner->StartedStages;
        out["Messages"] = messages;
        nlohmann::ordered_json summary = nlohmann::ordered_json::array();
        for (const auto& item : runner->Summary)
            summary.push_back({{"Section", item.Section}, {"Item", item.Item}, {"ReportFile", item.ReportFile}, {"Value", item.Value}});
        out["Summary"] = summary;
        std::cout << out.dump(2) << '\n';
    } else {
        std::string section;
        for (const auto& item : runner->Summary) {
            if (item.Section != section) std::cout << '\n' << (section = item.Section) << '\n';
            std::cout << fmt::format("  {:<48} {}\n", item.Item, item.Value);
        }
        if (runner->StartedStages.empty() && result == 3) std::cout << "Every step is up to date; nothing ran.\n";
        std::cout << fmt::format("\n{} {} ({})\n", target.CallString(kFlow_StageName), ResultName(result), StateName(state));
    }
    return result == 3 ? 0 : kExitFailure;
}

} // namespace

void RegisterBuildCommands(CLI::App& app, TCliContext& context)
{
    auto options = std::make_shared<TBuildOptions>();
    auto* build = app.add_subcommand("build", "Run the Quartus build flow on a design: skips what is up to date");
    build->add_option("DESIGN", options->Design,
                      "A bench file with a design (e.g. examples/blinky/bench.json) or a project of the bench");
    build->add_flag("--force", options->Force, "Run the flow (or --step) even when it is up to date");
    build->add_flag("--all", options->All, "Run every step again, dependencies included");
    build->add_option("--step", options->Step, "Run one step by name, e.g. \"Place and Route\"");
    build->add_option("--device", options->Device, "Chain position of the device whose driver builds (default: the first)");
    build->add_flag("--verbose", options->Verbose, "Also print the tools' information messages and every line they print");
    build->add_flag("--json", options->Json, "Print the result, every message and every summary item as JSON");
    build->callback([&context, options] { context.ExitCode = RunFlow(context, *options, false); });

    auto download = std::make_shared<TBuildOptions>();
    auto* load = app.add_subcommand("download", "Program the device with the design's raw bit file (the download step)");
    load->add_option("DESIGN", download->Design, "A bench file with a design, or a project of the bench");
    load->add_option("--device", download->Device, "Chain position of the device to program (default: the first)");
    load->add_flag("--json", download->Json, "Print the result and the messages as JSON");
    load->callback([&context, download] { context.ExitCode = RunFlow(context, *download, true); });
}

} // namespace arria5cli
