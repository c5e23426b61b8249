// Pin tables: counts, reference rows, ball names, pairing rules and boundary-scan groups.
#include "devices/arria5/DeviceTables.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace arria5;

namespace {

int StandardId(const char* identifier) {
    for (int i = 0; i < kIOStandardCount; ++i)
        if (std::strcmp(IOStandardIdentifiers[i], identifier) == 0)
            return i;
    ADD_FAILURE() << "no IO standard " << identifier;
    return 0;
}

TIOStandardSet Standards(std::initializer_list<const char*> identifiers) {
    TIOStandardSet set = 0;
    for (const char* id : identifiers)
        set |= TIOStandardSet{1} << StandardId(id);
    return set;
}

const TIOStandardSet kAll = (TIOStandardSet{1} << kIOStandardCount) - 1;
const TIOStandardSet kDevice = kAll & ~Standards({"sDSSTL12", "sSSTL12"});

// Index-th member of a set in ascending id order, -1 past the end.
int NthMember(TIOStandardSet set, int index) {
    for (int id = 0; id < kIOStandardCount; ++id)
        if ((set >> id & 1) && index-- == 0)
            return id;
    return -1;
}

int PinSetOf(const std::string& base, const std::string& package) {
    const std::string file = base + package + ".bsd";
    for (int s = 0; s < kPinSetCount; ++s)
        if (file == BSDLFileNames[s])
            return s;
    return -1;
}

std::string BaseOf(int pinSet) { return std::string(BSDLFileNames[pinSet], 9); }

bool IsUserBank(const std::string& bank) {
    return bank.size() == 2 && bank[0] >= '3' && bank[0] <= '8' && bank[1] >= 'A' && bank[1] <= 'D';
}

bool IsTransceiverBank(const std::string& bank) {
    return bank.size() == 3 && bank[0] == 'B' && bank[1] >= '0' && bank[1] <= '2' && (bank[2] == 'L' || bank[2] == 'R');
}

// Row names of the ball grid: A..Y without I, O, Q, S, X, Z, then AA, AB, ... with the same gaps.
std::vector<std::string> GridRows(int count) {
    const std::string letters = "ABCDEFGHJKLMNPRTUVWY";
    std::vector<std::string> rows;
    for (char c : letters)
        rows.emplace_back(1, c);
    for (char c : letters)
        rows.push_back(std::string("A") + c);
    rows.resize(count);
    return rows;
}

// (row, column) of a ball on a grid of `size`, or (-1, -1) when the name is not on it.
std::pair<int, int> ParseBall(const std::string& ball, int size) {
    const auto rows = GridRows(size);
    const auto digits = ball.find_first_of("0123456789");
    if (digits == std::string::npos || digits == 0 || ball[digits] == '0' ||
        ball.find_first_not_of("0123456789", digits) != std::string::npos)
        return {-1, -1};
    for (int r = 0; r < size; ++r)
        if (rows[r] == ball.substr(0, digits)) {
            const int column = std::stoi(ball.substr(digits));
            return column <= size ? std::pair{r, column - 1} : std::pair{-1, -1};
        }
    return {-1, -1};
}

const int kGridSize[4] = {26, 30, 34, 39};

// ---- Counts ------------------------------------------------------------------

struct CountsRow {
    TPackage Package;
    int32_t Pins, IO, Diff, HSpeedDiff;
    std::vector<const char*> Bases;
};

const std::vector<CountsRow> kCountsRows = {
    {ePackage_F27, 677, 342, 125, 18, {"5AGTMC3D3", "5AGXBA1D4", "5AGXBA1D6", "5AGXBA3D4", "5AGXBA3D6", "5AGXMA1D4", "5AGXMA1D6", "5AGXMA3D4", "5AGXMA3D6"}},
    {ePackage_F27, 677, 342, 156, 18, {"5AGXBA5D4", "5AGXBA5D6", "5AGXBA7D4", "5AGXBA7D6", "5AGXMA5D4", "5AGXMA5D6", "5AGXMA7D4", "5AGXMA7D6"}},
    {ePackage_F31, 901, 390, 180, 18, {"5AGXBA5D4", "5AGXBA5D6", "5AGXBA7D4", "5AGXBA7D6", "5AGXBB1D4", "5AGXBB1D6", "5AGXBB3D4", "5AGXBB3D6"}},
    {ePackage_F31, 901, 396, 180, 36, {"5AGTMC7G3", "5AGTMD3G3", "5AGXMA5G4", "5AGXMA5G6", "5AGXMA7G4", "5AGXMA7G6", "5AGXMB1G4", "5AGXMB1G6", "5AGXMB3G4", "5AGXMB3G6"}},
    {ePackage_F31, 901, 422, 147, 18, {"5AGTMC3D3", "5AGXBA1D4", "5AGXBA1D6", "5AGXBA3D4", "5AGXBA3D6", "5AGXMA1D4", "5AGXMA1D6", "5AGXMA3D4", "5AGXMA3D6"}},
    {ePackage_F31, 901, 450, 128, 18, {"5ASXBB3D4", "5ASXBB3D6", "5ASXBB5D4", "5ASXBB5D6"}},
    {ePackage_F31, 901, 452, 128, 24, {"5ASTMD3E3", "5ASTMD5E3", "5ASXMB3E4", "5ASXMB3E6", "5ASXMB5E4", "5ASXMB5E6"}},
    {ePackage_F35, 1157, 550, 256, 18, {"5AGXBA5D4", "5AGXBA5D6", "5AGXBA7D4", "5AGXBA7D6", "5AGXBB1D4", "5AGXBB1D6", "5AGXBB3D4", "5AGXBB3D6", "5AGXBB5D4", "5AGXBB5D6", "5AGXBB7D4", "5AGXBB7D6"}},
    {ePackage_F35, 1157, 556, 256, 36, {"5AGXMA5G4", "5AGXMA5G6", "5AGXMA7G4", "5AGXMA7G6", "5AGXMB1G4", "5AGXMB1G6", "5AGXMB3G4", "5AGXMB3G6", "5AGXMB5G4", "5AGXMB5G6", "5AGXMB7G4", "5AGXMB7G6"}},
    {ePackage_F35, 1157, 560, 256, 48, {"5AGTFC7H3", "5AGTFD3H3", "5AGTFD7H3", "5AGXFA5H4", "5AGXFA5H6", "5AGXFA7H4", "5AGXFA7H6", "5AGXFB1H4", "5AGXFB1H6", "5AGXFB3H4", "5AGXFB3H6", "5AGXFB5H4", "5AGXFB5H6", "5AGXFB7H4", "5AGXFB7H6"}},
    {ePackage_F35, 1157, 585, 204, 18, {"5ASXBB3D4", "5ASXBB3D6", "5ASXBB5D4", "5ASXBB5D6"}},
    {ePackage_F35, 1157, 591, 204, 36, {"5ASTFD3G3", "5ASTFD5G3", "5ASXFB3G4", "5ASXFB3G6", "5ASXFB5G4", "5ASXFB5G6"}},
    {ePackage_F40, 1522, 710, 336, 18, {"5AGXBB1D4", "5AGXBB1D6", "5AGXBB3D4", "5AGXBB3D6", "5AGXBB5D4", "5AGXBB5D6", "5AGXBB7D4", "5AGXBB7D6"}},
    {ePackage_F40, 1522, 716, 336, 36, {"5AGXMB1G4", "5AGXMB1G6", "5AGXMB3G4", "5AGXMB3G6", "5AGXMB5G4", "5AGXMB5G6", "5AGXMB7G4", "5AGXMB7G6"}},
    {ePackage_F40, 1522, 720, 336, 48, {"5AGTFD3H3", "5AGXFB1H4", "5AGXFB1H6", "5AGXFB3H4", "5AGXFB3H6"}},
    {ePackage_F40, 1522, 728, 336, 72, {"5AGTFD7K3", "5AGXFB5K4", "5AGXFB5K6", "5AGXFB7K4", "5AGXFB7K6"}},
    {ePackage_F40, 1522, 740, 258, 18, {"5ASXBB3D4", "5ASXBB3D6", "5ASXBB5D4", "5ASXBB5D6"}},
    {ePackage_F40, 1522, 746, 258, 36, {"5ASXMB3G4", "5ASXMB3G6", "5ASXMB5G4", "5ASXMB5G6"}},
    {ePackage_F40, 1522, 754, 258, 60, {"5ASTFD3K3", "5ASTFD5K3", "5ASXFB3H4", "5ASXFB3H6", "5ASXFB5H4", "5ASXFB5H6"}},
};

TEST(PinCounts, EveryPinSetHasTheCountsOfItsRow) {
    std::set<int> seen;
    for (const CountsRow& row : kCountsRows) {
        const TPinParameters* shared = nullptr;
        for (const char* base : row.Bases) {
            const int s = PinSetOf(base, Packages[row.Package].Id);
            ASSERT_GE(s, 0) << base << Packages[row.Package].Id;
            SCOPED_TRACE(BSDLFileNames[s]);
            EXPECT_TRUE(seen.insert(s).second);
            const TPinSetParameters& p = PinSets[s];
            EXPECT_EQ(p.PinCount, row.Pins);
            EXPECT_EQ(p.IOCount, row.IO);
            EXPECT_EQ(p.DiffCount, row.Diff);
            EXPECT_EQ(p.HSpeedDiffCount, row.HSpeedDiff);
            EXPECT_EQ(p.Standards, kDevice);
            // One pin-out per row, shared by the row's pin sets.
            if (!shared)
                shared = p.Pins;
            EXPECT_EQ(p.Pins, shared);
            EXPECT_EQ(PinOutOf(s).Pins, p.Pins);
            EXPECT_EQ(PinOutOf(s).PinCount, p.PinCount);
            EXPECT_EQ(PinOutOf(s).Package, row.Package);
        }
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kPinSetCount));
}

