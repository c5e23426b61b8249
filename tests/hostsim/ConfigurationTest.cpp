// Configuring simulated Arria V devices: raw bit files clocked in at pin level
// the way the programming routine does it, the state read through CHECK_STATUS,
// USERCODE, PROGRAM, and streams the devices must refuse.
#include "BenchSupport.h"

#include "hostsim/jtag/BitStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <unistd.h>

namespace {

using namespace benchtest;

// Small streams keep the pin-level programming quick; one test below uses the real size.
constexpr int64_t kSmallConfigBits = 8 * 4096;
constexpr uint32_t kUserCode = 0x5EED1234u;

class ConfigurationTest : public ::testing::Test {
protected:
    TThreeDeviceChain Bench{kSmallConfigBits};
    TChannelUnderTest Channel{std::make_shared<TSimCable>(Bench.Chain), Bench.Chain.IrLengths()};

    TArria5Device& At(int32_t position) { return position == 0 ? Bench.First : Bench.Last; }
    std::vector<uint8_t> StreamFor(const TArria5Device& device, uint32_t userCode = kUserCode,
                                   TBitStreamOptions options = {})
    {
        std::vector<uint8_t> bytes;
        WriteBitStream(bytes, device.Die(), userCode, options);
        return bytes;
    }
    int State(int32_t position) { return DeviceState(Channel.Dispatch, Channel.Pins, At(position).BaseName(), position); }
    int32_t UserCode(int32_t position) { return ReadJTagRegister(Channel.Dispatch, position, TArria5Device::eUserCode); }
};

TEST_F(ConfigurationTest, ValidStreamConfiguresTheDeviceAtEitherEnd)
{
    for (int32_t p : {0, 2}) {
        EXPECT_EQ(State(p), 1) << "position " << p;
        const std::vector<uint8_t> file = StreamFor(At(p), kUserCode + static_cast<uint32_t>(p));
        EXPECT_EQ(ProgramBytes(Channel.Dispatch, Channel.Pins, file, p), kSmallConfigBits);
        EXPECT_TRUE(At(p).Configured()) << At(p).Receiver().RejectReason();
        EXPECT_EQ(State(p), 2) << "position " << p;
        EXPECT_EQ(static_cast<uint32_t>(UserCode(p)), kUserCode + static_cast<uint32_t>(p));
    }
    // Programming one device left the other alone; the bypass device never saw PROGRAM.
    EXPECT_TRUE(Bench.First.Configured());
    EXPECT_EQ(Bench.Other.Instruction(), static_cast<uint32_t>((1 << kOtherIrLength) - 1));
}

TEST_F(ConfigurationTest, DoneBitSitsExactlyWhereTheStateReadCounts)
{
    // Configured: the sampled bit is 1 and both neighbours read 0; unconfigured the opposite.
    const char* base = Bench.Last.BaseName();
    for (bool configured : {false, true}) {
        if (configured) ProgramBytes(Channel.Dispatch, Channel.Pins, StreamFor(Bench.Last), 2);
        const int expected = configured ? 1 : 0;
        EXPECT_EQ(ReadConfigDoneStatus(Channel.Dispatch, Channel.Pins, base, 2, 0), expected);
        EXPECT_EQ(ReadConfigDoneStatus(Channel.Dispatch, Channel.Pins, base, 2, -1), 1 - expected);
        EXPECT_EQ(ReadConfigDoneStatus(Channel.Dispatch, Channel.Pins, base, 2, +1), 1 - expected);
    }
    // The routine's count for position 0 of three devices: 3(N-K) + 3 - 0 clocks.
    Channel.Object->EnableCallLog();
    ReadConfigDoneStatus(Channel.Dispatch, Channel.Pins, Bench.First.BaseName(), 0);
    int clocks = 0;
    for (const TJtagCall& call : Channel.Object->CallLog())
        clocks += call.Op == TJtagOp::ClockTMS && call.Args == std::vector<int64_t>{0};
    EXPECT_EQ(clocks, 3 * (560 - 554) + 3);
}

TEST_F(ConfigurationTest, ProgramInstructionClearsTheConfiguration)
{
    ProgramBytes(Channel.Dispatch, Channel.Pins, StreamFor(Bench.First), 0);
    ProgramBytes(Channel.Dispatch, Channel.Pins, StreamFor(Bench.Last), 2);
    ASSERT_EQ(State(0), 2);
    ASSERT_EQ(State(2), 2);
    LoadProgram(Channel.Dispatch, 0);
    EXPECT_EQ(State(0), 1);
    EXPECT_EQ(UserCode(0), -1);
    EXPECT_EQ(State(2), 2);
    // Test-Logic-Reset does not touch the configuration.
    Channel.Dispatch.Call(Ch::kResetChannel);
    EXPECT_EQ(State(2), 2);
}

struct TStreamCase {
    const char* Name;
    std::function<std::vector<uint8_t>(const std::vector<uint8_t>& good, const TArria5Device& target,
                                       const TArria5Device& foreign)>
        Make;
    TProgramOptions Options;
    bool Accepted;
};

TEST_F(ConfigurationTest, OnlyACompleteValidStreamForTheDieConfigures)
{
    auto flipBit = [](std::vector<uint8_t> bytes, size_t index) {
        bytes[index] ^= 0x10;
        return bytes;
    };
    const TStreamCase cases[] = {
        {"valid", [](auto& good, auto&, auto&) { return good; }, {}, true},
        {"no leading clocks", [](auto& good, auto&, auto&) { return good; }, {0, 0, false}, true},
        {"many leading clocks", [](auto& good, auto&, auto&) { return good; }, {4436, 0, false}, true},
        {"active disengage first", [](auto& good, auto&, auto&) { return good; }, {175, 0, true}, true},
        {"padding skipped by the host",
         [](auto&, auto& target, auto&) {
             std::vector<uint8_t> bytes;
             WriteBitStream(bytes, target.Die(), kUserCode, TBitStreamOptions{0, 6, 0});
             return bytes;
         },
         {175, 4, false}, true},
        {"truncated by 100 bytes", [](auto& good, auto&, auto&) { return std::vector<uint8_t>(good.begin(), good.end() - 100); }, {}, false},
        {"last CRC byte missing", [](auto& good, auto&, auto&) { return std::vector<uint8_t>(good.begin(), good.end() - 1); }, {}, false},
        {"header skipped by the host", [](auto& good, auto&, auto&) { return good; }, {175, 4, false}, false},
        {"foreign die",
         [](auto&, auto&, auto& foreign) {
             std::vector<uint8_t> bytes;
             WriteBitStream(bytes, foreign.Die(), kUserCode);
             return bytes;
         },
         {}, false},
        {"full-size stream for a small configuration",
         [](auto&, auto& target, auto&) {
             std::vector<uint8_t> bytes;
             WriteBitStream(bytes, target.Die(), kUserCode, TBitStreamOptions{2 * kSmallConfigBits, 0, 0});
             return bytes;
         },
         {}, false},
        {"payload bit flipped", [&](auto& good, auto&, auto&) { return flipBit(good, good.size() / 2); }, {}, false},
        {"user code flipped", [&](auto& good, auto&, auto&) { return flipBit(good, 13); }, {}, false},
        {"CRC bit flipped", [&](auto& good, auto&, auto&) { return flipBit(good, good.size() - 2); }, {}, false},
    };
    for (int32_t p : {0, 2}) {
        TArria5Device& target = At(p);
        const TArria5Device& foreign = At(2 - p);
        const std::vector<uint8_t> good = StreamFor(target);
        for (const TStreamCase& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + " at position " + std::to_string(p));
            // Start each case from a configured device: a refused stream must leave it unconfigured.
            ProgramBytes(Channel.Dispatch, Channel.Pins, good, p);
            ASSERT_EQ(State(p), 2);
            ProgramBytes(Channel.Dispatch, Channel.Pins, c.Make(good, target, foreign), p, c.Options);
            EXPECT_EQ(State(p), c.Accepted ? 2 : 1) << target.Receiver().RejectReason();
            EXPECT_EQ(UserCode(p), c.Accepted ? static_cast<int32_t>(kUserCode) : -1);
            if (c.Options.ActiveDisengage) {
                EXPECT_TRUE(target.Disengaged());
            }
            if (!c.Accepted) {
                EXPECT_NE(target.Receiver().Status(), TBitStreamReceiver::eComplete);
            }
        }
    }
}

