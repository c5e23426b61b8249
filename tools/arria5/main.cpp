// arria5: a command-line host for the Arria V driver plug-in. It loads the
// plug-in only through its two exports and talks to drivers by dispatch calls.
#include "hostsim/PluginLibrary.h"
#include "hostsim/host/Host.h"
#include "hostsim/rbb/RemoteBitbangServer.h"
#include "tools/arria5/ChainScan.h"
#include "tools/arria5/DeviceReport.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cctype>
#include <csignal>
#include <thread>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool SameTextAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// KIND is an index or a full part name in any letter case.
int32_t ResolveKind(const hostsim::TPluginLibrary& plugin, const std::string& text)
{
    const int32_t count = plugin.DriverCount();
    int32_t index = -1;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (ec == std::errc() && end == text.data() + text.size()) {
        if (index < 0 || index >= count)
            throw TUsageError(fmt::format("device kind index {} is out of range (0..{})", index, count - 1));
        return index;
    }
    for (int32_t kind = 0; kind < count; ++kind) {
        const com::TDispatchRef driver = plugin.CreateDriver(kind);
        if (driver && SameTextAscii(driver.CallString(503380), text)) return kind;
    }
    throw TUsageError(fmt::format("unknown device kind '{}' (run 'arria5 kinds' for the list)", text));
}

int RunKinds(const hostsim::TPluginLibrary& plugin, bool json)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    const int32_t count = plugin.DriverCount();
    for (int32_t kind = 0; kind < count; ++kind) {
        const com::TDispatchRef driver = plugin.CreateDriver(kind);
        if (!driver) continue;
        nlohmann::ordered_json item;
        item["Kind"] = kind;
        item["DeviceName"] = driver.CallString(503380);
        item["IdCode"] = fmt::format("0x{:08X}", static_cast<uint32_t>(driver.CallInt(503379)));
        list.push_back(std::move(item));
    }
    if (json) {
        std::cout << list.dump(2) << '\n';
        return 0;
    }
    std::cout << fmt::format("{:>5}  {:<18} {}\n", "Kind", "Device", "IDCODE");
    for (const auto& item : list)
        std::cout << fmt::format("{:>5}  {:<18} {}\n", item["Kind"].get<int>(), item["DeviceName"].get<std::string>(),
                                 item["IdCode"].get<std::string>());
    return 0;
}

int RunInfo(const hostsim::TPluginLibrary& plugin, const std::string& kindText, bool pins, bool standards, bool json)
{
    const int32_t kind = ResolveKind(plugin, kindText);
    const com::TDispatchRef driver = plugin.CreateDriver(kind);
    if (!driver) throw std::runtime_error(fmt::format("the plug-in has no driver for kind {}", kind));
    nlohmann::ordered_json report;
    report["Kind"] = kind;
    report["Info"] = arria5cli::ReadDeviceInfo(driver);
    if (pins) report["Pins"] = arria5cli::ReadPins(driver);
    if (standards) report["IOStandards"] = arria5cli::ReadIOStandards(driver);
    if (json) {
        std::cout << report.dump(2) << '\n';
        return 0;
    }
    std::cout << fmt::format("{} (kind {})\n", report["Info"]["DeviceName"].get<std::string>(), kind);
    std::cout << arria5cli::FormatDeviceInfo(report["Info"]);
    if (pins) std::cout << "\nPins\n" << arria5cli::FormatPins(report["Pins"]);
    if (standards) std::cout << "\nIO standards\n" << arria5cli::FormatIOStandards(report["IOStandards"]);
    return 0;
}

// The chain as a host sees it: each position's IDCODE read from the chain
// itself, and the host device with the driver serving it.
int RunChain(hostsim::THost& host, bool json)
{
    auto& channel = host.Channel();
    void* raw = nullptr;
    if (com::Failed(static_cast<hostsim::THostDispatchObject&>(channel).QueryInterface(com::IID_IJTagPinAccess, &raw)))
        throw std::runtime_error("the JTAG channel offers no pin-level access");
    auto* pins = static_cast<com::IJTagPinAccess*>(raw);
    std::vector<std::optional<uint32_t>> ids;
    try {
        channel.BeginAccess();
        ids = arria5cli::ScanIdCodes(*pins);
        channel.EndAccess();
    } catch (...) {
        pins->Release();
        throw;
    }
    pins->Release();
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (int32_t position = 0; position < host.DeviceCount(); ++position) {
        const hostsim::TTavrelDevice& device = host.Device(position);
        nlohmann::ordered_json item;
        item["Position"] = position;
        const auto id = position < static_cast<int32_t>(ids.size()) ? ids[static_cast<size_t>(position)] : std::nullopt;
        item["IdCode"] = id ? fmt::format("0x{:08X}", *id) : std::string("bypass");
        const hostsim::TBenchDevice& bench = host.Config().Chain[static_cast<size_t>(position)];
        item["Kind"] = bench.IsArria5 ? nlohmann::ordered_json(bench.Kind) : nlohmann::ordered_json(nullptr);
        if (device.Driver()) {
            item["Device"] = device.Driver().CallString(503380);
            item["Driver"] = device.Driver().CallString(503381);
            const uint32_t expected = static_cast<uint32_t>(device.Driver().CallInt(503379));
            item["IdCodeMatches"] = id && *id == expected;
        } else {
            item["Device"] = bench.Name;
            item["Driver"] = nullptr;
        }
        list.push_back(std::move(item));
    }
    if (ids.size() != static_cast<size_t>(host.DeviceCount()))
        std::cerr << fmt::format("arria5: warning: the chain answered with {} devices, the bench describes {}\n",
                                 ids.size(), host.DeviceCount());
    if (json) {
        std::cout << list.dump(2) << '\n';
        return 0;
    }
    std::cout << fmt::format("{:>3}  {:<11} {:<5} {:<18} {}\n", "Pos", "IDCODE", "Kind", "Device", "Driver");
    for (const auto& item : list) {
        const std::string kind = item["Kind"].is_null() ? "-" : std::to_string(item["Kind"].get<int>());
        std::string driver = item["Driver"].is_null() ? "(none)" : item["Driver"].get<std::string>();
        if (item.contains("IdCodeMatches") && !item["IdCodeMatches"].get<bool>()) driver += "  [IDCODE differs from the driver's]";
        std::cout << fmt::format("{:>3}  {:<11} {:<5} {:<18} {}\n", item["Position"].get<int>(),
                                 item["IdCode"].get<std::string>(), kind, item["Device"].get<std::string>(), driver);
    }
    return 0;
}

