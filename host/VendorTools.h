// Vendor tool checks for the four FPGA vendors the host knows, through the
// host's vendor tool manager, and the Quartus version found next to its tools.
#pragma once

#include <string>

namespace hostaccess {

enum class TToolVendor { Altera = 0, Xilinx = 1, Actel = 2, Lattice = 3 };

std::string GetVendorToolPath(TToolVendor vendor, const std::string& tool);
std::string GetAlteraToolPath(const std::string& tool);
std::string GetActelToolPath(const std::string& tool);
std::string GetActelAdmFolder();
bool GetActelVersion(std::string& text);
bool GetXilinxVersion(std::string& text);
bool GetLatticeVersion(std::string& text);

// The installed Quartus version from the readme next to its tools, when the
// host's version list knows it; empty otherwise.
std::string GetQuartusVersion();
double GetQuartusVersionNumber();
double VersionTextToNumber(const std::string& version);

// The installed version text of a vendor ("Xilinx", "Altera", "Lattice", "Actel", exact names).
std::string GetVendorToolVersion(const std::string& vendor);

// The driver's three vendor-tool answers for a vendor name (any letter case);
// other vendors count as present and up to date with an empty descriptor.
bool VendorToolsPresent(const std::string& vendor);
bool VendorToolsUpToDate(const std::string& vendor);
std::string VendorToolsDescriptor(const std::string& vendor);

} // namespace hostaccess