TEST(PinCounts, CountsAreTheFlagsOfTheEntries) {
    for (int s = 0; s < kPinSetCount; ++s) {
        const TPinSetParameters& p = PinSets[s];
        int io = 0, diff = 0, hs = 0;
        for (int i = 0; i < p.PinCount; ++i) {
            io += (p.Pins[i].Options & ePinOption_IO) != 0;
            diff += (p.Pins[i].Options & ePinOption_DiffP) != 0;
            hs += (p.Pins[i].Options & ePinOption_HDiffP) != 0;
        }
        EXPECT_EQ(io, p.IOCount) << BSDLFileNames[s];
        EXPECT_EQ(diff, p.DiffCount) << BSDLFileNames[s];
        EXPECT_EQ(hs, p.HSpeedDiffCount) << BSDLFileNames[s];
    }
}

TEST(PinCounts, KindZeroStandards) {
    const TPinSetParameters& p = PinSets[DeviceKinds[0].PinSet];
    EXPECT_EQ(std::popcount(p.Standards), 61);
    EXPECT_STREQ(IOStandards[NthMember(p.Standards, 0)].DisplayName, "LVCMOS 1.2V");
    EXPECT_STREQ(IOStandards[NthMember(p.Standards, 60)].DisplayName, "PCI33_30");
    EXPECT_EQ(NthMember(p.Standards, 61), -1);
}

