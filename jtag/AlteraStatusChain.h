// Configuration status chain of Altera devices. Reading the configuration-done
// status means selecting CHECK_STATUS and shifting to one bit of a chain of
// 3 x N cells; the table below gives N and the group K that holds the status,
// keyed by the device's base name.
#pragma once

#include <cstdint>
#include <string_view>

namespace arria5jtag {

struct TAlteraStatusChainRow {
    const char* BaseName; // key, compared without regard to case
    int32_t N;            // three-cell groups of the status chain
    int32_t K;            // group of the configuration-done status
};

// The rows known to this library: every Arria V base name that has a row, the
// 5AGZ rows, and a few rows of earlier families. Keys are unique.
extern const TAlteraStatusChainRow AlteraStatusChainRows[];
extern const int32_t AlteraStatusChainRowCount;

// Looks the base name up (ASCII case folding, first equal row). When found, sets
// N and K and returns true; otherwise sets both to 0 and returns false.
bool GetAlteraStatusChainInfo(std::string_view baseName, int32_t& n, int32_t& k);

} // namespace arria5jtag
