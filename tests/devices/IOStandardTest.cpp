// IO standard table, slew and drive-strength names.
#include "devices/arria5/DeviceTables.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

using namespace arria5;

namespace {

std::vector<std::string> Members(uint32_t set, const char* const* names, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        if (set >> i & 1)
            out.push_back(names[i]);
    return out;
}

struct StandardCase {
    int Id;
    const char *Identifier, *DisplayName, *ParamName;
    bool Differential;
    std::vector<std::string> Slews, Drives;
};

void PrintTo(const StandardCase& c, std::ostream* os) { *os << c.Identifier; }

class IOStandardRows : public testing::TestWithParam<StandardCase> {};

TEST_P(IOStandardRows, Match) {
    const StandardCase& c = GetParam();
    const TDeviceIOStandardParameters& s = IOStandards[c.Id];
    EXPECT_STREQ(IOStandardIdentifiers[c.Id], c.Identifier);
    EXPECT_STREQ(s.DisplayName, c.DisplayName);
    EXPECT_STREQ(s.ParamName, c.ParamName);
    EXPECT_EQ(s.Differential, c.Differential);
    EXPECT_EQ(Members(s.SlewRates, SlewNames, kSlewNameCount), c.Slews);
    EXPECT_EQ(Members(s.DriveStrengths, DriveStrengthNames, kDriveStrengthNameCount), c.Drives);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IOStandardRows,
    testing::Values(
        StandardCase{0, "sLVCMOS12", "LVCMOS 1.2V", "LVCMOS12", false, {"SLOW", "FAST"}, {"2mA", "4mA", "6mA", "8mA"}},
        StandardCase{5, "sLVCMOS33", "LVCMOS 3.3V", "LVCMOS33", false, {"SLOW", "FAST"}, {"2mA"}},
        StandardCase{22, "sDSSTL25I", "Differential 2.5-V SSTL Class I", "DSSTL25I", true, {"SLOW", "FAST"},
                     {"8mA", "10mA", "12mA"}},
        StandardCase{23, "sDSSTL25II", "Differential 2.5-V SSTL Class II", "DSSTL25II", true, {"SLOW", "FAST"},
                     {"16mA"}},
        StandardCase{40, "sDSSTL15", "DSSTL 1.5V", "DSSTL15", false, {}, {}},
        StandardCase{53, "sLVDS", "LVDS", "LVDS", true, {}, {}},
        StandardCase{60, "sHCSL", "HCSL", "HCSL", false, {}, {}},
        StandardCase{61, "sPCIX_30", "PCIX_30", "PCIX_30", false, {}, {}},
        StandardCase{62, "sPCI33_30", "PCI33_30", "PCI33_30", false, {}, {}}),
    [](const testing::TestParamInfo<StandardCase>& info) { return std::string(info.param.Identifier); });

TEST(IOStandards, NamesAreDistinctAndFlagsCount) {
    std::set<std::string> display, param, identifiers;
    int differential = 0, withSlews = 0;
    for (int i = 0; i < kIOStandardCount; ++i) {
        display.insert(IOStandards[i].DisplayName);
        param.insert(IOStandards[i].ParamName);
        identifiers.insert(IOStandardIdentifiers[i]);
        EXPECT_EQ(std::string("s") + IOStandards[i].ParamName, IOStandardIdentifiers[i]);
        differential += IOStandards[i].Differential;
        withSlews += IOStandards[i].SlewRates != 0;
        EXPECT_EQ(IOStandards[i].SlewRates == 0, IOStandards[i].DriveStrengths == 0) << IOStandards[i].ParamName;
    }
    EXPECT_EQ(display.size(), static_cast<size_t>(kIOStandardCount));
    EXPECT_EQ(param.size(), static_cast<size_t>(kIOStandardCount));
    EXPECT_EQ(identifiers.size(), static_cast<size_t>(kIOStandardCount));
    EXPECT_EQ(differential, 27);
    EXPECT_EQ(withSlews, 36);
}

TEST(IOStandards, SlewAndDriveNamesInBitOrder) {
    const std::vector<std::string> slews(SlewNames, SlewNames + kSlewNameCount);
    EXPECT_EQ(slews, (std::vector<std::string>{"SLOW", "FAST", "VERY_SLOW"}));
    const std::vector<std::string> drives(DriveStrengthNames, DriveStrengthNames + kDriveStrengthNameCount);
    EXPECT_EQ(drives, (std::vector<std::string>{"2mA", "3mA", "4mA", "6mA", "7mA", "8mA", "10mA", "12mA", "14mA",
                                                "16mA", "17mA", "18mA", "20mA", "24mA", "3.5mA", "5mA", "15mA",
                                                "21mA", "25mA", "33mA", "35mA"}));
}

} // namespace