// ---- Reference rows of 5AGTFC7H3 F35 -------------------------------------------

struct ReferenceRow {
    int Entry;
    const char *Ball, *Bank, *DiffId, *ClkDiffId;
    uint16_t Options;
    TIOStandardSet Standards;
};

TEST(PinTable, ReferenceRowsOfKindZero) {
    const TIOStandardSet pair = kDevice & ~Standards({"sPCML12", "sPCML14", "sPCML15", "sPCML25", "sLVPECL", "sHCSL"});
    const TIOStandardSet vref = Standards({"sLVCMOS12", "sLVCMOS15", "sLVCMOS18", "sLVCMOS25", "sLVCMOS30", "sLVCMOS33",
                                           "sLVTTL12", "sLVTTL15", "sLVTTL18", "sLVTTL25", "sLVTTL30", "sLVTTL33",
                                           "sPCIX_30", "sPCI33_30"});
    const ReferenceRow rows[] = {
        {0, "E33", "", "", "", 0, 0},
        {3, "R27", "B1L", "", "3", ePinOption_IO | ePinOption_CLK | ePinOption_ClkDiffN,
         Standards({"sPCML12", "sPCML14", "sPCML15", "sPCML25", "sLVPECL", "sLVDS", "sHCSL"})},
        {5, "G31", "", "T", "", ePinOption_HDiffN | ePinOption_TransmitDiff, 0},
        {7, "H34", "", "R", "", ePinOption_InputOnly | ePinOption_HDiffP | ePinOption_ReceiveDiff, 0},
        {71, "AM31", "3A", "1", "", ePinOption_IO | ePinOption_DiffP, pair},
        {73, "AP32", "3A", "2", "0", ePinOption_IO | ePinOption_CLK | ePinOption_DiffP | ePinOption_ClkDiffP,
         pair | Standards({"sLVPECL"})},
        {79, "AM30", "3A", "PLL0_CLKOUT", "", ePinOption_IO | ePinOption_CLK | ePinOption_DiffP | ePinOption_DLL, pair},
        {82, "AE27", "3A", "", "", ePinOption_IO | ePinOption_VREF, vref},
    };
    EXPECT_EQ(std::popcount(pair), 55);
    EXPECT_EQ(std::popcount(vref), 14);
    const TPinParameters* pins = PinSets[DeviceKinds[0].PinSet].Pins;
    for (const ReferenceRow& row : rows) {
        SCOPED_TRACE(row.Entry);
        const TPinParameters& p = pins[row.Entry];
        EXPECT_STREQ(p.PinNumber, row.Ball);
        EXPECT_STREQ(p.Bank, row.Bank);
        EXPECT_STREQ(p.DiffId, row.DiffId);
        EXPECT_STREQ(p.ClkDiffId, row.ClkDiffId);
        EXPECT_EQ(p.Options, row.Options);
        EXPECT_EQ(p.Standards, row.Standards);
    }
}

