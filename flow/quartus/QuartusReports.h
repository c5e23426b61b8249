// Reading the Quartus reports into the summary items a host shows: the
// fitter's resource usage and the timing analysers' clock and delay figures.
#pragma once

#include <string>
#include <vector>

namespace tavrel::quartus {

struct TSummaryItem {
    std::string Name;
    std::string Value;
};

// The resource lines of the fitter report, normalised and aligned so that the
// used / available / percentage columns line up from row to row.
std::vector<TSummaryItem> ReadFitterResources(const std::vector<std::string>& lines);

// Timing items as "name"|"value" or "name"|"constraint"|"value" entries, and
// whether any clock row was found.
struct TTimingItems {
    std::vector<std::string> Items;
    bool Found = false;
};
// TimeQuest report: the Fmax summary section. versionNumber decides the column layout.
TTimingItems ReadTimeQuestItems(const std::vector<std::string>& lines, double versionNumber);
// Classic analyser report: the Timing Analyzer Summary section.
TTimingItems ReadClassicItems(const std::vector<std::string>& lines);
// The summary items made of the entries (classic names are renamed), including
// "No timing constraints." when no clock row was found.
std::vector<TSummaryItem> TimingSummary(const TTimingItems& items, bool classic);

// Prefixes blanks so that the unit starts in column 8; values without it stay.
std::string AlignOnUnit(const std::string& value, const std::string& unit);
// Removes surrounding characters with codes up to 32.
std::string TrimText(const std::string& text);
// The text in ASCII upper case.
std::string UpperText(std::string text);
// Replaces every occurrence, scanning once from the left, without regard to case.
std::string ReplaceAllNoCase(const std::string& text, const std::string& from, const std::string& to);

inline constexpr const char* kResourceSection = "Device Resources - Usage Summary";
inline constexpr const char* kTimingSection = "Design Statistics - Timing Summary";

} // namespace tavrel::quartus
