#include "jtag/AlteraStatusChain.h"

#include <cstring>

namespace arria5jtag {

const TAlteraStatusChainRow AlteraStatusChainRows[] = {
    // Arria V GX/GT, 496 groups.
    {"5AGXBA1D4", 496, 490}, {"5AGXBA1D6", 496, 490}, {"5AGXBA3D4", 496, 490}, {"5AGXBA3D6", 496, 490},
    {"5AGXMA1D4", 496, 490}, {"5AGXMA1D6", 496, 490}, {"5AGXMA3D4", 496, 490}, {"5AGXMA3D6", 496, 490},
    // 560 groups.
    {"5AGTFC7H3", 560, 554}, {"5AGTMC7G3", 560, 554}, {"5AGXBA5D4", 560, 554}, {"5AGXBA5D6", 560, 554},
    {"5AGXBA7D4", 560, 554}, {"5AGXBA7D6", 560, 554}, {"5AGXFA5H4", 560, 554}, {"5AGXFA5H6", 560, 554},
    {"5AGXFA7H4", 560, 554}, {"5AGXFA7H6", 560, 554}, {"5AGXMA5D4", 560, 554}, {"5AGXMA5D6", 560, 554},
    {"5AGXMA5G4", 560, 554}, {"5AGXMA5G6", 560, 554}, {"5AGXMA7D4", 560, 554}, {"5AGXMA7D6", 560, 554},
    {"5AGXMA7G4", 560, 554}, {"5AGXMA7G6", 560, 554},
    // 720 groups.
    {"5AGTFD3H3", 720, 714}, {"5AGTFD7H3", 720, 714}, {"5AGTFD7K3", 720, 714}, {"5AGTMC3D3", 720, 714},
    {"5AGTMD3G3", 720, 714}, {"5AGXBB1D4", 720, 714}, {"5AGXBB1D6", 720, 714}, {"5AGXBB3D4", 720, 714},
    {"5AGXBB3D6", 720, 714}, {"5AGXBB5D4", 720, 714}, {"5AGXBB5D6", 720, 714}, {"5AGXBB7D4", 720, 714},
    {"5AGXBB7D6", 720, 714}, {"5AGXFB1H4", 720, 714}, {"5AGXFB1H6", 720, 714}, {"5AGXFB3H4", 720, 714},
    {"5AGXFB3H6", 720, 714}, {"5AGXFB5H4", 720, 714}, {"5AGXFB5H6", 720, 714}, {"5AGXFB5K4", 720, 714},
    {"5AGXFB5K6", 720, 714}, {"5AGXFB7H4", 720, 714}, {"5AGXFB7H6", 720, 714}, {"5AGXFB7K4", 720, 714},
    {"5AGXFB7K6", 720, 714}, {"5AGXMB1G4", 720, 714}, {"5AGXMB1G6", 720, 714}, {"5AGXMB3G4", 720, 714},
    {"5AGXMB3G6", 720, 714}, {"5AGXMB5G4", 720, 714}, {"5AGXMB5G6", 720, 714}, {"5AGXMB7G4", 720, 714},
    {"5AGXMB7G6", 720, 714},
    // Arria V ST/SX, 823 groups (5ASTFD3K3 and 5ASTFD5K3 have no row).
    {"5ASTFD3G3", 823, 817}, {"5ASTFD5G3", 823, 817}, {"5ASTMD3E3", 823, 817}, {"5ASTMD5E3", 823, 817},
    {"5ASXBB3D4", 823, 817}, {"5ASXBB3D6", 823, 817}, {"5ASXBB5D4", 823, 817}, {"5ASXBB5D6", 823, 817},
    {"5ASXFB3G4", 823, 817}, {"5ASXFB3G6", 823, 817}, {"5ASXFB3H4", 823, 817}, {"5ASXFB3H6", 823, 817},
    {"5ASXFB5G4", 823, 817}, {"5ASXFB5G6", 823, 817}, {"5ASXFB5H4", 823, 817}, {"5ASXFB5H6", 823, 817},
    {"5ASXMB3E4", 823, 817}, {"5ASXMB3E6", 823, 817}, {"5ASXMB3G4", 823, 817}, {"5ASXMB3G6", 823, 817},
    {"5ASXMB5E4", 823, 817}, {"5ASXMB5E6", 823, 817}, {"5ASXMB5G4", 823, 817}, {"5ASXMB5G6", 823, 817},
    // Arria V GZ.
    {"5AGZME1E2", 777, 328}, {"5AGZME1E3", 777, 328}, {"5AGZME1H2", 777, 328}, {"5AGZME1H3", 777, 328},
    {"5AGZME3E2", 777, 328}, {"5AGZME3E3", 777, 328}, {"5AGZME3H2", 777, 328}, {"5AGZME3H3", 777, 328},
    {"5AGZME5H2", 1025, 424}, {"5AGZME5H3", 1025, 424}, {"5AGZME5K2", 1025, 424}, {"5AGZME5K3", 1025, 424},
    {"5AGZME7H2", 1025, 424}, {"5AGZME7H3", 1025, 424}, {"5AGZME7K2", 1025, 424}, {"5AGZME7K3", 1025, 424},
    // Earlier families.
    {"EP1C3", 113, 69},
    {"EP2AGX45C", 433, 42},
    {"EP4CGX15B", 96, 20},
    {"5CEBA2", 288, 234},
};

const int32_t AlteraStatusChainRowCount =
    static_cast<int32_t>(sizeof AlteraStatusChainRows / sizeof AlteraStatusChainRows[0]);

namespace {

bool EqualNoCase(std::string_view a, const char* b)
{
    const size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

} // namespace

bool GetAlteraStatusChainInfo(std::string_view baseName, int32_t& n, int32_t& k)
{
    for (int32_t i = 0; i < AlteraStatusChainRowCount; ++i) {
        const TAlteraStatusChainRow& row = AlteraStatusChainRows[i];
        if (EqualNoCase(baseName, row.BaseName)) {
            n = row.N;
            k = row.K;
            return true;
        }
    }
    n = 0;
    k = 0;
    return false;
}

} // namespace arria5jtag
