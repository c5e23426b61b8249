// The driver's device operations seen by an independent host that records
// every channel and pin call: exact sequences, counts, progress, failures, and
// real programming of the simulated bench.
#include "hostsim/host/Host.h"
#include "hostsim/jtag/Arria5Device.h"
#include "hostsim/jtag/BitStream.h"
#include "hostsim/rbb/RemoteBitbangServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using hostsim::TBenchConfig;
using hostsim::TBenchDevice;
using hostsim::THost;
using hostsim::jtag::TJtagCall;
using hostsim::jtag::TJtagOp;

namespace {

constexpr int32_t kResetDevice = 503786;
constexpr int32_t kGetDeviceState = 503787;
constexpr int32_t kProgramDevice = 503788;
constexpr int32_t kReadUserCode = 503789;
constexpr int32_t kKind5AGXFB3H4 = 120;  // 5AGXFB3H4F35C4N: N = 720, K = 714
constexpr int32_t kKind5ASTFD3K3 = 251;  // no status-chain row
constexpr int32_t kKindSmallestDie = 20; // 5AGXBA1D4F27C4N

TBenchDevice Arria(int32_t kind)
{
    TBenchDevice device;
    device.Kind = kind;
    return device;
}

THost::TOptions Bench(std::vector<TBenchDevice> chain, std::map<std::string, std::string> family = {})
{
    THost::TOptions options;
    options.Bench = TBenchConfig::Default();
    options.Bench.Chain = std::move(chain);
    for (auto& [name, value] : family) options.Bench.FamilyParameters["Arria5"][name] = value;
    options.ApplicationFolder = ARRIA5_STAGE_DIR;
    options.ManualTime = true;
    return options;
}

std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const fs::path path = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".rbf");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// The pin-level calls folded into the routines' primitives: "L" ClockLow,
// "H" ClockHigh, "0"/"1" ClockBit; channel operations keep their text.
std::vector<std::string> Primitives(const std::vector<TJtagCall>& log)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < log.size(); ++i) {
        const TJtagCall& call = log[i];
        auto is = [&](size_t at, TJtagOp op) { return at < log.size() && log[at].Op == op; };
        if (call.Op == TJtagOp::SetTCK && is(i + 1, TJtagOp::Flush)) {
            out.push_back(call.Args[0] ? "H" : "L");
            ++i;
        } else if (call.Op == TJtagOp::SetTCK && call.Args[0] == 0 && is(i + 1, TJtagOp::SetTDI) && is(i + 2, TJtagOp::Flush)) {
            out.push_back(log[i + 1].Args[0] ? "1" : "0");
            i += 2;
        } else {
            out.push_back(call.ToString());
        }
    }
    return out;
}

size_t Count(const std::vector<std::string>& items, const std::string& item)
{
    return static_cast<size_t>(std::count(items.begin(), items.end(), item));
}

size_t IndexOf(const std::vector<std::string>& items, const std::string& item, size_t from = 0)
{
    const auto found = std::find(items.begin() + static_cast<std::ptrdiff_t>(from), items.end(), item);
    return static_cast<size_t>(found - items.begin());
}

class JtagTest : public ::testing::Test {
protected:
    void Start(THost::TOptions options)
    {
        Host = std::make_unique<THost>(std::move(options));
        Host->Channel().EnableCallLog();
    }
    const com::TDispatchRef& Driver(int32_t position) { return Host->Device(position).Driver(); }
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> calls;
        for (const TJtagCall& call : Host->Channel().CallLog()) calls.push_back(call.ToString());
        return calls;
    }
    std::unique_ptr<THost> Host;
};

TEST_F(JtagTest, UserCodeIsOneRegisterRead)
{
    Start(Bench({Arria(kKind5AGXFB3H4), Arria(kKind5AGXFB3H4)}));
    EXPECT_EQ(static_cast<uint32_t>(Driver(1).CallInt(kReadUserCode)), 0xFFFFFFFFu) << "an unconfigured device";
    EXPECT_EQ(Calls(), (std::vector<std::string>{"BeginAccess() = 1", "GotoTAPState(2)", "ScanIR(7, 1)",
                                                 "ScanDR(0, 32, 1) = -1", "EndAccess()"}));
}

