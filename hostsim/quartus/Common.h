// Shared pieces of the Quartus stand-in programs: the error type that becomes
// an "Error (id): ..." line, text helpers, whole-file reading and writing, and
// the hash that makes every figure a tool reports a function of the design.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace hostsim::quartus {

// A fault that ends the running tool; printed as "Error (Id): message" (Id 0: "Error: message").
class TToolError : public std::runtime_error {
public:
    TToolError(int id, const std::string& message) : std::runtime_error(message), Id(id) {}
    explicit TToolError(const std::string& message) : TToolError(0, message) {}
    int Id;
};

std::string Lower(std::string_view text);
std::string Upper(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
bool StartsWithText(std::string_view text, std::string_view prefix); // without regard to case
bool ContainsText(std::string_view text, std::string_view part);     // without regard to case
std::string Trim(std::string_view text);
// Glob match without regard to case: "*" any run, "?" one character; brackets are plain.
bool GlobMatch(std::string_view pattern, std::string_view text);

// Whole file as text; TToolError naming the file when it cannot be read.
std::string ReadTextFile(const std::string& path);
bool FileExists(const std::string& path);
// Writes the whole file or nothing: a temporary file renamed over the target.
void WriteFileAtomically(const std::string& path, std::string_view content);

// 1234567 -> "1,234,567".
std::string Thousands(int64_t value);
// "12 %", "< 1 %" for a share of a capacity.
std::string Percent(int64_t used, int64_t available);

// FNV-1a, for deterministic figures.
uint32_t Hash(std::string_view text, uint32_t seed = 2166136261u);
// A deterministic fraction in [0, 1) from a hash and a salt.
double Jitter(uint32_t hash, std::string_view salt);

} // namespace hostsim::quartus
