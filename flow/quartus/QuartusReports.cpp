#include "flow/quartus/QuartusReports.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tavrel::quartus {

namespace {

bool ContainsNoCase(const std::string& text, const std::string& part)
{
    return UpperText(text).find(UpperText(part)) != std::string::npos;
}

constexpr std::array<const char*, 11> kFitterResources = {
    "Total logic elements", "Total ALUTs", "Total registers", "I/O pins", "Total memory bits", "Total RAM block bits",
    "DSP block 9-bit elements", "Global clocks", "Logic Cells", "Registers", "DSP"};

std::string NormalizeResourceLine(std::string line)
{
    line = TrimText(line);
    if (!line.empty() && line.front() == ';') line.erase(0, 1);
    if (!line.empty() && line.back() == ';') line.pop_back();
    for (const auto& [from, to] : std::array<std::pair<const char*, const char*>, 5>{
             {{"( ", "("}, {" )", ")"}, {";", "="}, {" %", "%"}, {"     =", " ="}}})
        line = ReplaceAllNoCase(line, from, to);
    return TrimText(line);
}

// Current fitter reports have a third column (the percentage); fold it back
// into the two-column form "used / available (pct)" so the value reads the same.
std::string FoldPercentColumn(const std::string& value)
{
    const size_t second = value.find('=');
    if (second == std::string::npos) return value;
    std::string used = value.substr(0, second);
    while (!used.empty() && static_cast<unsigned char>(used.back()) <= ' ') used.pop_back();
    const std::string percent = TrimText(value.substr(second + 1));
    return percent.empty() ? used : used + " (" + percent + ")";
}

std::string PadLeft(const std::string& text, size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// Takes the next ";"-separated field off the text (empty when there is no ";").
std::string NextField(std::string& text)
{
    text = TrimText(text);
    const size_t semicolon = text.find(';');
    if (semicolon == std::string::npos) return {};
    const std::string field = TrimText(text.substr(0, semicolon));
    text = text.substr(semicolon + 1);
    return field;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void AddUnique(std::vector<std::string>& items, const std::string& item)
{
    for (const std::string& existing : items)
        if (UpperText(existing) == UpperText(item)) return;
    items.push_back(item);
}

std::string CutBeforeParenthesis(const std::string& text)
{
    const size_t open = text.find('(');
    return TrimText(open == std::string::npos ? text : text.substr(0, open));
}

// Splits an item at the separators between its quoted fields only, so a clock
// name holding "|" (every PLL output clock does) stays whole.
std::vector<std::string> SplitQuotedFields(const std::string& item)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t separator = item.find("\"|\"", start);
        if (separator == std::string::npos) {
            parts.push_back(item.substr(start));
            break;
        }
        parts.push_back(item.substr(start, separator + 1 - start));
        start = separator + 2;
    }
    for (std::string& part : parts) {
        if (part.size() >= 2 && part.front() == '"' && part.back() == '"') part = part.substr(1, part.size() - 2);
    }
    return parts;
}

} // namespace

std::string UpperText(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string ReplaceAllNoCase(const std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty()) return text;
    const std::string upperText = UpperText(text), upperFrom = UpperText(from);
    std::string out;
    size_t at = 0;
    while (true) {
        const size_t found = upperText.find(upperFrom, at);
        if (found == std::string::npos) break;
        out.append(text, at, found - at);
        out += to;
        at = found + from.size();
    }
    out.append(text, at, std::string::npos);
    return out;
}