TEST(BitStream, FilesHoldExactlyTheDieConfigurationSize)
{
    for (int32_t kind = 0; kind < arria5::kDeviceKindCount; ++kind) {
        const TDieTarget die = DieOfKind(kind);
        ASSERT_EQ(BitStreamSize(die) * 8, die.ConfigBits) << arria5::DeviceKinds[kind].FullName;
    }
    EXPECT_EQ(BitStreamSize(DieOfKind(KindOfBase("5AGXFB7H4"))), 23239456);
    EXPECT_EQ(BitStreamSize(DieOfKind(KindOfBase("5AGXFB7H4")), TBitStreamOptions{0, 10, 0}), 23239466);
    EXPECT_THROW(BitStreamSize(TDieTarget{0x02A010DD, 8 * 27}), std::invalid_argument);
    EXPECT_THROW(BitStreamSize(TDieTarget{0x02A010DD, 8 * 100 + 4}), std::invalid_argument);
    EXPECT_THROW(DieOfKind(325), std::out_of_range);
}

TEST(BitStream, ReceiverTellsWhyItRefusesAStream)
{
    const TDieTarget die{0x02A010DD, 8 * 64};
    std::vector<uint8_t> good;
    WriteBitStream(good, die, 7);
    auto feed = [&](const std::vector<uint8_t>& bytes, const TDieTarget& target) {
        TBitStreamReceiver receiver(target);
        for (int i = 0; i < 40; ++i) receiver.PushBit(true); // leading clocks
        for (uint8_t byte : bytes)
            for (int k = 0; k < 8; ++k) receiver.PushBit((byte >> k) & 1);
        for (int i = 0; i < 128; ++i) receiver.PushBit(true); // trailer
        return std::make_pair(receiver.Status(), receiver.RejectReason());
    };
    EXPECT_EQ(feed(good, die).first, TBitStreamReceiver::eComplete);
    auto versioned = good;
    versioned[4] = 2;
    EXPECT_NE(feed(versioned, die).second.find("format"), std::string::npos);
    EXPECT_NE(feed(good, TDieTarget{0x02A020DD, die.ConfigBits}).second.find("IDCODE"), std::string::npos);
    EXPECT_NE(feed(good, TDieTarget{die.IdCode, 8 * 128}).second.find("payload"), std::string::npos);
    auto corrupted = good;
    corrupted[40] ^= 1;
    EXPECT_NE(feed(corrupted, die).second.find("CRC"), std::string::npos);
    // Without its end the stream just stays incomplete.
    EXPECT_EQ(feed(std::vector<uint8_t>(good.begin(), good.begin() + 30), die).first, TBitStreamReceiver::eReceiving);
}