TEST_F(JtagTest, StateReadCountsToTheDoneBit)
{
    struct TCase {
        size_t Devices;
        int32_t Position;
        size_t Clocks;
    } cases[] = {{1, 0, 19}, {3, 0, 21}, {3, 2, 19}};
    for (const TCase& c : cases) {
        Host.reset();
        Start(Bench(std::vector<TBenchDevice>(c.Devices, Arria(kKind5AGXFB3H4))));
        EXPECT_EQ(Driver(c.Position).CallInt(kGetDeviceState), 1);
        const auto calls = Calls();
        EXPECT_EQ(Count(calls, "ClockTMS(0)"), c.Clocks) << c.Devices << " devices, position " << c.Position;
        const std::vector<std::string> frame(calls.begin(), calls.begin() + 3);
        EXPECT_EQ(frame, (std::vector<std::string>{"BeginAccess() = 1", "ScanIR(4, " + std::to_string(c.Position) + ")",
                                                   "MoveTAPState(2, 5)"}));
        EXPECT_EQ(calls[calls.size() - 4], "GetTDO() = 0");
        EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()),
                  (std::vector<std::string>{"ClockTMS(1)", "MoveTAPState(6, 2)", "EndAccess()"}));
    }
}

TEST_F(JtagTest, BaseNameWithoutStatusRowReadsNothing)
{
    Start(Bench({Arria(kKind5ASTFD3K3)}));
    EXPECT_EQ(Driver(0).CallInt(kGetDeviceState), 1);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"BeginAccess() = 1", "ScanIR(4, 0)", "MoveTAPState(2, 5)", "EndAccess()"}));
    Host->Channel().ClearCallLog();
    EXPECT_TRUE(Driver(0).CallBool(kResetDevice)) << "the reset itself is still loaded";
    EXPECT_EQ(Calls()[2], "ScanIR(2, 0)");
}

TEST_F(JtagTest, ProgrammingSequenceAtPositionZero)
{
    Start(Bench({Arria(kKind5AGXFB3H4)}));
    const std::string file = WriteBytes("four", {0x01, 0x80, 0xFF, 0x00});
    EXPECT_EQ(Driver(0).CallInt(kProgramDevice, {file}), 32);
    const auto p = Primitives(Host->Channel().CallLog());
    const size_t program = IndexOf(p, "ScanIR(2, 0)");
    ASSERT_LT(program, p.size());
    EXPECT_EQ(p[0], "BeginAccess() = 1");
    EXPECT_EQ(p[1], "ResetChannel()");
    EXPECT_EQ(p[program - 1], "GotoTAPState(2)");
    EXPECT_EQ(Count(p, "ScanIR(720, 0)"), 0u);
    const size_t shift = IndexOf(p, "MoveTAPState(2, 5)", program);
    size_t at = shift + 1;
    for (int i = 0; i < 175; ++i, at += 2) ASSERT_TRUE(p[at] == "L" && p[at + 1] == "H") << "preamble clock " << i;
    EXPECT_EQ(p[at], "SetTDI(0)");
    at += 3; // SetTDI(0), SetTMS(0), then TCK low
    std::string data;
    for (int bit = 0; bit < 32; ++bit, at += 2) {
        ASSERT_EQ(p[at + 1], "H");
        data += p[at];
    }
    EXPECT_EQ(data, "10000000" "00000001" "11111111" "00000000") << "bytes in order, bit 0 first";
    for (int i = 0; i < 128; ++i, at += 2) ASSERT_TRUE(p[at] == "1" && p[at + 1] == "H") << "trailer bit " << i;
    EXPECT_EQ(p[at], "L");
    const std::vector<std::string> tail(p.begin() + static_cast<std::ptrdiff_t>(at + 1), p.begin() + static_cast<std::ptrdiff_t>(at + 6));
    EXPECT_EQ(tail, (std::vector<std::string>{"SetTDI(0)", "Flush()", "L", "ClockTMS(1)", "MoveTAPState(6, 2)"}));
    EXPECT_EQ(Count(p, "ScanIR(3, 0)"), 1u);
    EXPECT_EQ(Count(p, "ClockTMS(0)"), 400u) << "only the startup clocks";
    EXPECT_EQ(p.back(), "EndAccess()");
    fs::remove(file);
}

