// The remote_bitbang server serving a simulated chain, and the client cable
// driving it: the channel works the same over TCP as in process.
#include "BenchSupport.h"

#include "hostsim/jtag/RemoteBitbangCable.h"
#include "hostsim/rbb/RemoteBitbangServer.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace benchtest;
using hostsim::rbb::TRemoteBitbangServer;

constexpr std::chrono::milliseconds kIdle{20000}; // no server outlives a hung test for long

TRemoteBitbangServer::TOptions ServerOptions() { return {0, kIdle, std::chrono::milliseconds{5000}}; }

TEST(RemoteBitbang, ClientCableReadsTheServedChain)
{
    TThreeDeviceChain bench(8 * 2048);
    TRemoteBitbangServer server(bench.Chain, ServerOptions());
    server.Start();
    ASSERT_NE(server.Port(), 0);

    auto cable = std::make_shared<TRemoteBitbangCable>("127.0.0.1", server.Port());
    TChannelUnderTest channel(cable, bench.Chain.IrLengths());
    for (int32_t p = 0; p < 3; ++p)
        EXPECT_EQ(static_cast<uint32_t>(ReadJTagRegister(channel.Dispatch, p, static_cast<int32_t>(bench.IdCodeInstructionAt(p)))),
                  bench.IdCodeAt(p))
            << "position " << p;
    // A whole data scan costs one round trip.
    const uint64_t before = cable->RoundTrips();
    channel.Dispatch.CallInt(Ch::kScanDR, {0, 32, 2});
    EXPECT_EQ(cable->RoundTrips(), before + 1);

    // Programming at pin level over TCP, then the state read with its Sample/GetTDO.
    std::vector<uint8_t> file;
    WriteBitStream(file, bench.First.Die(), 0xABCD0001u);
    ProgramBytes(channel.Dispatch, channel.Pins, file, 0);
    EXPECT_EQ(DeviceState(channel.Dispatch, channel.Pins, bench.First.BaseName(), 0), 2);
    EXPECT_EQ(static_cast<uint32_t>(ReadJTagRegister(channel.Dispatch, 0, TArria5Device::eUserCode)), 0xABCD0001u);
    {
        std::lock_guard lock(server.ChainMutex());
        EXPECT_TRUE(bench.First.Configured());
        EXPECT_EQ(bench.First.State(), eTapRunTestIdle);
    }
    cable->Quit();
    // The server sees the quit on its own thread; give it a bounded moment.
    for (int i = 0; i < 500 && server.Stats().Quits == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds{10});
    server.Stop();
    EXPECT_EQ(server.Stats().Quits, 1u);
    EXPECT_EQ(server.LastError(), "");
}

TEST(RemoteBitbang, ServerFollowsTheProtocolByteByByte)
{
    TThreeDeviceChain bench;
    TRemoteBitbangServer server(bench.Chain, ServerOptions());
    server.Start();
    hostsim::rbb::TSocket socket = hostsim::rbb::ConnectTcp("127.0.0.1", server.Port(), std::chrono::milliseconds{5000});
    auto exchange = [&](const std::string& commands, size_t answers) {
        hostsim::rbb::SendAll(socket.Get(), commands.data(), commands.size(), std::chrono::milliseconds{5000});
        std::string got;
        char buffer[64];
        while (got.size() < answers) {
            const size_t n = hostsim::rbb::ReceiveSome(socket.Get(), buffer, sizeof buffer, std::chrono::milliseconds{5000});
            if (n == 0) break;
            got.append(buffer, n);
        }
        return got;
    };
    // Five TMS-high clocks then four cycles to Shift-DR (TMS 0,1,0,0); IDCODEs come out.
    std::string walk;
    for (int tms : {1, 1, 1, 1, 1, 0, 1, 0, 0}) walk += {char('0' + 2 * tms), char('4' + 2 * tms)};
    walk += '0'; // TCK low: TDO shows the first bit
    std::string read32;
    for (int i = 0; i < 32; ++i) read32 += "R40";
    EXPECT_EQ(exchange(walk, 0), "");
    const std::string bits = exchange(read32, 32);
    ASSERT_EQ(bits.size(), 32u);
    uint32_t value = 0;
    for (int i = 0; i < 32; ++i) value |= static_cast<uint32_t>(bits[static_cast<size_t>(i)] == '1') << i;
    EXPECT_EQ(value, bench.IdCodeAt(2));

    // 't' asserts TRST: every TAP is back in Test-Logic-Reset. 'B' lights the LED. Unknown bytes are ignored.
    EXPECT_EQ(exchange("\nBtR", 1), "1");
    {
        std::lock_guard lock(server.ChainMutex());
        for (int32_t p = 0; p < 3; ++p) EXPECT_EQ(bench.Chain.Device(p).State(), eTapTestLogicReset);
        EXPECT_TRUE(bench.Chain.TrstAsserted());
    }
    EXPECT_TRUE(server.Stats().Led);
    EXPECT_EQ(exchange("rbR", 1), "1");
    EXPECT_FALSE(server.Stats().Led);
    // 'Q' ends the connection; the server then takes the next client.
    EXPECT_EQ(exchange("Q", 1), "");
    hostsim::rbb::TSocket second = hostsim::rbb::ConnectTcp("127.0.0.1", server.Port(), std::chrono::milliseconds{5000});
    hostsim::rbb::SendAll(second.Get(), "R", 1, std::chrono::milliseconds{5000});
    char answer = 0;
    EXPECT_EQ(hostsim::rbb::ReceiveSome(second.Get(), &answer, 1, std::chrono::milliseconds{5000}), 1u);
    EXPECT_EQ(answer, '1');
    server.Stop();
    EXPECT_EQ(server.Stats().Clients, 2u);
}

TEST(RemoteBitbang, ServerStopsByItselfWhenIdle)
{
    TSimChain chain;
    chain.Emplace<TBypassDevice>("only", 4);
    TRemoteBitbangServer server(chain, {0, std::chrono::milliseconds{50}, std::chrono::milliseconds{1000}});
    server.Start();
    for (int i = 0; i < 500 && server.Running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds{10});
    EXPECT_FALSE(server.Running());
    EXPECT_THROW(TRemoteBitbangCable("127.0.0.1", server.Port(), {std::chrono::milliseconds{1000}, 64, 64}),
                 hostsim::rbb::TSocketError);
}

} // namespace
