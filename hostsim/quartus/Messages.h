// The console messages of a tool run, in the vendor's style:
//   Info: text / Info (12021): text / Warning (10540): text /
//   Critical Warning (332148): text / Error (10500): text
// Sub-messages are indented by four blanks per level and are not counted.
// Every line goes to standard output at once (a build flow reads it as it
// comes) and is kept for the "Messages" section of the tool's report.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace hostsim::quartus {

class TMessages {
public:
    explicit TMessages(std::FILE* out = stdout) : FOut(out) {}

    void Info(const std::string& text, int id = 0, int indent = 0) { Post("Info", text, id, indent); }
    void Warning(const std::string& text, int id = 0, int indent = 0);
    void CriticalWarning(const std::string& text, int id = 0, int indent = 0);
    void Error(const std::string& text, int id = 0, int indent = 0);
    // A line without the counters: the closing "Error: ... was unsuccessful".
    void Plain(const std::string& line);

    int Errors() const { return FErrors; }
    int Warnings() const { return FWarnings; }
    const std::vector<std::string>& Lines() const { return FLines; }
    // "0 errors, 1 warning".
    std::string Counts() const;

private:
    void Post(const char* prefix, const std::string& text, int id, int indent);

    std::FILE* FOut;
    int FErrors = 0;
    int FWarnings = 0;
    std::vector<std::string> FLines;
};

} // namespace hostsim::quartus