std::string TrimText(const std::string& text)
{
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

std::vector<TSummaryItem> ReadFitterResources(const std::vector<std::string>& lines)
{
    std::vector<TSummaryItem> items;
    bool started = false;
    for (const std::string& raw : lines) {
        if (!started) {
            if (!ContainsNoCase(raw, "; Logic cells") && !ContainsNoCase(raw, "; Fitter Resource Usage Summary")) continue;
            started = true;
        } else if (raw.empty()) {
            break;
        }
        const std::string line = NormalizeResourceLine(raw);
        const std::string upper = UpperText(line);
        if (upper.find("USER") != std::string::npos) continue;
        const bool resource = std::any_of(kFitterResources.begin(), kFitterResources.end(),
                                          [&](const char* name) { return upper.find(UpperText(name)) != std::string::npos; });
        if (!resource) continue;
        const size_t equals = line.find('=');
        std::string name = equals == std::string::npos ? line : line.substr(0, equals);
        std::string value = equals == std::string::npos ? std::string() : FoldPercentColumn(line.substr(equals + 1));
        const size_t slash = value.find('/'), open = value.find('(');
        if (slash != std::string::npos && open != std::string::npos && open > slash) {
            value = PadLeft(value.substr(0, slash + 1), 9) + PadLeft(value.substr(slash + 1, open - slash), 10) +
                    PadLeft(value.substr(open + 1), 4);
        }
        items.push_back({name, value});
    }
    return items;
}

TTimingItems ReadTimeQuestItems(const std::vector<std::string>& lines, double versionNumber)
{
    TTimingItems result;
    bool started = false;
    for (const std::string& line : lines) {
        const bool marked = !line.empty() && line.front() == ';';
        if (!started) {
            started = marked && ContainsNoCase(line, "Fmax Summary");
            continue;
        }
        if (marked && ContainsNoCase(line, "Setup Summary")) break;
        const std::string upper = UpperText(line);
        if (line.empty() || upper.find(';') == std::string::npos || upper.find("; SLOW") != std::string::npos ||
            upper.find("; FMAX") != std::string::npos)
            continue;
        std::string text = TrimText(line);
        if (!text.empty() && text.front() == ';') text.erase(0, 1);
        std::string item;
        if (versionNumber <= 7.2) {
            // Old layout: frequency, then clock.
            const std::string frequency = NextField(text);
            const std::string clock = NextField(text);
            item = Quoted(clock) + "|" + Quoted(frequency + " MHz");
        } else {
            const std::string frequency = NextField(text);
            NextField(text);
            const std::string clock = NextField(text);
            item = Quoted(clock) + "|" + Quoted(frequency);
        }
        result.Found = true;
        AddUnique(result.Items, item);
    }
    return result;
}

TTimingItems ReadClassicItems(const std::vector<std::string>& lines)
{
    TTimingItems result;
    bool started = false;
    for (const std::string& line : lines) {
        if (!started) {
            started = ContainsNoCase(line, "; Timing Analyzer Summary");
            continue;
        }
        if (ContainsNoCase(line, "; Timing Analyzer Settings")) break;
        const std::string upper = UpperText(line);
        if (line.empty() || (upper.find("CLOCK SETUP") == std::string::npos && upper.find("WORST-CASE") == std::string::npos))
            continue;
        std::string text = TrimText(line);
        if (!text.empty() && text.front() == ';') text.erase(0, 1);
        std::string kind = NextField(text);
        std::string item;
        if (ContainsNoCase(kind, "Worst-case")) {
            NextField(text);
            NextField(text);
            item = Quoted(kind) + "|" + Quoted(NextField(text));
        } else if (ContainsNoCase(kind, "Clock Setup") && std::count(kind.begin(), kind.end(), '\'') >= 2) {
            kind.erase(kind.rfind('\''), 1);
            const std::string clock = TrimText(kind.substr(kind.rfind('\'') + 1));
            NextField(text);
            const std::string constraint = CutBeforeParenthesis(NextField(text));
            const std::string achieved = CutBeforeParenthesis(NextField(text));
            item = Quoted(clock) + "|" + Quoted(constraint) + "|" + Quoted(achieved);
            result.Found = true;
        }
        if (!item.empty()) AddUnique(result.Items, item);
    }
    return result;
}

std::string AlignOnUnit(const std::string& value, const std::string& unit)
{
    const size_t found = UpperText(value).find(UpperText(unit));
    if (found == std::string::npos) return value;
    const size_t column = found + 1;
    return column >= 8 ? value : std::string(8 - column, ' ') + value;
}

std::vector<TSummaryItem> TimingSummary(const TTimingItems& items, bool classic)
{
    static const std::array<std::pair<const char*, const char*>, 5> kClassicNames = {{
        {"Worst-case tsu", "Minimum input required time before clock"},
        {"Worst-case tco", "Maximum output delay after clock"},
        {"Worst-case th", "Minimum clock hold time"},
        {"Worst-case tpd", "Maximum point to point delay"},
        {"Worst-case minimum tpd", "Minimum point to point delay"},
    }};
    std::vector<TSummaryItem> summary;
    if (!items.Found) summary.push_back({"No timing constraints.", {}});
    for (const std::string& item : items.Items) {
        if (item.find('|') == std::string::npos) continue;
        const std::vector<std::string> parts = SplitQuotedFields(item);
        if (parts.size() == 2) {
            std::string name = parts[0];
            if (classic)
                for (const auto& [from, to] : kClassicNames) name = ReplaceAllNoCase(name, from, to);
            summary.push_back({name, AlignOnUnit(parts[1], "NS")});
        } else if (parts.size() == 3) {
            summary.push_back({parts[0] + " (Constraint = " + parts[1] + ")", AlignOnUnit(parts[2], "MHZ")});
        }
    }
    return summary;
}

} // namespace tavrel::quartus
