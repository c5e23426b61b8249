// TCK cycles per second of the JTAG bench: the simulated chain driven in process
// and over remote_bitbang on loopback, at pin level (one configuration data bit
// per cycle, as a driver clocks a raw bit file) and through whole channel scans.
#include "devices/arria5/DeviceTables.h"
#include "hostsim/jtag/Arria5Device.h"
#include "hostsim/jtag/JtagChannel.h"
#include "hostsim/jtag/RemoteBitbangCable.h"
#include "hostsim/jtag/SimChain.h"
#include "hostsim/rbb/RemoteBitbangServer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace hostsim::jtag;

constexpr double kLargestDieBits = 185915648.0;

// Position 0: an Arria V; positions 1 and 2: bypassed devices.
struct TBench {
    TBench()
    {
        Chain.Emplace<TArria5Device>(0);
        Chain.Emplace<TBypassDevice>("b1", 5, 0x1BEEF0E1u);
        Chain.Emplace<TArria5Device>(arria5::kDeviceKindCount - 1);
    }
    TSimChain Chain;
};

struct TChannelHandle {
    TChannelHandle(std::shared_ptr<TJtagCable> cable, std::vector<int32_t> lengths)
        : Channel(hostsim::MakeHostObject<TJtagChannel>(std::move(cable), std::move(lengths)))
    {
        void* pins = nullptr;
        Channel->QueryInterface(com::IID_IJTagPinAccess, &pins);
        Pins = static_cast<com::IJTagPinAccess*>(pins);
    }
    ~TChannelHandle() { Pins->Release(); }
    hostsim::THostPtr<TJtagChannel> Channel;
    com::IJTagPinAccess* Pins = nullptr;
};

// Configuration data bits at pin level, each SetTCK(0), SetTDI(b), Flush, SetTCK(1), Flush,
// into a device that received PROGRAM (so every bit also goes through the stream check).
void PinLevelDataBits(benchmark::State& state, TChannelHandle& handle)
{
    handle.Channel->ScanIR(TArria5Device::eProgram, 0);
    handle.Channel->MoveTAPState(2, 5);
    constexpr int kBits = 1 << 16;
    uint32_t pattern = 0x12345679u;
    com::IJTagPinAccess* pins = handle.Pins;
    for (auto _ : state) {
        for (int i = 0; i < kBits; ++i) {
            pattern = pattern * 1664525u + 1013904223u;
            pins->SetTCK(0);
            pins->SetTDI(static_cast<int32_t>(pattern >> 31));
            pins->Flush();
            pins->SetTCK(1);
            pins->Flush();
        }
    }
    handle.Channel->ClockTMS(1);
    handle.Channel->MoveTAPState(6, 2);
    const double bits = static_cast<double>(state.iterations()) * kBits;
    state.counters["tck_per_s"] = benchmark::Counter(bits, benchmark::Counter::kIsRate);
    state.counters["largest_die_s"] =
        benchmark::Counter(bits / kLargestDieBits, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Whole 32-bit data scans (USERCODE of position 0, the others bypassed).
void ScanDR32(benchmark::State& state, TChannelHandle& handle)
{
    handle.Channel->ScanIR(TArria5Device::eUserCode, 0);
    for (auto _ : state) benchmark::DoNotOptimize(handle.Channel->ScanDR(0, 32, 0));
    // Run-Test/Idle -> Shift-DR (3), 34 bits, Exit1-DR -> Run-Test/Idle (2).
    state.counters["tck_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 39, benchmark::Counter::kIsRate);
}

void BM_PinLevelDataBits_InProcess(benchmark::State& state)
{
    TBench bench;
    TChannelHandle handle(std::make_shared<TSimCable>(bench.Chain), bench.Chain.IrLengths());
    PinLevelDataBits(state, handle);
}
BENCHMARK(BM_PinLevelDataBits_InProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanDR32_InProcess(benchmark::State& state)
{
    TBench bench;
    TChannelHandle handle(std::make_shared<TSimCable>(bench.Chain), bench.Chain.IrLengths());
    ScanDR32(state, handle);
}
BENCHMARK(BM_ScanDR32_InProcess)->UseRealTime();

void BM_PinLevelDataBits_RemoteBitbang(benchmark::State& state)
{
    TBench bench;
    hostsim::rbb::TRemoteBitbangServer server(bench.Chain, {0, std::chrono::seconds{120}, std::chrono::seconds{10}});
    server.Start();
    {
        TChannelHandle handle(std::make_shared<TRemoteBitbangCable>("127.0.0.1", server.Port()),
                              bench.Chain.IrLengths());
        PinLevelDataBits(state, handle);
    }
    server.Stop();
}
BENCHMARK(BM_PinLevelDataBits_RemoteBitbang)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanDR32_RemoteBitbang(benchmark::State& state)
{
    TBench bench;
    hostsim::rbb::TRemoteBitbangServer server(bench.Chain, {0, std::chrono::seconds{120}, std::chrono::seconds{10}});
    server.Start();
    {
        TChannelHandle handle(std::make_shared<TRemoteBitbangCable>("127.0.0.1", server.Port()),
                              bench.Chain.IrLengths());
        ScanDR32(state, handle);
    }
    server.Stop();
}
BENCHMARK(BM_ScanDR32_RemoteBitbang)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
