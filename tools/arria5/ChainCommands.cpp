// Commands that work on the JTAG chain: scan it, serve it over remote_bitbang.
#include "hostsim/rbb/RemoteBitbangServer.h"
#include "tools/arria5/ChainScan.h"
#include "tools/arria5/CliContext.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

namespace arria5cli {

namespace {

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

void RegisterChainCommands(CLI::App& app, TCliContext& context)
{
    struct TOptions {
        bool Json = false;
        uint16_t Port = 0;
        int Seconds = 0;
    };
    auto options = std::make_shared<TOptions>();
    auto* chain = app.add_subcommand("chain", "Scan the JTAG chain: IDCODE, kind and driver of every position");
    chain->add_flag("--json", options->Json, "Print JSON instead of a table");
    chain->callback([&context, options] { context.ExitCode = RunChain(context.Host(), options->Json); });

    auto* serve = app.add_subcommand("serve-rbb", "Serve the simulated chain over OpenOCD's remote_bitbang protocol");
    serve->add_option("--port", options->Port, "TCP port on 127.0.0.1 (default: a free port, printed)");
    serve->add_option("--seconds", options->Seconds, "Stop after this many seconds (default: run until Ctrl-C)");
    serve->callback([&context, options] { context.ExitCode = RunServeRbb(context.Host(), options->Port, options->Seconds); });
}

} // namespace arria5cli
