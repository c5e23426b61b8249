// Commands that operate a device on the chain through its host device object
// (which hands each call to the device's driver): state, reset, user code,
// programming, and a bit-stream maker for the simulated bench.
#include "hostsim/jtag/BitStream.h"
#include "tools/arria5/CliContext.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace arria5cli {

namespace {

constexpr int32_t kDevice_Reset = 503636;
constexpr int32_t kDevice_GetState = 503637;
constexpr int32_t kDevice_Program = 503638;
constexpr int32_t kDriver_ReadUserCode = 503789;

struct TDeviceOptions {
    int Device = -1; // chain position; -1: the first device with a driver
    bool Json = false;
    std::string File;
    std::string UserCode = "0x00000000";
    bool Truncate = false;
};

// The host device at the chosen position, which must have a driver.
hostsim::TTavrelDevice& ChooseDevice(hostsim::THost& host, int position)
{
    if (host.DeviceCount() == 0) throw std::runtime_error("the JTAG chain is empty");
    if (position < 0) {
        for (int32_t p = 0; p < host.DeviceCount(); ++p)
            if (host.Device(p).Driver()) return host.Device(p);
        throw std::runtime_error("no device on the chain has an Arria V driver");
    }
    if (position >= host.DeviceCount())
        throw TUsageError(fmt::format("--device {} is not on the chain (positions 0..{})", position, host.DeviceCount() - 1));
    hostsim::TTavrelDevice& device = host.Device(position);
    if (!device.Driver()) throw TUsageError(fmt::format("the device at position {} has no Arria V driver", position));
    return device;
}

const char* StateName(int32_t state)
{
    switch (state) {
    case 2: return "configured";
    case 1: return "not configured";
    default: return "unknown";
    }
}

void PrintResult(const nlohmann::ordered_json& result, bool json, const std::string& text)
{
    if (json) std::cout << result.dump(2) << '\n';
    else std::cout << text << '\n';
}

// Draws the host's progress display (status-bar progress codes) on standard error.
class TProgressBar {
public:
    explicit TProgressBar(hostsim::TGUIManager& gui) : FGUI(gui), FTty(isatty(STDERR_FILENO) != 0)
    {
        FGUI.OnStatus = [this](const hostsim::TStatusText& status) { Update(status); };
    }
    ~TProgressBar() { FGUI.OnStatus = nullptr; }

private:
    void Update(const hostsim::TStatusText& status)
    {
        switch (status.Code) {
        case -3: FPercent = 0; break;
        case -5: FMessage = status.Text; Draw(); break;
        case -7: ++FPercent; Draw(); break;
        case -6:
            if (FPercent != 100) {
                FPercent = 100;
                Draw();
            }
            if (FTty) std::fputc('\n', stderr);
            break;
        default: break;
        }
    }
    void Draw()
    {
        if (!FTty && FPercent % 25 != 0) return;
        const int filled = FPercent * 40 / 100;
        std::fprintf(stderr, FTty ? "\r%s [%s%s] %3d%%" : "%s [%s%s] %3d%%\n", FMessage.c_str(),
                     std::string(static_cast<size_t>(filled), '#').c_str(),
                     std::string(static_cast<size_t>(40 - filled), ' ').c_str(), FPercent);
        std::fflush(stderr);
    }

    hostsim::TGUIManager& FGUI;
    bool FTty;
    std::string FMessage;
    int FPercent = 0;
};

int RunState(TCliContext& context, const TDeviceOptions& options)
{
    hostsim::TTavrelDevice& device = ChooseDevice(context.Host(), options.Device);
    const int32_t state = com::TDispatchRef(&device).CallInt(kDevice_GetState);
    nlohmann::ordered_json result{{"Position", device.Position()}, {"State", state}, {"StateName", StateName(state)}};
    PrintResult(result, options.Json, fmt::format("Device {}: {}", device.Position(), StateName(state)));
    return 0;
}

int RunReset(TCliContext& context, const TDeviceOptions& options)
{
    hostsim::TTavrelDevice& device = ChooseDevice(context.Host(), options.Device);
    const bool reset = com::TDispatchRef(&device).CallBool(kDevice_Reset);
    nlohmann::ordered_json result{{"Position", device.Position()}, {"Reset", reset}};
    PrintResult(result, options.Json,
                reset ? fmt::format("Device {}: configuration cleared", device.Position())
                      : fmt::format("Device {}: still configured after the reset", device.Position()));
    return reset ? 0 : kExitFailure;
}

int RunUserCode(TCliContext& context, const TDeviceOptions& options)
{
    hostsim::TTavrelDevice& device = ChooseDevice(context.Host(), options.Device);
    const auto code = static_cast<uint32_t>(device.Driver().CallInt(kDriver_ReadUserCode));
    nlohmann::ordered_json result{{"Position", device.Position()}, {"UserCode", fmt::format("0x{:08X}", code)}};
    PrintResult(result, options.Json, fmt::format("Device {}: user code 0x{:08X}", device.Position(), code));
    return 0;
}

int RunProgram(TCliContext& context, const TDeviceOptions& options)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.File, ec))
        throw std::runtime_error(fmt::format("cannot open '{}': no such file", options.File));
    hostsim::THost& host = context.Host();
    hostsim::TTavrelDevice& device = ChooseDevice(host, options.Device);
    com::TDispatchRef target(&device);
    if (!target.CallBool(kDevice_Reset))
        throw std::runtime_error(fmt::format("device {} did not clear its configuration", device.Position()));
    int32_t bits = 0;
    double seconds = 0;
    {
        TProgressBar bar(host.GUI());
        const auto start = std::chrono::steady_clock::now();
        bits = target.CallInt(kDevice_Program, {options.File});
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const int32_t state = target.CallInt(kDevice_GetState);
    const auto code = static_cast<uint32_t>(device.Driver().CallInt(kDriver_ReadUserCode));
    const std::string rate = seconds > 0 ? fmt::format("{:.1f} kbit/s", bits / seconds / 1000.0) : "not measurable";
    nlohmann::ordered_json result{{"Position", device.Position()}, {"Bits", bits},       {"Seconds", seconds},
                                  {"State", state},             {"StateName", StateName(state)},
                                  {"UserCode", fmt::format("0x{:08X}", code)}};
    PrintResult(result, options.Json,
                fmt::format("Programmed {} bits into device {} in {:.2f} s ({}); state: {}, user code 0x{:08X}", bits,
                            device.Position(), seconds, rate, StateName(state), code));
    if (state != 2) {
        std::cerr << fmt::format("arria5: device {} stays unconfigured: it refused '{}' (not a complete bit stream for "
                                 "its die)\n",
                                 device.Position(), options.File);
        return kExitFailure;
    }
    return 0;
}

