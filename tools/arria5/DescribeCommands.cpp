// Commands that describe device kinds through the plug-in's drivers.
#include "tools/arria5/CliContext.h"
#include "tools/arria5/DeviceReport.h"

#include <fmt/format.h>

#include <cctype>
#include <charconv>
#include <iostream>

namespace arria5cli {

bool SameTextAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

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

namespace {

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

} // namespace

void RegisterDescribeCommands(CLI::App& app, TCliContext& context)
{
    struct TOptions {
        bool Json = false;
        std::string Kind;
        bool Pins = false;
        bool Standards = false;
    };
    auto options = std::make_shared<TOptions>();
    auto* kinds = app.add_subcommand("kinds", "List every device kind: index, full part name and JTAG IDCODE");
    kinds->add_flag("--json", options->Json, "Print JSON instead of a table");
    kinds->callback([&context, options] { context.ExitCode = RunKinds(context.Plugin(), options->Json); });

    auto* info = app.add_subcommand("info", "Describe one device kind as a host sees it");
    info->add_option("KIND", options->Kind,
                     "Kind index (0..324) or full part name in any letter case, e.g. 5AGTFC7H3F35I3N")
        ->required();
    info->add_flag("--pins", options->Pins, "Also list every pin with bank, pairs, role flags and IO standard count");
    info->add_flag("--iostandards", options->Standards, "Also list the IO standards with slew rates and drive strengths");
    info->add_flag("--json", options->Json, "Print JSON instead of text");
    info->callback([&context, options] {
        context.ExitCode = RunInfo(context.Plugin(), options->Kind, options->Pins, options->Standards, options->Json);
    });
}

} // namespace arria5cli
