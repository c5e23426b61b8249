#include "host/DeviceFamilies.h"

#include "host/HostAccess.h"
#include "plugin/frame/SupportService.h"

#include <INIReader.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

namespace hostaccess {

namespace {

struct TStoredFamilyGroup {
    std::string_view Vendor;
    std::initializer_list<std::string_view> Families;
};

// The families every host knows, in table order.
const std::array<TStoredFamilyGroup, 8> kStoredFamilies = {{
    {"Actel", {"ProASICPlus", "ProASIC3", "ProASIC3E", "IGLOO", "IGLOOE", "IGLOOnano", "IGLOOPLUS", "Fusion",
               "SmartFusion"}},
    {"Altera", {"MAX3000A", "MAX7000AE", "MAX7000B", "MAX7000S", "MAX2", "MAX5", "Cyclone", "Cyclone2", "Cyclone3",
                "Cyclone4E", "Cyclone4GX", "Stratix", "StratixGX", "Stratix2", "Stratix2GX", "Stratix3", "Stratix4",
                "ArriaGX", "Arria2GX", "Arria2GZ"}},
    {"Lattice", {"EC", "ECP", "ECP2", "ECP2M", "XP", "XP2", "MachXO", "MachXO2", "SC", "SCM", "ispXPLD5000MX",
                 "ispMACH4000B", "ispMACH4000C", "ispMACH4000V", "ispMACH4000Z"}},
    {"Xilinx", {"XC9500", "XC9500XL", "XA9500XL", "XC9500XV", "CoolRunner2", "XACoolRunner2", "CoolRunnerXPLA3",
                "Spartan2", "Spartan2E", "Spartan3", "Spartan3E", "XASpartan3E", "Spartan3L", "Spartan3A",
                "XASpartan3A", "Spartan3ADSP", "XASpartan3ADSP", "Spartan3AN", "Spartan6", "Virtex", "VirtexE",
                "Virtex2", "Virtex2P", "Virtex4", "Virtex5", "Virtex6", "XC17V00", "XC18V00", "XCF"}},
    {"Sharp", {"BLUESTREAK"}},
    {"AMCC", {"PPC405"}},
    {"TexasInstruments", {"Stellaris"}},
    {"STMicroelectronics", {"STM32"}},
}};

// The EDIF name is the family in upper case, with a few kept as they are and
// none for the configuration PROMs and processors.
std::string StoredEDIFName(std::string_view family)
{
    for (std::string_view unchanged : {"IGLOOnano", "ispMACH4000B", "ispMACH4000C", "ispMACH4000V", "ispMACH4000Z"})
        if (family == unchanged) return std::string(family);
    for (std::string_view none : {"XC17V00", "XC18V00", "XCF", "BLUESTREAK", "PPC405", "Stellaris", "STM32"})
        if (family == none) return {};
    std::string upper(family);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::unique_ptr<TDeviceFamilyRegistry>& Registry()
{
    static std::unique_ptr<TDeviceFamilyRegistry> registry;
    return registry;
}

} // namespace

void AddStoredFamilies(TDeviceFamilyRegistry& registry)
{
    for (const TStoredFamilyGroup& group : kStoredFamilies)
        for (std::string_view family : group.Families)
            registry[std::string(family)] = {std::string(group.Vendor), StoredEDIFName(family)};
}

void LoadFamilyConfig(TDeviceFamilyRegistry& registry, const std::string& file)
{
    const INIReader ini(file);
    if (ini.ParseError() < 0) return;
    // Keys compare without regard to case; values keep theirs.
    const std::string family = ini.Get("General", "DeviceFamily", "");
    if (family.empty()) return;
    const std::string vendor = ini.Get("General", "DeviceVendor", "");
    if (vendor.empty()) return;
    const std::string edif = ini.Get("General", "EDIF", "");
    if (edif.empty()) return;
    registry[family] = {vendor, edif};
}

void InitDeviceFamilies()
{
    auto& registry = Registry();
    if (registry) return;
    auto filled = std::make_unique<TDeviceFamilyRegistry>();
    AddStoredFamilies(*filled);
    EnumeratePluginFolders([&](const std::string& folder, bool&) {
        const std::string file = folder + "TavrelConfig.ini";
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec)) LoadFamilyConfig(*filled, file);
    });
    registry = std::move(filled);
}

std::optional<TDeviceFamilyInfo> FindDeviceFamily(const std::string& family)
{
    InitDeviceFamilies();
    const auto& registry = *Registry();
    const auto found = registry.find(family);
    if (found == registry.end()) return std::nullopt;
    return found->second;
}

std::string GetVendorOfFamily(const std::string& family)
{
    const auto info = FindDeviceFamily(family);
    return info ? info->VendorName : std::string();
}

void ResetDeviceFamiliesForTesting() { Registry().reset(); }

} // namespace hostaccess

namespace hostaccess {

bool GetValueFromExtensions(const std::string& familyName, const std::string& paramName, std::string& value,
                            const std::string& sectionName)
{
    value.clear();
    bool found = false;
    EnumeratePluginFolders([&](const std::string& folder, bool& stop) {
        const std::string file = folder + "TavrelConfig.ini";
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) return;
        const INIReader ini(file);
        if (ini.ParseError() < 0) return;
        if (!tavrel::SameText(ini.Get("General", "DeviceFamily", ""), familyName)) return;
        value = ini.Get(sectionName, paramName, "");
        if (!value.empty()) found = stop = true;
    });
    return found;
}

} // namespace hostaccess
