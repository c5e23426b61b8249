// The status-chain table and how the simulated devices use it.
#include "BenchSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace benchtest;

TEST(StatusChain, LookupIsCaseInsensitiveAndReportsMissingNames)
{
    struct TCase {
        const char* Name;
        bool Found;
        int32_t N, K;
    };
    const TCase cases[] = {
        {"5AGXFB3H4", true, 720, 714}, {"5agxfb3h4", true, 720, 714}, {"5AGXBA1D4", true, 496, 490},
        {"5AGTFC7H3", true, 560, 554}, {"5ASXMB5G6", true, 823, 817}, {"5AGZME1E2", true, 777, 328},
        {"5AGZME7K3", true, 1025, 424}, {"EP1C3", true, 113, 69},     {"ep2agx45c", true, 433, 42},
        {"EP4CGX15B", true, 96, 20},   {"5CEBA2", true, 288, 234},    {"5ASTFD3K3", false, 0, 0},
        {"5ASTFD5K3", false, 0, 0},    {"5AGXFB3H", false, 0, 0},     {"5AGXFB3H44", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const TCase& c : cases) {
        int32_t n = -1, k = -1;
        EXPECT_EQ(arria5jtag::GetAlteraStatusChainInfo(c.Name, n, k), c.Found) << c.Name;
        EXPECT_EQ(n, c.N) << c.Name;
        EXPECT_EQ(k, c.K) << c.Name;
    }
    std::set<std::string> keys;
    for (int32_t i = 0; i < arria5jtag::AlteraStatusChainRowCount; ++i)
        EXPECT_TRUE(keys.insert(arria5jtag::AlteraStatusChainRows[i].BaseName).second)
            << arria5jtag::AlteraStatusChainRows[i].BaseName;
    EXPECT_EQ(arria5jtag::AlteraStatusChainRowCount, 99 + 4);
}

TEST(StatusChain, EverySimulatedKindHasTheBoundaryOfItsDie)
{
    // The simulated device's 3 x N registers match the die's boundary-scan groups
    // for every kind, including the two base names without a table row.
    for (int32_t kind = 0; kind < arria5::kDeviceKindCount; ++kind) {
        const arria5::TDeviceParameters& parameters = arria5::DeviceKinds[kind];
        const char* base = arria5::BaseNames[parameters.BaseName].Name;
        int32_t n = 0, k = 0;
        const bool inTable = arria5jtag::GetAlteraStatusChainInfo(base, n, k);
        EXPECT_EQ(inTable, std::string(base) != "5ASTFD3K3" && std::string(base) != "5ASTFD5K3") << base;
        TArria5Device device(kind);
        EXPECT_EQ(device.StatusGroups(), arria5::ScanGroupCount(parameters.PinSet)) << parameters.FullName;
        EXPECT_EQ(device.BoundaryLength(), 3 * arria5::ScanGroupCount(parameters.PinSet));
        EXPECT_EQ(device.DoneGroup(), inTable ? k : 817);
        EXPECT_EQ(*device.IdCode(), parameters.IdCode);
    }
    EXPECT_THROW(TArria5Device(-1), std::out_of_range);
    EXPECT_THROW(TArria5Device(325), std::out_of_range);
}

} // namespace
