// Text helpers shared by the option sets and the flow: trimming, ASCII case
// folding, case-insensitive search and replace, and text lists split at line
// breaks the way the option texts are written (CR, LF or CR LF).
#pragma once

#include "plugin/frame/SupportService.h" // SameText

#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

using TStringList = std::vector<std::string>;

// The text without leading and trailing characters with a code up to 32.
std::string TrimText(std::string_view text);
std::string UpperText(std::string_view text);
std::string LowerText(std::string_view text);

// Position of the first occurrence of `needle` in `text`, ASCII letter case
// ignored; npos when absent (an empty needle is found at 0).
size_t FindText(std::string_view text, std::string_view needle);
bool ContainsText(std::string_view text, std::string_view needle);
bool StartsText(std::string_view text, std::string_view prefix);

// Replaces every occurrence of `pattern` (letter case ignored), scanning left to
// right; replaced text is not searched again. An empty pattern changes nothing.
std::string ReplaceTextIgnoreCase(std::string_view text, std::string_view pattern, std::string_view replacement);

// One entry per line; CR, LF and CR LF end a line, and a final line break does
// not add an empty line ("a\r\nb\r\n" gives "a", "b"; "" gives nothing).
TStringList SplitLines(std::string_view text);
// Every entry followed by a line break.
std::string JoinLines(const TStringList& lines);

// Comma-separated entries without surrounding blanks; empty entries are dropped.
// With `lineBreaks`, line breaks separate entries too.
TStringList SplitCommaText(std::string_view text, bool lineBreaks = true);
// Index of the first entry equal to `text` without regard to case, or -1.
int IndexOfText(const TStringList& list, std::string_view text);

} // namespace tavrel