TEST_F(JtagTest, ProgrammingBehindOtherDevicesAndWithFamilyParameters)
{
    Start(Bench({Arria(kKind5AGXFB3H4), Arria(kKind5AGXFB3H4), Arria(kKind5AGXFB3H4)},
                {{"ND_ProgramBitsToIgnore", "2"}, {"ND_ActiveDisengage", "True"}}));
    const std::string file = WriteBytes("four", {0x01, 0x80, 0xFF, 0x00});
    EXPECT_EQ(Driver(2).CallInt(kProgramDevice, {file}), 32) << "skipped bytes still count";
    const auto p = Primitives(Host->Channel().CallLog());
    const size_t disengage = IndexOf(p, "ScanIR(720, 2)");
    ASSERT_LT(disengage, p.size());
    EXPECT_EQ(p[disengage - 1], "GotoTAPState(2)");
    EXPECT_EQ(p[disengage + 1], "GotoTAPState(2)");
    EXPECT_EQ(p[disengage + 2], "ScanIR(2, 2)");
    const size_t data = IndexOf(p, "SetTMS(0)") + 2;
    std::string bits;
    size_t at = data;
    for (int bit = 0; bit < 16; ++bit, at += 3) {
        ASSERT_EQ(p[at], "L") << "an extra low clock before every bit behind other devices";
        ASSERT_EQ(p[at + 2], "H");
        bits += p[at + 1];
    }
    EXPECT_EQ(bits, "11111111" "00000000") << "the first two bytes are not sent";
    at += 256; // trailer
    EXPECT_EQ(std::vector<std::string>(p.begin() + static_cast<std::ptrdiff_t>(at), p.begin() + static_cast<std::ptrdiff_t>(at + 7)),
              (std::vector<std::string>{"SetTDI(0)", "Flush()", "L", "ClockTMS(0)", "ClockTMS(0)", "ClockTMS(1)",
                                        "MoveTAPState(6, 2)"}));
    size_t steps = 0;
    for (const auto& status : Host->GUI().StatusLog) steps += status.Code == -7;
    EXPECT_EQ(steps, 100u) << "four bytes, four progress steps of 25 %";
    fs::remove(file);
}

TEST_F(JtagTest, ProgressStepsFollowWholePercents)
{
    Start(Bench({Arria(kKind5AGXFB3H4)}));
    for (size_t size : {size_t{200}, size_t{50}, size_t{0}}) {
        Host->GUI().StatusLog.clear();
        Host->Channel().ClearCallLog();
        const std::string file = WriteBytes("sized", std::vector<uint8_t>(size, 0x5A));
        EXPECT_EQ(Driver(0).CallInt(kProgramDevice, {file}), static_cast<int32_t>(size * 8));
        std::vector<int32_t> codes;
        for (const auto& status : Host->GUI().StatusLog) codes.push_back(status.Code);
        EXPECT_EQ(std::count(codes.begin(), codes.end(), -7), size ? 100 : 0) << size << " bytes";
        ASSERT_GE(codes.size(), 4u);
        EXPECT_EQ(std::vector<int32_t>(codes.begin(), codes.begin() + 2), (std::vector<int32_t>{-3, -5}));
        EXPECT_EQ(std::vector<int32_t>(codes.end() - 2, codes.end()), (std::vector<int32_t>{-6, -4}));
        if (size == 0) EXPECT_EQ(Count(Calls(), "EndAccess()"), 1u) << "an empty file runs the whole sequence";
        fs::remove(file);
    }
}

TEST_F(JtagTest, NothingDoneAndFailures)
{
    Start(Bench({Arria(kKind5AGXFB3H4)}));
    EXPECT_EQ(Driver(0).CallInt(kProgramDevice, {std::string("/no/such/file.rbf")}), 0);
    EXPECT_TRUE(Host->Channel().CallLog().empty()) << "a missing file makes no host call";

    // A driver without a host device has no channel: nothing-done results, no calls.
    const com::TDispatchRef lone = Host->Plugin()->CreateDriver(kKind5AGXFB3H4);
    EXPECT_EQ(lone.CallInt(kReadUserCode), -1);
    EXPECT_EQ(lone.CallInt(kGetDeviceState), 1);
    EXPECT_FALSE(lone.CallBool(kResetDevice));
    EXPECT_TRUE(Host->Channel().CallLog().empty());

    // A channel without the pin-level interface: the operations fail, nothing crashes.
    Host->Channel().SetPinAccessOffered(false);
    const std::string file = WriteBytes("one", {0x00});
    EXPECT_THROW(Driver(0).CallInt(kProgramDevice, {file}), com::TDispatchCallError);
    EXPECT_THROW(Driver(0).CallInt(kGetDeviceState), com::TDispatchCallError);
    EXPECT_TRUE(Host->Channel().CallLog().empty());
    Host->Channel().SetPinAccessOffered(true);

    // A channel operation that fails ends the read, but the access is closed.
    Host->Channel().FailOperation(TJtagOp::ScanDR);
    EXPECT_THROW(Driver(0).CallInt(kReadUserCode), com::TDispatchCallError);
    EXPECT_EQ(Calls().back(), "EndAccess()");
    fs::remove(file);
}