// The smallest die at its real size (71,015,552 bits), from a file, through the pin interface.
TEST(Configuration, FullSizeFileConfiguresTheSmallestDie)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "71 million pin-level bits take minutes under the sanitizers; the small streams run the same code";
#endif
    TThreeDeviceChain bench;
    TChannelUnderTest channel(std::make_shared<TSimCable>(bench.Chain), bench.Chain.IrLengths());
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("hostsim_full_" + std::to_string(::getpid()) + ".rbf");
    WriteBitStream(path, bench.Last.Kind(), 0xC0FFEE01u);
    ASSERT_EQ(std::filesystem::file_size(path), 71015552u / 8);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    std::filesystem::remove(path);

    EXPECT_EQ(ProgramBytes(channel.Dispatch, channel.Pins, file, 2), 71015552);
    EXPECT_EQ(DeviceState(channel.Dispatch, channel.Pins, bench.Last.BaseName(), 2), 2)
        << bench.Last.Receiver().RejectReason();
    EXPECT_EQ(static_cast<uint32_t>(ReadJTagRegister(channel.Dispatch, 2, TArria5Device::eUserCode)), 0xC0FFEE01u);
    EXPECT_EQ(DeviceState(channel.Dispatch, channel.Pins, bench.First.BaseName(), 0), 1);
}

} // namespace
