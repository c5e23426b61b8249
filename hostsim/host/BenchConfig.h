// What a bench is made of: the JTAG chain (simulated Arria V kinds and plain
// bypass devices), the design (projects and their documents), the vendor tools
// and the device-family parameters. Read from a JSON file; a built-in default
// gives a useful desk bench without any file.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace hostsim {

class TBenchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TBenchDevice {
    bool IsArria5 = true;
    int32_t Kind = 0;         // Arria V kind index when IsArria5
    uint32_t IdCode = 0;      // other devices: their IDCODE (0: bypass only)
    int32_t IrLength = 10;    // other devices: their instruction length
    std::string Name;         // other devices: a label
};

struct TBenchProject {
    std::string Path;                   // absolute
    std::vector<std::string> Documents; // absolute
    std::string UserId;                 // the project's user identifier ("userid"), e.g. "0xCAFE1234"
};

// Names compare without regard to case where the host does (tools, families).
struct TBenchConfig {
    std::string Source = "(built-in bench)";
    std::vector<TBenchDevice> Chain;
    std::vector<TBenchProject> Projects;
    std::map<std::string, std::map<std::string, std::string>> VendorTools; // vendor -> tool -> path
    std::map<std::string, std::string> VendorVersions;
    std::map<std::string, std::map<std::string, std::string>> FamilyParameters; // family -> name -> value
    std::string RemoteBitbang; // "host:port": drive that server instead of the simulated chain
    bool SilentMode = false;

    // Three devices: two Arria V kinds around a bypass-only device.
    static TBenchConfig Default();
    // Throws TBenchError naming the file, line and column of what is wrong.
    static TBenchConfig Load(const std::string& path);
    static TBenchConfig Parse(const std::string& text, const std::string& source, const std::string& baseFolder);
};

// Kind index for a full part name (any letter case) or a decimal index; -1 when unknown.
int32_t FindArria5Kind(const std::string& text);

} // namespace hostsim
