#include "options/TextLines.h"

#include "plugin/frame/SupportService.h"

namespace tavrel {

namespace {

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

} // namespace

std::string TrimText(std::string_view text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

std::string UpperText(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return result;
}

std::string LowerText(std::string_view text)
{
    std::string result(text);
    for (char& c : result) c = FoldCase(c);
    return result;
}

size_t FindText(std::string_view text, std::string_view needle)
{
    if (needle.empty()) return 0;
    if (needle.size() > text.size()) return std::string_view::npos;
    const char first = FoldCase(needle[0]);
    for (size_t i = 0, end = text.size() - needle.size(); i <= end; ++i) {
        if (FoldCase(text[i]) != first) continue;
        size_t k = 1;
        while (k < needle.size() && FoldCase(text[i + k]) == FoldCase(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

bool ContainsText(std::string_view text, std::string_view needle)
{
    return FindText(text, needle) != std::string_view::npos;
}

bool StartsText(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::string ReplaceTextIgnoreCase(std::string_view text, std::string_view pattern, std::string_view replacement)
{
    if (pattern.empty()) return std::string(text);
    std::string result;
    size_t start = 0;
    while (true) {
        const size_t found = FindText(text.substr(start), pattern);
        if (found == std::string_view::npos) break;
        result.append(text.substr(start, found));
        result.append(replacement);
        start += found + pattern.size();
    }
    if (start == 0) return std::string(text);
    result.append(text.substr(start));
    return result;
}

TStringList SplitLines(std::string_view text)
{
    TStringList lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        lines.emplace_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r') ++end;
        if (end < text.size() && text[end] == '\n') ++end;
        start = end;
    }
    return lines;
}

std::string JoinLines(const TStringList& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

TStringList SplitCommaText(std::string_view text, bool lineBreaks)
{
    TStringList entries;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        auto separates = [&](char c) { return c == ',' || (lineBreaks && (c == '\r' || c == '\n')); };
        while (end < text.size() && !separates(text[end])) ++end;
        std::string entry = TrimText(text.substr(start, end - start));
        if (!entry.empty()) entries.push_back(std::move(entry));
        start = end + 1;
    }
    return entries;
}

int IndexOfText(const TStringList& list, std::string_view text)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (SameText(list[i], text)) return static_cast<int>(i);
    return -1;
}

} // namespace tavrel
