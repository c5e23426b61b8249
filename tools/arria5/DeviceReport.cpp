#include "tools/arria5/DeviceReport.h"

#include <fmt/format.h>

#include <array>

namespace arria5cli {

namespace {

constexpr std::array<TInfoField, 42> kInfoFields = {{
    {503379, "IdCode", TValueKind::Hex},
    {503380, "DeviceName", TValueKind::Text},
    {503381, "DeviceDescription", TValueKind::Text},
    {503423, "DeviceDisplayName", TValueKind::Text},
    {503382, "FamilyName", TValueKind::Text},
    {503383, "FamilyDescription", TValueKind::Text},
    {503407, "VendorName", TValueKind::Text},
    {503384, "LibraryName", TValueKind::Text},
    {503386, "BaseName", TValueKind::Text},
    {503387, "EquivalentGatesForBase", TValueKind::Integer},
    {503388, "MaxIOForBase", TValueKind::Integer},
    {503392, "PackageId", TValueKind::Text},
    {503393, "PackageName", TValueKind::Text},
    {503394, "PackageDescription", TValueKind::Text},
    {503395, "PackageDimensions", TValueKind::Text},
    {503389, "PackageTypeId", TValueKind::Text},
    {503390, "PackageTypeName", TValueKind::Text},
    {503391, "PackageTypeDescription", TValueKind::Text},
    {503396, "TemperatureGradeId", TValueKind::Text},
    {503397, "TemperatureGradeName", TValueKind::Text},
    {503398, "TemperatureGradeDescription", TValueKind::Text},
    {503399, "SpeedGradeId", TValueKind::Text},
    {503400, "SpeedGradeName", TValueKind::Text},
    {503401, "SpeedGradeDescription", TValueKind::Text},
    {503402, "OptionDesignatorId", TValueKind::Text},
    {503403, "OptionDesignatorName", TValueKind::Text},
    {503404, "OptionDesignatorDescription", TValueKind::Text},
    {503405, "BSDLFilename", TValueKind::Text},
    {503408, "InstructionLength", TValueKind::Integer},
    {503409, "DevicePinCount", TValueKind::Integer},
    {503410, "DeviceIOCount", TValueKind::Integer},
    {503419, "DiffPairCount", TValueKind::Integer},
    {503420, "HighSpeedDiffPairCount", TValueKind::Integer},
    {503421, "IOStandardCount", TValueKind::Integer},
    {503413, "DSPMultiplierCount", TValueKind::Integer},
    {503414, "ClockManagerCount", TValueKind::Integer},
    {503415, "MemorySize", TValueKind::Integer},
    {503416, "TerminationSupport", TValueKind::Boolean},
    {503417, "GlobalClockCount", TValueKind::Integer},
    {503418, "ConfigMemorySize", TValueKind::Integer},
    {503412, "DownloadFileExtensions", TValueKind::Text},
    {503792, "CoreGenOutputExtension", TValueKind::Text},
}};

struct TPinFlag {
    int32_t DispId;
    const char* Name;
};

constexpr std::array<TPinFlag, 16> kPinFlags = {{
    {503527, "IO"},
    {503529, "VREF"},
    {503528, "CLK"},
    {503530, "Special"},
    {503533, "InputOnly"},
    {503534, "DCIP"},
    {503535, "DCIN"},
    {503536, "DiffP"},
    {503537, "DiffN"},
    {503538, "HDiffP"},
    {503539, "HDiffN"},
    {503540, "TransmitDiff"},
    {503541, "ReceiveDiff"},
    {503542, "ClkDiffP"},
    {503543, "ClkDiffN"},
    {503544, "DLL"},
}};

std::string Join(const nlohmann::ordered_json& list, const char* separator)
{
    std::string text;
    for (const auto& item : list) {
        if (!text.empty()) text += separator;
        text += item.get<std::string>();
    }
    return text;
}

} // namespace

nlohmann::ordered_json ReadDeviceInfo(const com::TDispatchRef& driver)
{
    nlohmann::ordered_json info;
    for (const TInfoField& field : kInfoFields) {
        switch (field.Kind) {
        case TValueKind::Text: info[field.Key] = driver.CallString(field.DispId); break;
        case TValueKind::Integer: info[field.Key] = driver.CallInt(field.DispId); break;
        case TValueKind::Hex:
            info[field.Key] = fmt::format("0x{:08X}", static_cast<uint32_t>(driver.CallInt(field.DispId)));
            break;
        case TValueKind::Boolean: info[field.Key] = driver.CallBool(field.DispId); break;
        }
    }
    return info;
}

nlohmann::ordered_json ReadIOStandard(const com::TDispatchRef& standard)
{
    nlohmann::ordered_json item;
    item["DisplayName"] = standard.CallString(503519);
    item["ParamName"] = standard.CallString(503520);
    nlohmann::ordered_json slews = nlohmann::ordered_json::array();
    for (int32_t i = 0, n = standard.CallInt(503521); i < n; ++i) slews.push_back(standard.CallString(503522, {i}));
    nlohmann::ordered_json drives = nlohmann::ordered_json::array();
    for (int32_t i = 0, n = standard.CallInt(503523); i < n; ++i) drives.push_back(standard.CallString(503524, {i}));
    item["SlewRates"] = std::move(slews);
    item["DriveStrengths"] = std::move(drives);
    return item;
}

nlohmann::ordered_json ReadIOStandards(const com::TDispatchRef& driver)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (int32_t i = 0, n = driver.CallInt(503421); i < n; ++i) list.push_back(ReadIOStandard(driver.CallObject(503422, {i})));
    return list;
}

