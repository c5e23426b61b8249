#include "hostsim/quartus/Common.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace hostsim::quartus {

namespace fs = std::filesystem;

std::string Lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string Upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && Lower(a) == Lower(b); }

bool StartsWithText(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool ContainsText(std::string_view text, std::string_view part)
{
    return Lower(text).find(Lower(part)) != std::string::npos;
}

std::string Trim(std::string_view text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return std::string(text.substr(begin, end - begin));
}

bool GlobMatch(std::string_view pattern, std::string_view text)
{
    size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], text[t])))) {
            ++p, ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw TToolError("Can't read file " + path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw TToolError("Can't read file " + path);
    return text.str();
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

void WriteFileAtomically(const std::string& path, std::string_view content)
{
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (out) out.flush();
        if (!out) {
            const std::string reason = std::strerror(errno);
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw TToolError("Can't write file " + path + ": " + reason);
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw TToolError("Can't write file " + path + ": " + ec.message());
    }
}

std::string Thousands(int64_t value)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string result;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) result += ',';
        result += digits[i];
    }
    return value < 0 ? "-" + result : result;
}

std::string Percent(int64_t used, int64_t available)
{
    if (available <= 0) return "0 %";
    if (used > 0 && used * 100 < available) return "< 1 %";
    return std::to_string((used * 100 + available / 2) / available) + " %";
}

uint32_t Hash(std::string_view text, uint32_t seed)
{
    uint32_t hash = seed;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

double Jitter(uint32_t hash, std::string_view salt)
{
    uint32_t mixed = Hash(salt, hash ^ 0x9E3779B9u);
    mixed ^= mixed >> 15;
    mixed *= 0x2C1B3C6Du;
    mixed ^= mixed >> 12;
    return static_cast<double>(mixed % 100000u) / 100000.0;
}

} // namespace hostsim::quartus