// ---- Balls ---------------------------------------------------------------------

TEST(PinOuts, EveryBallOnceExceptFiveSecondListings) {
    for (int o = 0; o < kPinOutCount; ++o) {
        const TPinOutParameters& po = PinOuts[o];
        SCOPED_TRACE(o);
        const int size = kGridSize[po.Package];
        EXPECT_EQ(po.BallCount, size * size - 4);
        EXPECT_EQ(po.PinCount, po.BallCount + kSecondListingCount);
        std::map<std::string, int> first;
        int seconds = 0;
        for (int i = 0; i < po.PinCount; ++i) {
            const TPinParameters& p = po.Pins[i];
            const auto [row, column] = ParseBall(p.PinNumber, size);
            EXPECT_GE(row, 0) << p.PinNumber;
            const auto [it, isNew] = first.emplace(p.PinNumber, i);
            EXPECT_EQ(po.Info[i].FirstEntry, it->second) << p.PinNumber;
            if (isNew)
                continue;
            // A second listing: the configuration function of a dual-purpose user IO ball.
            ++seconds;
            const TPinParameters& f = po.Pins[it->second];
            EXPECT_STREQ(p.Bank, f.Bank);
            EXPECT_EQ(p.Options, ePinOption_Special);
            EXPECT_EQ(p.Standards, 0u);
            EXPECT_EQ(f.Options, ePinOption_IO | ePinOption_Special);
            EXPECT_EQ(po.Info[i].ScanGroup, po.Info[it->second].ScanGroup);
        }
        EXPECT_EQ(seconds, kSecondListingCount);
        EXPECT_EQ(static_cast<int>(first.size()), po.BallCount);
    }
}