nlohmann::ordered_json ReadPins(const com::TDispatchRef& driver)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (int32_t i = 0, n = driver.CallInt(503409); i < n; ++i) {
        const com::TDispatchRef pin = driver.CallObject(503411, {i});
        nlohmann::ordered_json item;
        item["Entry"] = i;
        item["PinNumber"] = pin.CallString(503525);
        item["Bank"] = pin.CallString(503526);
        item["DiffId"] = pin.CallString(503545);
        item["ClkDiffId"] = pin.CallString(503546);
        nlohmann::ordered_json flags = nlohmann::ordered_json::array();
        for (const TPinFlag& flag : kPinFlags)
            if (pin.CallBool(flag.DispId)) flags.push_back(flag.Name);
        item["Flags"] = std::move(flags);
        nlohmann::ordered_json standards = nlohmann::ordered_json::array();
        for (int32_t s = 0, count = pin.CallInt(503531); s < count; ++s)
            standards.push_back(pin.CallObject(503532, {s}).CallString(503520));
        item["IOStandards"] = std::move(standards);
        list.push_back(std::move(item));
    }
    return list;
}

std::string FormatDeviceInfo(const nlohmann::ordered_json& info)
{
    std::string text;
    for (const auto& [key, value] : info.items()) {
        std::string shown;
        if (value.is_string()) shown = value.get<std::string>();
        else if (value.is_boolean()) shown = value.get<bool>() ? "yes" : "no";
        else shown = value.dump();
        text += fmt::format("  {:<28} {}\n", key, shown);
    }
    return text;
}

std::string FormatPins(const nlohmann::ordered_json& pins)
{
    std::string text = fmt::format("  {:>5}  {:<6} {:<5} {:<12} {:<5} {:<40} {}\n", "Entry", "Ball", "Bank", "DiffId",
                                   "Clk", "Flags", "IO standards");
    for (const auto& pin : pins) {
        text += fmt::format("  {:>5}  {:<6} {:<5} {:<12} {:<5} {:<40} {}\n", pin["Entry"].get<int>(),
                            pin["PinNumber"].get<std::string>(), pin["Bank"].get<std::string>(),
                            pin["DiffId"].get<std::string>(), pin["ClkDiffId"].get<std::string>(),
                            Join(pin["Flags"], ","), pin["IOStandards"].size());
    }
    return text;
}

std::string FormatIOStandards(const nlohmann::ordered_json& standards)
{
    std::string text = fmt::format("  {:>3}  {:<46} {:<16} {:<20} {}\n", "#", "Display name", "Parameter", "Slew rates",
                                   "Drive strengths");
    int index = 0;
    for (const auto& standard : standards) {
        text += fmt::format("  {:>3}  {:<46} {:<16} {:<20} {}\n", index++, standard["DisplayName"].get<std::string>(),
                            standard["ParamName"].get<std::string>(), Join(standard["SlewRates"], ","),
                            Join(standard["DriveStrengths"], ","));
    }
    return text;
}

} // namespace arria5cli
