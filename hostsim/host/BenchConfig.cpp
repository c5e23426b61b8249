#include "hostsim/host/BenchConfig.h"

#include "devices/arria5/DeviceTables.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace hostsim {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

bool SameTextAscii(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string LineColumn(const std::string& text, size_t offset)
{
    size_t line = 1, column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') ++line, column = 1;
        else ++column;
    }
    return std::to_string(line) + ":" + std::to_string(column);
}

std::string Absolute(const std::string& base, const std::string& path)
{
    if (path.empty() || fs::path(path).is_absolute()) return path;
    return (fs::path(base) / path).lexically_normal().string();
}

uint32_t ParseIdCode(const json& value, const std::string& where)
{
    if (value.is_number_unsigned()) return value.get<uint32_t>();
    if (value.is_string()) {
        std::string text = value.get<std::string>();
        int base = 10;
        if (text.starts_with("0x") || text.starts_with("0X")) text = text.substr(2), base = 16;
        uint32_t id = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id, base);
        if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return id;
    }
    throw TBenchError(where + ": \"idcode\" must be a number or a text such as \"0x4BA00477\"");
}

} // namespace

int32_t FindArria5Kind(const std::string& text)
{
    int32_t index = -1;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (ec == std::errc() && end == text.data() + text.size())
        return index >= 0 && index < arria5::kDeviceKindCount ? index : -1;
    for (int32_t kind = 0; kind < arria5::kDeviceKindCount; ++kind)
        if (SameTextAscii(arria5::DeviceKinds[kind].FullName, text)) return kind;
    return -1;
}

TBenchConfig TBenchConfig::Default()
{
    TBenchConfig config;
    TBenchDevice first;
    first.Kind = FindArria5Kind("5AGXFB3H4F35C4N");
    TBenchDevice bypass;
    bypass.IsArria5 = false;
    bypass.IdCode = 0x4BA00477;
    bypass.IrLength = 4;
    bypass.Name = "ARM debug access port";
    TBenchDevice last;
    last.Kind = 0;
    config.Chain = {first, bypass, last};
    config.FamilyParameters["Arria5"] = {{"NameUsedByVendor", "Arria V"}, {"WM_DefaultIOStandard", "2.5 V"}};
    return config;
}

TBenchConfig TBenchConfig::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TBenchError(path + ": cannot open the bench file");
    std::ostringstream text;
    text << in.rdbuf();
    std::error_code ec;
    const std::string folder = fs::absolute(path, ec).parent_path().string();
    return Parse(text.str(), path, folder);
}

TBenchConfig TBenchConfig::Parse(const std::string& text, const std::string& source, const std::string& baseFolder)
{
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        std::string message = e.what();
        if (const size_t at = message.find("syntax error"); at != std::string::npos) message = message.substr(at);
        throw TBenchError(source + ":" + LineColumn(text, e.byte > 0 ? e.byte - 1 : 0) + ": " + message);
    }
    if (!root.is_object()) throw TBenchError(source + ": a bench file holds one JSON object");
    TBenchConfig config = Default();
    config.Source = source;
    try {
        if (root.contains("chain")) {
            config.Chain.clear();
            int index = 0;
            for (const json& item : root.at("chain")) {
                const std::string where = source + ": chain[" + std::to_string(index++) + "]";
                TBenchDevice device;
                if (item.contains("kind")) {
                    const std::string kind =
                        item.at("kind").is_number() ? std::to_string(item.at("kind").get<int>()) : item.at("kind").get<std::string>();
                    device.Kind = FindArria5Kind(kind);
                    if (device.Kind < 0) throw TBenchError(where + ": unknown Arria V kind '" + kind + "'");
                } else {
                    device.IsArria5 = false;
                    device.IdCode = item.contains("idcode") ? ParseIdCode(item.at("idcode"), where) : 0;
                    device.IrLength = item.value("irlen", 4);
                    device.Name = item.value("name", std::string("bypass device"));
                    if (device.IrLength < 2 || device.IrLength > 32)
                        throw TBenchError(where + ": \"irlen\" must be between 2 and 32");
                }
                config.Chain.push_back(device);
            }
        }
        if (root.contains("design"))
            for (const json& project : root.at("design").at("projects")) {
                TBenchProject entry;
                entry.Path = Absolute(baseFolder, project.at("path").get<std::string>());
                for (const json& document : project.value("documents", json::array()))
                    entry.Documents.push_back(Absolute(baseFolder, document.get<std::string>()));
                entry.UserId = project.value("userid", std::string());
                config.Projects.push_back(std::move(entry));
            }
        if (root.contains("tools"))
            for (const auto& [vendor, tools] : root.at("tools").items())
                for (const auto& [tool, value] : tools.items()) {
                    if (tool == "version") config.VendorVersions[vendor] = value.get<std::string>();
                    else config.VendorTools[vendor][tool] = Absolute(baseFolder, value.get<std::string>());
                }
        if (root.contains("families"))
            for (const auto& [family, parameters] : root.at("families").items())
                for (const auto& [name, value] : parameters.items())
                    config.FamilyParameters[family][name] = value.is_string() ? value.get<std::string>() : value.dump();
        config.RemoteBitbang = root.value("rbb", std::string());
        config.SilentMode = root.value("silent", false);
    } catch (const json::exception& e) {
        throw TBenchError(source + ": " + e.what());
    }
    return config;
}

} // namespace hostsim