TEST(PinOuts, BallNameParsing) {
    struct Case {
        const char* Ball;
        int Size, Row, Column;
    };
    const Case cases[] = {{"A1", 26, 0, 0},       {"Y26", 26, 19, 25}, {"AF26", 26, 25, 25}, {"AG1", 26, -1, -1},
                          {"AW39", 39, 38, 38}, {"I5", 39, -1, -1},  {"B0", 39, -1, -1},   {"A40", 39, -1, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(ParseBall(c.Ball, c.Size), std::pair(c.Row, c.Column)) << c.Ball;
}

// ---- Roles and pairing -----------------------------------------------------------

TEST(PinOuts, RolesAndPairsAreConsistent) {
    for (int out = 0; out < kPinOutCount; ++out) {
        const TPinOutParameters& po = PinOuts[out];
        SCOPED_TRACE(out);
        std::map<std::pair<std::string, std::string>, std::pair<int, int>> diff, clk;
        int hsP[2] = {}, hsN[2] = {};
        std::map<TPinFunction, int> functions;
        for (int i = 0; i < po.PinCount; ++i) {
            const TPinParameters& p = po.Pins[i];
            const TPinInfo& info = po.Info[i];
            const uint16_t o = p.Options;
            const std::string bank = p.Bank;
            SCOPED_TRACE(p.PinNumber);
            if (info.FirstEntry == i)
                ++functions[info.Function];
            EXPECT_TRUE(bank.empty() || IsUserBank(bank) || IsTransceiverBank(bank)) << bank;
            if (o & ePinOption_IO) {
                EXPECT_NE(p.Standards, 0u);
                EXPECT_EQ(p.Standards & ~kDevice, 0u);
                EXPECT_TRUE(IsUserBank(bank) || (IsTransceiverBank(bank) && info.Function == ePinFunction_RefClk));
            } else {
                EXPECT_EQ(p.Standards, 0u);
            }
            if (o & (ePinOption_DiffP | ePinOption_DiffN)) {
                EXPECT_TRUE(IsUserBank(bank));
                EXPECT_NE(std::string(p.DiffId), "");
                auto& n = diff[{bank, p.DiffId}];
                (o & ePinOption_DiffP ? n.first : n.second)++;
            }
            if (o & (ePinOption_ClkDiffP | ePinOption_ClkDiffN)) {
                EXPECT_TRUE(o & ePinOption_CLK);
                auto& n = clk[{bank, p.ClkDiffId}];
                (o & ePinOption_ClkDiffP ? n.first : n.second)++;
            }
            if (o & (ePinOption_HDiffP | ePinOption_HDiffN)) {
                // Transceiver pins: no bank, pair id "T" (transmit) or "R" (receive, input only).
                const bool tx = std::string(p.DiffId) == "T";
                EXPECT_EQ(bank, "");
                EXPECT_TRUE(tx || std::string(p.DiffId) == "R");
                EXPECT_EQ((o & ePinOption_TransmitDiff) != 0, tx);
                EXPECT_EQ((o & ePinOption_ReceiveDiff) != 0, !tx);
                EXPECT_EQ((o & ePinOption_InputOnly) != 0, !tx);
                (o & ePinOption_HDiffP ? hsP : hsN)[tx]++;
            }
            if (o & ePinOption_VREF) {
                EXPECT_EQ(std::popcount(p.Standards), 14);
            }
            const bool supply = info.Function == ePinFunction_Power || info.Function == ePinFunction_Ground;
            EXPECT_EQ(supply, o == 0 && bank.empty()) << info.Name;
        }
        for (const auto& [key, n] : diff)
            EXPECT_EQ(n, std::pair(1, 1)) << key.first << " pair " << key.second;
        for (const auto& [key, n] : clk)
            EXPECT_EQ(n, std::pair(1, 1)) << key.first << " clock pair " << key.second;
        EXPECT_EQ(hsP[0], hsN[0]);
        EXPECT_EQ(hsP[1], hsN[1]);
        EXPECT_EQ(hsP[0], hsP[1]);
        for (TPinFunction jtag : {ePinFunction_TCK, ePinFunction_TDI, ePinFunction_TDO, ePinFunction_TMS}) {
            EXPECT_EQ(functions[jtag], 1);
            const int e = FindPinFunction(po, jtag);
            ASSERT_GE(e, 0);
            EXPECT_TRUE(po.Pins[e].Options & ePinOption_Special);
            EXPECT_STREQ(po.Pins[e].Bank, "");
        }
    }
}

// ---- Boundary-scan groups ----------------------------------------------------------

TEST(ScanGroups, GroupCountOfTheDie) {
    const std::pair<const char*, int> cases[] = {{"5AGXBA1D4", 496}, {"5AGTFC7H3", 560}, {"5AGXMA7G6", 560},
                                                 {"5AGTMC3D3", 720}, {"5AGTFD7K3", 720}, {"5ASTFD3K3", 823},
                                                 {"5ASTFD5K3", 823}, {"5ASXMB5G6", 823}};
    for (const auto& [base, n] : cases) {
        int found = 0;
        for (int s = 0; s < kPinSetCount; ++s)
            if (BaseOf(s) == base) {
                EXPECT_EQ(ScanGroupCount(s), n) << BSDLFileNames[s];
                ++found;
            }
        EXPECT_GT(found, 0) << base;
    }
}

TEST(ScanGroups, EveryUserIOBallOwnsOneGroupOfItsDie) {
    for (int s = 0; s < kPinSetCount; ++s) {
        SCOPED_TRACE(BSDLFileNames[s]);
        const TPinOutParameters& po = PinOutOf(s);
        const int n = ScanGroupCount(s);
        std::set<std::string> balls;
        std::set<int> groups;
        for (int i = 0; i < po.PinCount; ++i) {
            const TPinParameters& p = po.Pins[i];
            const int group = ScanGroupOf(s, i);
            const bool userIO = po.Info[po.Info[i].FirstEntry].Function == ePinFunction_UserIO;
            EXPECT_EQ(userIO, IsUserBank(p.Bank) && (po.Pins[po.Info[i].FirstEntry].Options & ePinOption_IO))
                << p.PinNumber;
            if (!userIO) {
                EXPECT_EQ(group, -1) << p.PinNumber;
                continue;
            }
            EXPECT_GE(group, 0) << p.PinNumber;
            EXPECT_LT(group, n) << p.PinNumber;
            if (balls.insert(p.PinNumber).second) {
                EXPECT_TRUE(groups.insert(group).second) << p.PinNumber << " shares group " << group;
            }
        }
        EXPECT_LE(static_cast<int>(balls.size()), n);
        EXPECT_EQ(static_cast<int>(balls.size()), po.ScanBallCount);
        EXPECT_LE(n, 823);
        EXPECT_GE(n, po.MinGroupCount);
    }
}

} // namespace
