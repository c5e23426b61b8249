// The Quartus command-line tools of the stand-in: one program serving
// quartus_map, quartus_fit, quartus_sta, quartus_tan, quartus_asm and
// quartus_cmd, chosen by the name it is started under (the installation's
// bin/ folder holds links of those names) or by a first argument naming the
// tool. See README.md in this folder for command lines, files and reports.
#pragma once

#include <string>
#include <vector>

namespace hostsim::quartus {

struct TInstallation {
    std::string Product = "Quartus II 64-Bit";
    std::string Version = "13.1.0 Build 162 10/23/2013 SJ Web Edition";

    // From the first line of <folder>/readme.txt ("<product> Version <version>");
    // the defaults above when there is no such file or line.
    static TInstallation Read(const std::string& folder);
};

// Runs one tool with its arguments (the program name excluded) in the current
// folder; prints its messages to standard output; answers the exit code:
// 0 on success, 3 when the run had errors.
int RunTool(const std::string& tool, const std::vector<std::string>& arguments, const TInstallation& installation);

// The tool a program name stands for ("quartus_map" -> "map"); empty for none.
std::string ToolOfProgram(const std::string& programName);

} // namespace hostsim::quartus
