#include "hostsim/quartus/Messages.h"

namespace hostsim::quartus {

namespace {

std::string Plural(int count, const char* word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

} // namespace

void TMessages::Warning(const std::string& text, int id, int indent)
{
    if (indent == 0) ++FWarnings;
    Post("Warning", text, id, indent);
}

void TMessages::CriticalWarning(const std::string& text, int id, int indent)
{
    if (indent == 0) ++FWarnings;
    Post("Critical Warning", text, id, indent);
}

void TMessages::Error(const std::string& text, int id, int indent)
{
    if (indent == 0) ++FErrors;
    Post("Error", text, id, indent);
}

void TMessages::Plain(const std::string& line)
{
    FLines.push_back(line);
    std::fputs(line.c_str(), FOut);
    std::fputc('\n', FOut);
    std::fflush(FOut);
}

std::string TMessages::Counts() const { return Plural(FErrors, "error") + ", " + Plural(FWarnings, "warning"); }

void TMessages::Post(const char* prefix, const std::string& text, int id, int indent)
{
    std::string line(static_cast<size_t>(indent) * 4, ' ');
    line += prefix;
    if (id != 0) line += " (" + std::to_string(id) + ")";
    line += ": " + text;
    Plain(line);
}

} // namespace hostsim::quartus