int RunMakeRbf(TCliContext& context, const TDeviceOptions& options)
{
    hostsim::THost& host = context.Host();
    hostsim::TTavrelDevice& device = ChooseDevice(host, options.Device);
    const hostsim::TBenchDevice& bench = host.Config().Chain[static_cast<size_t>(device.Position())];
    uint32_t userCode = 0;
    try {
        userCode = static_cast<uint32_t>(std::stoul(options.UserCode, nullptr, 0));
    } catch (...) {
        throw TUsageError(fmt::format("--usercode '{}' is not a number", options.UserCode));
    }
    std::vector<uint8_t> stream;
    hostsim::jtag::WriteBitStream(stream, bench.Kind, userCode);
    if (options.Truncate) stream.resize(stream.size() / 2);
    const std::string temporary = options.File + ".part";
    {
        std::FILE* out = std::fopen(temporary.c_str(), "wb");
        if (!out) throw std::runtime_error(fmt::format("cannot create '{}'", options.File));
        const bool written = std::fwrite(stream.data(), 1, stream.size(), out) == stream.size();
        if (std::fclose(out) != 0 || !written) {
            std::remove(temporary.c_str());
            throw std::runtime_error(fmt::format("cannot write '{}' (disk full?)", options.File));
        }
    }
    std::filesystem::rename(temporary, options.File);
    std::cout << fmt::format("Wrote {} ({} bytes) for device {} ({}), user code 0x{:08X}{}\n", options.File, stream.size(),
                             device.Position(), device.Driver().CallString(503380), userCode,
                             options.Truncate ? ", truncated" : "");
    return 0;
}

} // namespace

void RegisterDeviceCommands(CLI::App& app, TCliContext& context)
{
    auto options = std::make_shared<TDeviceOptions>();
    auto addDevice = [options](CLI::App* command) {
        command->add_option("--device", options->Device, "Chain position (default: the first Arria V device)");
    };
    auto* state = app.add_subcommand("state", "Read whether a device is configured (its configuration-done status)");
    addDevice(state);
    state->add_flag("--json", options->Json, "Print JSON");
    state->callback([&context, options] { context.ExitCode = RunState(context, *options); });

    auto* reset = app.add_subcommand("reset", "Clear a device's configuration (PROGRAM), then check it");
    addDevice(reset);
    reset->add_flag("--json", options->Json, "Print JSON");
    reset->callback([&context, options] { context.ExitCode = RunReset(context, *options); });

    auto* usercode = app.add_subcommand("usercode", "Read a device's user code");
    addDevice(usercode);
    usercode->add_flag("--json", options->Json, "Print JSON");
    usercode->callback([&context, options] { context.ExitCode = RunUserCode(context, *options); });

    auto* program = app.add_subcommand("program", "Reset a device, program it from a raw bit file (.rbf), check its state");
    program->add_option("FILE", options->File, "Raw bit file")->required();
    addDevice(program);
    program->add_flag("--json", options->Json, "Print JSON");
    program->callback([&context, options] { context.ExitCode = RunProgram(context, *options); });

    auto* make = app.add_subcommand("make-rbf", "Write a bit stream the simulated device at --device accepts");
    make->add_option("FILE", options->File, "Output file")->required();
    addDevice(make);
    make->add_option("--usercode", options->UserCode, "User code the configured device reports (default 0)");
    make->add_flag("--truncate", options->Truncate, "Write only the first half (a stream the device must refuse)");
    make->callback([&context, options] { context.ExitCode = RunMakeRbf(context, *options); });
}

} // namespace arria5cli
