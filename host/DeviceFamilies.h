// The device-family registry: family name -> vendor and EDIF name. Filled once
// per process from a stored table and then from the "TavrelConfig.ini" files of
// the host's extension folders, a later folder replacing an earlier entry.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace hostaccess {

struct TDeviceFamilyInfo {
    std::string VendorName;
    std::string EDIF;
};

// Family names compare exactly (case-sensitive).
using TDeviceFamilyRegistry = std::map<std::string, TDeviceFamilyInfo>;

void InitDeviceFamilies();
std::string GetVendorOfFamily(const std::string& family);
std::optional<TDeviceFamilyInfo> FindDeviceFamily(const std::string& family);
// Reads one configuration file's [General] DeviceFamily/DeviceVendor/EDIF into the registry.
void LoadFamilyConfig(TDeviceFamilyRegistry& registry, const std::string& file);
// Adds the stored table's rows in order.
void AddStoredFamilies(TDeviceFamilyRegistry& registry);
// Drops the registry so the next use fills it again (tests only).
void ResetDeviceFamiliesForTesting();

} // namespace hostaccess

namespace hostaccess {
// Looks a value up in the "TavrelConfig.ini" of the extension that declares the
// family (section General, key DeviceFamily, any letter case): the first
// extension folder, in the host's order, whose value is not empty wins.
bool GetValueFromExtensions(const std::string& familyName, const std::string& paramName, std::string& value,
                            const std::string& sectionName);
} // namespace hostaccess