TEST_F(JtagTest, ProgrammingTheBenchConfiguresOnlyWithItsOwnStream)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "tens of millions of pin-level bits take minutes under the sanitizers; the short files run the same code";
#endif
    Start(Bench({Arria(kKind5AGXFB3H4), Arria(kKindSmallestDie)}));
    Host->Channel().EnableCallLog(false);
    std::vector<uint8_t> stream;
    hostsim::jtag::WriteBitStream(stream, kKindSmallestDie, 0x5EED0042);
    const std::string good = WriteBytes("good", stream);
    const com::TDispatchRef& device = Driver(1);
    EXPECT_TRUE(device.CallBool(kResetDevice));
    EXPECT_EQ(device.CallInt(kProgramDevice, {good}), static_cast<int32_t>(stream.size() * 8));
    EXPECT_EQ(device.CallInt(kGetDeviceState), 2);
    EXPECT_EQ(static_cast<uint32_t>(device.CallInt(kReadUserCode)), 0x5EED0042u);
    EXPECT_EQ(Driver(0).CallInt(kGetDeviceState), 1) << "the other device is untouched";

    // Reset clears it; a truncated stream or one for another die leaves it unconfigured.
    EXPECT_TRUE(device.CallBool(kResetDevice));
    EXPECT_EQ(device.CallInt(kGetDeviceState), 1);
    stream.resize(stream.size() - 1000);
    const std::string truncated = WriteBytes("truncated", stream);
    device.CallInt(kProgramDevice, {truncated});
    EXPECT_EQ(device.CallInt(kGetDeviceState), 1);
    EXPECT_EQ(static_cast<uint32_t>(device.CallInt(kReadUserCode)), 0xFFFFFFFFu);
    EXPECT_EQ(Driver(0).CallInt(kProgramDevice, {good}), static_cast<int32_t>((stream.size() + 1000) * 8));
    EXPECT_EQ(Driver(0).CallInt(kGetDeviceState), 1) << "a stream for another die";
    fs::remove(good);
    fs::remove(truncated);
}

// The same routines through the remote_bitbang client cable, against a served chain.
TEST(JtagRemoteTest, ProgrammingOverRemoteBitbangConfiguresToo)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "tens of millions of pin-level bits take minutes under the sanitizers; the short files run the same code";
#endif
    hostsim::jtag::TSimChain chain;
    chain.Emplace<hostsim::jtag::TArria5Device>(kKind5AGXFB3H4);
    chain.Emplace<hostsim::jtag::TArria5Device>(kKindSmallestDie);
    hostsim::rbb::TRemoteBitbangServer server(chain, {0, std::chrono::milliseconds(60000), std::chrono::milliseconds(5000)});
    server.Start();
    THost::TOptions options = Bench({Arria(kKind5AGXFB3H4), Arria(kKindSmallestDie)});
    options.Bench.RemoteBitbang = "127.0.0.1:" + std::to_string(server.Port());
    THost host(std::move(options));
    std::vector<uint8_t> stream;
    hostsim::jtag::WriteBitStream(stream, kKindSmallestDie, 0x0BB0FACE);
    const std::string file = WriteBytes("remote", stream);
    const com::TDispatchRef& device = host.Device(1).Driver();
    EXPECT_TRUE(device.CallBool(kResetDevice));
    EXPECT_EQ(device.CallInt(kProgramDevice, {file}), static_cast<int32_t>(stream.size() * 8));
    EXPECT_EQ(device.CallInt(kGetDeviceState), 2);
    EXPECT_EQ(static_cast<uint32_t>(device.CallInt(kReadUserCode)), 0x0BB0FACEu);
    EXPECT_EQ(host.Device(0).Driver().CallInt(kGetDeviceState), 1);
    fs::remove(file);
}

} // namespace
