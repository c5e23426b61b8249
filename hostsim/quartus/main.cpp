// quartus_standin: the Quartus command-line tools of the stand-in installation.
// Started as quartus_map, quartus_fit, quartus_sta, quartus_tan, quartus_asm or
// quartus_cmd (links in the installation's bin/ folder), or as
//   quartus_standin <tool> [arguments]   with <tool> map, fit, sta, tan, asm, cmd
// The installation folder (the one above bin/) holds readme.txt with the version.
#include "hostsim/quartus/StandIn.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    using namespace hostsim::quartus;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string tool = ToolOfProgram(argc > 0 ? argv[0] : "");
    if (tool.empty() && !arguments.empty()) {
        tool = ToolOfProgram(arguments[0]);
        if (tool.empty()) tool = ToolOfProgram("quartus_" + arguments[0]);
        if (!tool.empty()) arguments.erase(arguments.begin());
    }
    if (tool.empty()) {
        std::fputs("Usage: quartus_standin map|fit|sta|tan|asm|cmd [arguments]\n"
                   "       (or start it as quartus_map, quartus_fit, ... through a link of that name)\n",
                   stderr);
        return 3;
    }
    std::error_code ec;
    fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) program = fs::absolute(argv[0], ec);
    return RunTool(tool, arguments, TInstallation::Read(program.parent_path().parent_path().string()));
}
