// Shared pieces of the Quartus stand-in tests: a scratch folder holding a copy
// of the blinky example, the staged tools run as the build flow runs them
// (a program path, arguments, the design's folder as working directory), and
// readers of the report sections the flow reads, written after the rules the
// flow's steps follow.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace quartustest {

namespace fs = std::filesystem;

inline const std::string kStage = ARRIA5_STAGE_DIR;   // ends with "/"
inline const std::string kSource = ARRIA5_SOURCE_DIR; // ends with "/"
inline const std::string kBin = kStage + "System/Quartus/bin/";

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

inline std::string Trim(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return text.substr(begin, end - begin);
}

inline std::string Quote(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct TRunResult {
    int ExitCode = -1;
    std::string Output;
    std::vector<std::string> Lines;

    bool Has(const std::string& text) const { return Output.find(text) != std::string::npos; }
    std::string LastSummary() const
    {
        for (auto it = Lines.rbegin(); it != Lines.rend(); ++it)
            if (it->find(" was successful.") != std::string::npos || it->find(" was unsuccessful.") != std::string::npos) return *it;
        return {};
    }
};

// Runs a program with arguments in a folder; standard output and error together.
inline TRunResult RunProgram(const fs::path& folder, const std::string& program, const std::vector<std::string>& arguments)
{
    std::string command = "cd ";
    command += Quote(folder.string());
    command += " && ";
    command += Quote(program);
    for (const std::string& argument : arguments) {
        command += ' ';
        command += Quote(argument);
    }
    command += " 2>&1";
    TRunResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    size_t read;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.Output.append(buffer.data(), read);
    const int status = ::pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Lines = SplitLines(result.Output);
    return result;
}

inline TRunResult Tool(const fs::path& folder, const std::string& tool, const std::vector<std::string>& arguments)
{
    return RunProgram(folder, kBin + tool, arguments);
}

// A fresh folder removed with the test.
class TScratch {
public:
    TScratch()
    {
        std::string pattern = (fs::temp_directory_path() / "quartus-standin-XXXXXX").string();
        Path = ::mkdtemp(pattern.data());
    }
    ~TScratch()
    {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    TScratch(const TScratch&) = delete;
    TScratch& operator=(const TScratch&) = delete;
    fs::path Path;
};

// The example's design files, copied into a folder.
inline void CopyBlinky(const fs::path& folder)
{
    for (const char* file : {"blinky.vhd", "blinky_pll.vhd", "blinky_sta.sdc", "blinky_constraints.tcl"})
        fs::copy_file(kSource + "examples/blinky/" + file, folder / file, fs::copy_options::overwrite_existing);
}

// A project script of the kind the Translate Design step writes, with extra
// assignments placed before the project is closed.
inline std::string ProjectScript(const std::string& extra = {})
{
    return "package require ::quartus::project\n"
           "project_new -overwrite -revision blinky blinky\n"
           "set_global_assignment -name FAMILY \"Arria V\"\n"
           "set_global_assignment -name DEVICE 5AGXFB3H4F35C4\n"
           "set_global_assignment -name TOP_LEVEL_ENTITY blinky\n"
           "set_global_assignment -name STRATIX_JTAG_USER_CODE B1C0FFEE\n"
           "set_global_assignment -name VHDL_FILE blinky.vhd\n"
           "set_global_assignment -name SDC_FILE blinky_sta.sdc\n"
           "source blinky_constraints.tcl\n" +
           extra +
           "project_close\n"
           "file copy -force blinky.qpf blinky.qpf_orig\n";
}

// Copies the example and makes its project with the script; fails the test when that fails.
inline void MakeProject(const fs::path& folder, const std::string& extra = {})
{
    CopyBlinky(folder);
    WriteFile(folder / "blinky_Project.tcl", ProjectScript(extra));
    const TRunResult result = Tool(folder, "quartus_sh", {"-t", "blinky_Project.tcl"});
    ASSERT_EQ(result.ExitCode, 0) << result.Output;
}

// ---- Readers of the report sections the build flow reads -----------------------

inline std::string ReplaceAllNoCase(std::string text, const std::string& from, const std::string& to)
{
    std::string upper = Upper(text);
    const std::string key = Upper(from);
    size_t at = 0;
    while ((at = upper.find(key, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        upper.replace(at, from.size(), Upper(to));
        at += to.size();
    }
    return text;
}

// Resource rows of a fitter report as (name, value) after the normalisation of
// the flow's reader: the section from "; Fitter Resource Usage Summary" to the
// first empty line, ";" turned into "=", rows naming one of the resources.
inline std::vector<std::pair<std::string, std::string>> FitterResources(const std::string& report)
{
    static const char* names[] = {"Total logic elements", "Total ALUTs", "Total registers", "I/O pins",
                                  "Total memory bits", "Total RAM block bits", "DSP block 9-bit elements",
                                  "Global clocks", "Logic Cells", "Registers", "DSP"};
    std::vector<std::pair<std::string, std::string>> rows;
    bool started = false;
    for (const std::string& raw : SplitLines(report)) {
        if (!started) {
            const std::string upper = Upper(raw);
            if (upper.find("; LOGIC CELLS") == std::string::npos && upper.find("; FITTER RESOURCE USAGE SUMMARY") == std::string::npos)
                continue;
            started = true;
        } else if (raw.empty()) {
            break;
        }
        std::string line = Trim(raw);
        if (!line.empty() && line.front() == ';') line.erase(0, 1);
        if (!line.empty() && line.back() == ';') line.pop_back();
        for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
                 {"( ", "("}, {" )", ")"}, {";", "="}, {" %", "%"}, {"     =", " ="}})
            line = ReplaceAllNoCase(line, from, to);
        line = Trim(line);
        const std::string upper = Upper(line);
        if (upper.find("USER") != std::string::npos) continue;
        if (std::none_of(std::begin(names), std::end(names), [&](const char* name) { return upper.find(Upper(name)) != std::string::npos; }))
            continue;
        const size_t equals = line.find('=');
        rows.emplace_back(Trim(line.substr(0, equals)), equals == std::string::npos ? "" : Trim(line.substr(equals + 1)));
    }
    return rows;
}

// Fields of a report row: "; a ; b ; c ;" -> a, b, c.
inline std::vector<std::string> Fields(const std::string& line)
{
    std::string rest = Trim(line);
    if (!rest.empty() && rest.front() == ';') rest.erase(0, 1);
    std::vector<std::string> fields;
    size_t at;
    while ((at = rest.find(';')) != std::string::npos) {
        fields.push_back(Trim(rest.substr(0, at)));
        rest = rest.substr(at + 1);
    }
    return fields;
}

// (clock, Fmax) pairs of a TimeQuest report: the rows between the first
// "Fmax Summary" title and the first "Setup Summary" title.
inline std::vector<std::pair<std::string, std::string>> FmaxRows(const std::string& report)
{
    std::vector<std::pair<std::string, std::string>> rows;
    bool started = false;
    for (const std::string& line : SplitLines(report)) {
        const std::string upper = Upper(line);
        if (!started) {
            started = !line.empty() && line[0] == ';' && upper.find("FMAX SUMMARY") != std::string::npos;
            continue;
        }
        if (!line.empty() && line[0] == ';' && upper.find("SETUP SUMMARY") != std::string::npos) break;
        if (line.empty() || line.find(';') == std::string::npos || upper.find("; SLOW") != std::string::npos ||
            upper.find("; FMAX") != std::string::npos)
            continue;
        const auto fields = Fields(line);
        if (fields.size() >= 3) rows.emplace_back(fields[2], fields[0]);
    }
    return rows;
}

// Candidate rows of a classic timing report: between "; Timing Analyzer Summary"
// and "; Timing Analyzer Settings", the rows naming a clock setup or a worst case.
inline std::vector<std::vector<std::string>> ClassicRows(const std::string& report)
{
    std::vector<std::vector<std::string>> rows;
    bool started = false;
    for (const std::string& line : SplitLines(report)) {
        const std::string upper = Upper(line);
        if (!started) {
            started = upper.find("; TIMING ANALYZER SUMMARY") != std::string::npos;
            continue;
        }
        if (upper.find("; TIMING ANALYZER SETTINGS") != std::string::npos) break;
        if (upper.find("CLOCK SETUP") != std::string::npos || upper.find("WORST-CASE") != std::string::npos)
            rows.push_back(Fields(line));
    }
    return rows;
}

} // namespace quartustest
