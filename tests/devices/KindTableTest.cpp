// Device kind, base-name, resource and dimension tables.
#include "devices/arria5/DeviceTables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <ostream>
#include <set>
#include <string>

using namespace arria5;

namespace {

TEST(KindTable, WorkedExampleKindZero) {
    const TDeviceParameters& k = DeviceKinds[0];
    EXPECT_EQ(k.Kind, 0);
    EXPECT_STREQ(k.FullName, "5AGTFC7H3F35I3N");
    EXPECT_EQ(k.IdCode, 0x02A020DDu);
    EXPECT_STREQ(BaseNames[k.BaseName].Name, "5AGTFC7H3");
    EXPECT_EQ(BaseNames[k.BaseName].EquivalentGates, 242000);
    EXPECT_EQ(BaseNames[k.BaseName].MaxIO, 544);
    EXPECT_EQ(k.Package, ePackage_F35);
    EXPECT_STREQ(Packages[k.Package].Id, "F35");
    EXPECT_STREQ(Packages[k.Package].Name, "FBGA1152");
    EXPECT_STREQ(Packages[k.Package].Dimensions, "35 x 35 mm");
    EXPECT_EQ(k.PackageType, ePackageType_F);
    EXPECT_EQ(k.TemperatureGrade, eTemperatureGrade_I);
    EXPECT_STREQ(TemperatureGrades[k.TemperatureGrade].Name, "Industrial");
    EXPECT_EQ(k.SpeedGrade, eSpeedGrade_3);
    EXPECT_STREQ(SpeedGrades[k.SpeedGrade].Description, "Speed Grade 3 (Fastest)");
    EXPECT_EQ(k.OptionDesignator, eOptionDesignator_N);
    EXPECT_STREQ(OptionDesignators[k.OptionDesignator].Description, "Pb-Free");
    EXPECT_STREQ(k.BSDL, "5AGTFC7H3F35.bsd");
    EXPECT_EQ(k.PinSet, 0);
    EXPECT_EQ(k.DevicePackage, 0);
    EXPECT_EQ(k.InstructionLength, 10);
    const TDeviceResourceParameters& r = DeviceResources[k.DevicePackage];
    EXPECT_EQ(r.DSPMultiplierCount, 1600);
    EXPECT_EQ(r.ClockManagerCount, 12);
    EXPECT_EQ(r.MemorySize, 13660);
    EXPECT_TRUE(r.TerminationSupport);
    EXPECT_EQ(r.GlobalClockCount, 16);
    EXPECT_EQ(r.ConfigMemorySize, 101740640);
}

TEST(KindTable, LastKind) {
    const TDeviceParameters& k = DeviceKinds[324];
    EXPECT_STREQ(k.FullName, "5ASXMB5G6F40C6N");
    EXPECT_EQ(k.IdCode, 0x02D030DDu);
    EXPECT_STREQ(Packages[k.Package].Id, "F40");
    EXPECT_STREQ(Packages[k.Package].Description, "1517-Ball FIneLine Ball Grid Array(FBGA1517)");
    EXPECT_EQ(k.TemperatureGrade, eTemperatureGrade_C);
    EXPECT_EQ(k.SpeedGrade, eSpeedGrade_6);
    EXPECT_STREQ(k.BSDL, "5ASXMB5G6F40.bsd");
    EXPECT_EQ(k.PinSet, kPinSetCount - 1);
    EXPECT_EQ(BaseNames[k.BaseName].MaxIO, 528);
    EXPECT_EQ(DeviceResources[k.DevicePackage].DSPMultiplierCount, 2180);
}

// One base name of each die row, with the rows that differ only in part.
struct DieCase {
    const char* Base;
    uint32_t IdCode;
    int32_t Gates, MaxIO, Dsp, ClockManagers, Memory, ConfigMemory;
};

void PrintTo(const DieCase& c, std::ostream* os) { *os << c.Base; }

class DieValues : public testing::TestWithParam<DieCase> {};

TEST_P(DieValues, EveryKindOfTheBaseCarriesThem) {
    const DieCase& c = GetParam();
    int kinds = 0;
    for (const TDeviceParameters& k : DeviceKinds) {
        if (std::strcmp(BaseNames[k.BaseName].Name, c.Base) != 0)
            continue;
        ++kinds;
        SCOPED_TRACE(k.FullName);
        EXPECT_EQ(k.IdCode, c.IdCode);
        EXPECT_EQ(BaseNames[k.BaseName].EquivalentGates, c.Gates);
        EXPECT_EQ(BaseNames[k.BaseName].MaxIO, c.MaxIO);
        const TDeviceResourceParameters& r = DeviceResources[k.DevicePackage];
        EXPECT_EQ(r.DSPMultiplierCount, c.Dsp);
        EXPECT_EQ(r.ClockManagerCount, c.ClockManagers);
        EXPECT_EQ(r.MemorySize, c.Memory);
        EXPECT_EQ(r.ConfigMemorySize, c.ConfigMemory);
    }
    EXPECT_GT(kinds, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DieValues,
    testing::Values(DieCase{"5AGXMA1D6", 0x02A110DD, 75000, 416, 480, 10, 8000, 71015552},
                    DieCase{"5AGTMC3D3", 0x02A010DD, 156000, 416, 792, 10, 10510, 71015552},
                    DieCase{"5AGXFA5H4", 0x02A120DD, 190000, 544, 1200, 12, 11800, 101740640},
                    DieCase{"5AGTMC7G3", 0x02A020DD, 242000, 544, 1600, 12, 13660, 101740640},
                    DieCase{"5AGXMB1G6", 0x02A130DD, 300000, 704, 1840, 12, 15100, 137784928},
                    DieCase{"5AGTFD3H3", 0x02A030DD, 362000, 704, 792, 12, 17260, 137784928},
                    DieCase{"5AGXBB3D4", 0x02A030DD, 362000, 704, 2090, 12, 17260, 137784928},
                    DieCase{"5AGXFB5K6", 0x02A160DD, 420000, 704, 2184, 16, 20540, 185915648},
                    DieCase{"5AGTFD7K3", 0x02A060DD, 504000, 704, 2312, 16, 24140, 185915648},
                    DieCase{"5ASTFD3K3", 0x02D130DD, 350000, 528, 1618, 14, 17290, 185903520},
                    DieCase{"5ASTFD5K3", 0x02D030DD, 462000, 540, 2180, 14, 22820, 185903520},
                    DieCase{"5ASXMB5E6", 0x02D030DD, 462000, 528, 2180, 14, 22820, 185903520}),
    [](const testing::TestParamInfo<DieCase>& info) { return std::string(info.param.Base); });

TEST(KindTable, Kind72IsA5AGXBB3D4) {
    EXPECT_STREQ(DeviceKinds[72].FullName, "5AGXBB3D4F31C4N");
    EXPECT_EQ(DeviceKinds[72].IdCode, 0x02A030DDu);
}

TEST(KindTable, FieldsFollowTheFullName) {
    std::set<std::string> bsdl;
    for (int i = 0; i < kDeviceKindCount; ++i) {
        const TDeviceParameters& k = DeviceKinds[i];
        SCOPED_TRACE(k.FullName);
        EXPECT_EQ(k.Kind, i);
        const std::string expected = std::string(BaseNames[k.BaseName].Name) + Packages[k.Package].Id +
                                     TemperatureGrades[k.TemperatureGrade].Id + SpeedGrades[k.SpeedGrade].Id +
                                     OptionDesignators[k.OptionDesignator].Id;
        EXPECT_EQ(expected, k.FullName);
        EXPECT_EQ(std::string(k.BSDL), std::string(BaseNames[k.BaseName].Name) + Packages[k.Package].Id + ".bsd");
        EXPECT_STREQ(BSDLFileNames[k.PinSet], k.BSDL);
        EXPECT_EQ(k.DevicePackage, k.PinSet);
        EXPECT_EQ(k.PackageType, ePackageType_F);
        EXPECT_EQ(k.InstructionLength, 10);
        EXPECT_NE(k.OptionDesignator, eOptionDesignator_None);
        bsdl.insert(k.BSDL);
    }
    EXPECT_EQ(bsdl.size(), static_cast<size_t>(kPinSetCount));
}

TEST(KindTable, EngineeringSamples) {
    const std::set<int> esn = {8, 11, 122, 125, 128, 131, 133, 135, 219, 222, 230, 256, 258, 305, 308};
    for (int i = 0; i < kDeviceKindCount; ++i) {
        const TDeviceParameters& k = DeviceKinds[i];
        const bool isEsn = esn.count(i) != 0;
        EXPECT_EQ(std::string(k.FullName).ends_with("ESN"), isEsn) << k.FullName;
        const TDimensionParameters& o = OptionDesignators[k.OptionDesignator];
        EXPECT_STREQ(o.Id, isEsn ? "ESN" : "N") << k.FullName;
        EXPECT_STREQ(o.Description, isEsn ? "Engineering sample and Pb-Free" : "Pb-Free") << k.FullName;
    }
}

TEST(KindTable, BaseNamesAndPinSetsAreSortedAndUsed) {
    for (int i = 1; i < kBaseNameCount; ++i)
        EXPECT_LT(std::strcmp(BaseNames[i - 1].Name, BaseNames[i].Name), 0) << BaseNames[i].Name;
    for (int i = 1; i < kPinSetCount; ++i)
        EXPECT_LT(std::strcmp(BSDLFileNames[i - 1], BSDLFileNames[i]), 0) << BSDLFileNames[i];
    EXPECT_STREQ(BSDLFileNames[0], "5AGTFC7H3F35.bsd");
    EXPECT_STREQ(BSDLFileNames[kPinSetCount - 1], "5ASXMB5G6F40.bsd");

    std::set<int> bases, pinSets;
    std::map<int, uint32_t> idOfBase;
    for (const TDeviceParameters& k : DeviceKinds) {
        bases.insert(k.BaseName);
        pinSets.insert(k.PinSet);
        EXPECT_EQ(idOfBase.emplace(k.BaseName, k.IdCode).first->second, k.IdCode) << k.FullName;
    }
    EXPECT_EQ(bases.size(), static_cast<size_t>(kBaseNameCount));
    EXPECT_EQ(pinSets.size(), static_cast<size_t>(kPinSetCount));
    for (const TDeviceResourceParameters& r : DeviceResources) {
        EXPECT_TRUE(r.TerminationSupport);
        EXPECT_EQ(r.GlobalClockCount, 16);
    }
}

TEST(DimensionTables, ExactTexts) {
    struct Row {
        const TDimensionParameters& Entry;
        const char *Id, *Name, *Description;
    };
    const Row rows[] = {
        {PackageTypes[0], "F", "FBGA", "FineLine Ball Grid Array (F)"},
        {TemperatureGrades[0], "C", "Commercial", "Commercial Grade"},
        {TemperatureGrades[1], "I", "Industrial", "Industrial Grade"},
        {SpeedGrades[0], "3", "3", "Speed Grade 3 (Fastest)"},
        {SpeedGrades[1], "4", "4", "Speed Grade 4"},
        {SpeedGrades[2], "5", "5", "Speed Grade 5"},
        {SpeedGrades[3], "6", "6", "Speed Grade 6 (Slowest)"},
        {OptionDesignators[0], "ESN", "ESN", "Engineering sample and Pb-Free"},
        {OptionDesignators[1], "N", "N", "Pb-Free"},
        {OptionDesignators[2], "None", "Standard", "Standard Configuration"},
    };
    for (const Row& r : rows) {
        EXPECT_STREQ(r.Entry.Id, r.Id);
        EXPECT_STREQ(r.Entry.Name, r.Name);
        EXPECT_STREQ(r.Entry.Description, r.Description);
    }
    const TPackageParameters packages[] = {
        {"F27", "FBGA672", "672-Ball FineLine Ball Grid Array (FBGA672)", "27 x 27 mm"},
        {"F31", "FBGA896", "896-Ball FineLine Ball Grid Array (FBGA896)", "31 x 31 mm"},
        {"F35", "FBGA1152", "1152-Ball FineLine Ball Grid Array (FBGA1152)", "35 x 35 mm"},
        {"F40", "FBGA1517", "1517-Ball FIneLine Ball Grid Array(FBGA1517)", "40 x 40 mm"},
    };
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(Packages[i].Id, packages[i].Id);
        EXPECT_STREQ(Packages[i].Name, packages[i].Name);
        EXPECT_STREQ(Packages[i].Description, packages[i].Description);
        EXPECT_STREQ(Packages[i].Dimensions, packages[i].Dimensions);
    }
}

} // namespace
