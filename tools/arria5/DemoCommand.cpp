// The whole tour on the default bench: the chain, the device as the host sees
// it, the Quartus build of the example design, programming, the device's state
// and user code, and a few pins sampled through the boundary-scan register.
#include "tools/arria5/CliContext.h"

#include <fmt/format.h>

#include <filesystem>
#include <iostream>

namespace arria5cli {

namespace {

constexpr int32_t kDriver_GetBSDLEntity = 503406;
constexpr int32_t kDriver_GetDeviceState = 503787;
constexpr int32_t kDriver_ReadUserCode = 503789;
constexpr int32_t kEntity_GetBoundaryLength = 503461;
constexpr int32_t kEntity_GetBoundaryCell = 503464;
constexpr int32_t kCell_GetCellFunction = 503504;
constexpr int32_t kCell_GetPin = 503509;
constexpr int32_t kPin_GetPinName = 503491;
constexpr int32_t kPin_GetPinNumber = 503492;
constexpr int32_t kInstructionSample = 5;
constexpr int32_t kCellFunctionInput = 1;

int Step(TCliContext& context, const std::vector<std::string>& arguments, const char* title)
{
    std::cout << "\n== " << title << '\n' << std::flush;
    std::vector<std::string> words = {"arria5"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    CLI::App app;
    RegisterDescribeCommands(app, context);
    RegisterChainCommands(app, context);
    RegisterDeviceCommands(app, context);
    RegisterBuildCommands(app, context);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    app.parse(static_cast<int>(argv.size()), argv.data());
    return context.ExitCode;
}

// Samples the boundary register (SAMPLE) and shows the first input pins.
void SamplePins(hostsim::THost& host, const hostsim::TTavrelDevice& device, int count)
{
    const com::TDispatchRef entity = device.Driver().CallObject(kDriver_GetBSDLEntity);
    if (!entity) {
        std::cout << "  (no boundary-scan description)\n";
        return;
    }
    const int32_t length = entity.CallInt(kEntity_GetBoundaryLength);
    auto& channel = host.Channel();
    channel.BeginAccess();
    channel.GotoTAPState(2);
    channel.ScanIR(kInstructionSample, device.Position());
    channel.MoveTAPState(2, 5);
    const std::string bits = channel.ShiftDRString(std::string(static_cast<size_t>(length), '0'), device.Position());
    channel.ClockTMS(1);
    channel.MoveTAPState(6, 2);
    channel.EndAccess();
    int shown = 0;
    for (int32_t cell = 0; cell < length && shown < count; ++cell) {
        const com::TDispatchRef boundary = entity.CallObject(kEntity_GetBoundaryCell, {cell});
        if (!boundary || boundary.CallInt(kCell_GetCellFunction) != kCellFunctionInput) continue;
        const com::TDispatchRef pin = boundary.CallObject(kCell_GetPin);
        if (!pin) continue;
        // The text holds the last cell first.
        const char value = bits[bits.size() - 1 - static_cast<size_t>(cell)];
        std::cout << fmt::format("  cell {:>4}  pin {:<5} {:<10} {}\n", cell, pin.CallString(kPin_GetPinNumber),
                                 pin.CallString(kPin_GetPinName), value);
        ++shown;
    }
}

int RunDemo(TCliContext& context)
{
    if (context.BenchFile.empty()) {
        const std::string bench = hostsim::THost::InstallationFolder() + "Examples/blinky/bench.json";
        if (!std::filesystem::exists(bench)) throw std::runtime_error("the example design is not installed: " + bench);
        context.BenchFile = bench;
    }
    int failures = 0;
    failures += Step(context, {"chain"}, "The JTAG chain of the bench") != 0;
    hostsim::THost& host = context.Host();
    const std::string device = host.Device(0).Driver().CallString(503380);
    failures += Step(context, {"info", device}, ("The device: " + device).c_str()) != 0;
    failures += Step(context, {"build"}, "Build the example design with Quartus (skips what is up to date)") != 0;
    failures += Step(context, {"download"}, "Program the device with the raw bit file") != 0;
    std::cout << "\n== The device after programming\n";
    const auto& driver = host.Device(0).Driver();
    const int32_t state = driver.CallInt(kDriver_GetDeviceState);
    std::cout << fmt::format("  state: {}\n  user code: 0x{:08X}\n", state == 2 ? "configured" : "not configured",
                             static_cast<uint32_t>(driver.CallInt(kDriver_ReadUserCode)));
    std::cout << "\n== A few input pins sampled through the boundary-scan register\n";
    SamplePins(host, host.Device(0), 8);
    return failures == 0 && state == 2 ? 0 : kExitFailure;
}

} // namespace

void RegisterDemoCommand(CLI::App& app, TCliContext& context)
{
    auto* demo = app.add_subcommand("demo", "The whole tour on the bench: describe, build, program, state, sample pins");
    demo->callback([&context] { context.ExitCode = RunDemo(context); });
}

} // namespace arria5cli
