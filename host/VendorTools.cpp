#include "host/VendorTools.h"

#include "host/HostAccess.h"
#include "plugin/frame/SupportService.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace hostaccess {

namespace fs = std::filesystem;
using tavrel::SameText;

namespace {

constexpr int32_t kVendorTools_GetDescriptor = 509001;
constexpr int32_t kVendorTools_IsInstalled = 509002;
constexpr int32_t kVendorTools_IsUpToDate = 509003;
constexpr int32_t kVendorTools_GetToolPath = 509004;
constexpr int32_t kVendorTools_GetVersion = 509005;

const char* VendorName(TToolVendor vendor)
{
    switch (vendor) {
    case TToolVendor::Altera: return "Altera";
    case TToolVendor::Xilinx: return "Xilinx";
    case TToolVendor::Actel: return "Actel";
    case TToolVendor::Lattice: return "Lattice";
    }
    return "";
}

std::string TrimBlanks(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Opens a text file the caller depends on; failure is an error for the caller.
std::ifstream OpenRequired(const std::string& path)
{
    std::ifstream file(path);
    if (!file) throw std::runtime_error("Cannot open file \"" + path + "\"");
    return file;
}

std::string FirstLine(const std::string& path)
{
    std::ifstream file = OpenRequired(path);
    std::string line;
    std::getline(file, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool ListContains(const std::string& path, const std::string& text)
{
    std::ifstream file = OpenRequired(path);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (SameText(line, text)) return true;
    }
    return false;
}

bool ManagerVersion(const char* vendor, std::string& text)
{
    text.clear();
    const THostObject manager = GetVendorToolManager();
    if (!manager) return false;
    const bool upToDate = manager.CallBool(kVendorTools_IsUpToDate, {std::string(vendor)});
    text = manager.CallString(kVendorTools_GetVersion, {std::string(vendor)});
    return upToDate;
}

} // namespace

std::string GetVendorToolPath(TToolVendor vendor, const std::string& tool)
{
    const THostObject manager = GetVendorToolManager();
    if (!manager) return {};
    return manager.CallString(kVendorTools_GetToolPath, {std::string(VendorName(vendor)), tool});
}

std::string GetAlteraToolPath(const std::string& tool) { return GetVendorToolPath(TToolVendor::Altera, tool); }
std::string GetActelToolPath(const std::string& tool) { return GetVendorToolPath(TToolVendor::Actel, tool); }

std::string GetActelAdmFolder()
{
    const std::string path = GetVendorToolPath(TToolVendor::Actel, "Designer");
    if (path.empty()) return {};
    const std::string folder = EnsureTrailingChar(fs::path(path).parent_path().string() + "/../adm", kPathSeparator);
    std::error_code ec;
    return fs::is_directory(folder, ec) ? folder : std::string();
}

bool GetActelVersion(std::string& text)
{
    text.clear();
    const std::string folder = GetActelAdmFolder();
    if (folder.empty()) return false;
    const std::string line = FirstLine(folder + "verinfo");
    if (line.empty() || !ListContains(GetSystemFolder() + "ACTELVersions.Txt", line)) return false;
    text = line;
    return true;
}

bool GetXilinxVersion(std::string& text) { return ManagerVersion("Xilinx", text); }
bool GetLatticeVersion(std::string& text) { return ManagerVersion("Lattice", text); }

std::string GetQuartusVersion()
{
    const std::string path = GetAlteraToolPath("Quartus_Cmd");
    if (path.empty()) return {};
    // .../bin/quartus_cmd -> .../readme.txt
    const fs::path readme = fs::path(path).parent_path().parent_path() / "readme.txt";
    const std::string line = FirstLine(readme.string());
    size_t found = line.find("Version");
    if (found == std::string::npos) found = line.find("Release");
    if (found == std::string::npos) return {};
    const std::string rest = TrimBlanks(found + 7 < line.size() ? line.substr(found + 7) : std::string());
    const size_t blank = rest.find(' ');
    if (blank == std::string::npos) return {};
    const std::string version = rest.substr(0, blank);
    return ListContains(GetSystemFolder() + "AlteraVersions.Txt", version) ? version : std::string();
}

double VersionTextToNumber(const std::string& version)
{
    if (version.empty()) return 100000000.0;
    const size_t dot = version.find('.');
    double place = 1.0;
    const int exponent = dot == std::string::npos ? static_cast<int>(version.size()) - 1
                         : dot == 0                ? -1
                                                   : static_cast<int>(dot) - 1;
    for (int i = 0; i < exponent; ++i) place *= 10.0;
    for (int i = 0; i > exponent; --i) place /= 10.0;
    double value = 0.0;
    for (char c : version) {
        if (c < '0' || c > '9') continue;
        value += (c - '0') * place;
        place /= 10.0;
    }
    return value;
}

double GetQuartusVersionNumber() { return VersionTextToNumber(GetQuartusVersion()); }

std::string GetVendorToolVersion(const std::string& vendor)
{
    std::string text;
    if (vendor == "Xilinx") GetXilinxVersion(text);
    else if (vendor == "Altera") text = GetQuartusVersion();
    else if (vendor == "Lattice") GetLatticeVersion(text);
    else if (vendor == "Actel") GetActelVersion(text);
    return text;
}

bool VendorToolsPresent(const std::string& vendor)
{
    if (SameText(vendor, "Xilinx") || SameText(vendor, "Lattice")) {
        const THostObject manager = GetVendorToolManager();
        return manager && manager.CallBool(kVendorTools_IsInstalled, {SameText(vendor, "Xilinx") ? std::string("Xilinx")
                                                                                                   : std::string("Lattice")});
    }
    if (SameText(vendor, "Altera")) return !GetAlteraToolPath("Quartus_Cmd").empty();
    if (SameText(vendor, "Actel")) return !GetActelToolPath("designer").empty();
    return true;
}

bool VendorToolsUpToDate(const std::string& vendor)
{
    std::string text;
    if (SameText(vendor, "Xilinx")) return GetXilinxVersion(text);
    if (SameText(vendor, "Altera")) return !GetQuartusVersion().empty();
    if (SameText(vendor, "Actel")) return GetActelVersion(text);
    if (SameText(vendor, "Lattice")) return GetLatticeVersion(text);
    return true;
}

std::string VendorToolsDescriptor(const std::string& vendor)
{
    if (SameText(vendor, "Xilinx") || SameText(vendor, "Lattice")) {
        const THostObject manager = GetVendorToolManager();
        if (!manager) return {};
        return manager.CallString(kVendorTools_GetDescriptor,
                                  {SameText(vendor, "Xilinx") ? std::string("Xilinx") : std::string("Lattice")});
    }
    if (SameText(vendor, "Altera")) return "Altera Quartus II";
    if (SameText(vendor, "Actel")) return "ACTEL LiberoIDE";
    return {};
}

} // namespace hostaccess