volatile std::sig_atomic_t GStop = 0;

int RunServeRbb(hostsim::THost& host, uint16_t port, int seconds)
{
    if (!host.SimChain()) throw TUsageError("serve-rbb serves the simulated chain; it cannot be combined with --rbb");
    hostsim::rbb::TRemoteBitbangServer server(*host.SimChain(), {port, std::chrono::milliseconds(0), std::chrono::milliseconds(5000)});
    server.Start();
    std::cout << fmt::format("Serving {} simulated devices over remote_bitbang on 127.0.0.1:{}", host.SimChain()->DeviceCount(),
                             server.Port())
              << (seconds > 0 ? fmt::format(" for {} s", seconds) : std::string(" (Ctrl-C stops)")) << std::endl;
    std::signal(SIGINT, [](int) { GStop = 1; });
    std::signal(SIGTERM, [](int) { GStop = 1; });
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!GStop && server.Running() && (seconds <= 0 || std::chrono::steady_clock::now() < end))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.Stop();
    const auto stats = server.Stats();
    std::cout << fmt::format("Served {} client(s), {} commands, {} reads", stats.Clients, stats.Commands, stats.Reads) << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"arria5: describe and drive Altera Arria V devices through the arria5drv plug-in.\n"
                 "Runs on a simulated JTAG bench by default (two Arria V devices around a bypass device);\n"
                 "--bench picks another bench description, --rbb a remote_bitbang server."};
    app.require_subcommand(1);
    std::string pluginPath;
    std::string benchFile;
    std::string rbbAddress;
    app.add_option("--plugin", pluginPath, "Path of libarria5drv.so (default: the staged plug-in, or $ARRIA5_PLUGIN)");
    app.add_option("--bench", benchFile, "Bench description (JSON: chain, design, tool paths, family parameters)");
    app.add_option("--rbb", rbbAddress, "Drive the chain of a remote_bitbang server at HOST:PORT instead of the simulator");

    bool json = false;
    auto* kinds = app.add_subcommand("kinds", "List every device kind: index, full part name and JTAG IDCODE");
    kinds->add_flag("--json", json, "Print JSON instead of a table");

    std::string kindText;
    bool pins = false, standards = false;
    auto* info = app.add_subcommand("info", "Describe one device kind as a host sees it");
    info->add_option("KIND", kindText, "Kind index (0..324) or full part name in any letter case, e.g. 5AGTFC7H3F35I3N")
        ->required();
    info->add_flag("--pins", pins, "Also list every pin with bank, pairs, role flags and IO standard count");
    info->add_flag("--iostandards", standards, "Also list the IO standards with slew rates and drive strengths");
    info->add_flag("--json", json, "Print JSON instead of text");

    auto* chain = app.add_subcommand("chain", "Scan the JTAG chain: IDCODE, kind and driver of every position");
    chain->add_flag("--json", json, "Print JSON instead of a table");

    uint16_t servePort = 0;
    int serveSeconds = 0;
    auto* serve = app.add_subcommand("serve-rbb", "Serve the simulated chain over OpenOCD's remote_bitbang protocol");
    serve->add_option("--port", servePort, "TCP port on 127.0.0.1 (default: a free port, printed)");
    serve->add_option("--seconds", serveSeconds, "Stop after this many seconds (default: run until Ctrl-C)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version exit 0; every usage error exits 2 after CLI11's message.
        const int code = app.exit(e);
        return code == 0 ? 0 : kExitUsage;
    }

    try {
        hostsim::THost::TOptions options;
        if (!benchFile.empty()) options.Bench = hostsim::TBenchConfig::Load(benchFile);
        if (!rbbAddress.empty()) options.Bench.RemoteBitbang = rbbAddress;
        options.PluginPath = pluginPath.empty() && std::getenv("ARRIA5_PLUGIN") ? hostsim::TPluginLibrary::DefaultPath()
                                                                                 : pluginPath;
        hostsim::THost host(std::move(options));
        const hostsim::TPluginLibrary& plugin = *host.Plugin();
        if (kinds->parsed()) return RunKinds(plugin, json);
        if (info->parsed()) return RunInfo(plugin, kindText, pins, standards, json);
        if (chain->parsed()) return RunChain(host, json);
        if (serve->parsed()) return RunServeRbb(host, servePort, serveSeconds);
    } catch (const TUsageError& e) {
        std::cerr << "arria5: " << e.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "arria5: " << e.what() << '\n';
        return kExitFailure;
    }
    return kExitUsage;
}
