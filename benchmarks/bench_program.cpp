// Programming costs: the plug-in's own cost per configuration bit against a
// pin-level channel that does nothing, and whole programming runs on the
// simulated bench, in process and over remote_bitbang on loopback.
#include "hostsim/host/Host.h"
#include "hostsim/jtag/Arria5Device.h"
#include "hostsim/jtag/BitStream.h"
#include "hostsim/rbb/RemoteBitbangServer.h"
#include "jtag/JtagRoutines.h"
#include "jtag/PinAccess.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// A channel whose pin-level operations do nothing at all.
class TNullChannel : public com::IDispatch, public com::IJTagPinAccess {
public:
    com::HRESULT QueryInterface(const com::GUID& iid, void** object) override
    {
        if (iid == com::IID_IJTagPinAccess) *object = static_cast<com::IJTagPinAccess*>(this);
        else *object = static_cast<com::IDispatch*>(this);
        return com::S_OK;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    com::HRESULT GetTypeInfoCount(uint32_t*) override { return com::E_NOTIMPL; }
    com::HRESULT GetTypeInfo(uint32_t, uint32_t, void**) override { return com::E_NOTIMPL; }
    com::HRESULT GetIDsOfNames(const com::GUID&, char16_t**, uint32_t, uint32_t, int32_t*) override { return com::E_NOTIMPL; }
    com::HRESULT Invoke(int32_t, const com::GUID&, uint32_t, uint16_t, com::DISPPARAMS*, com::VARIANT*, com::EXCEPINFO*,
                        uint32_t*) override
    {
        return com::S_OK;
    }
    com::HRESULT Reserved1() override { return com::E_NOTIMPL; }
    com::HRESULT Reserved2() override { return com::E_NOTIMPL; }
    com::HRESULT SetTCK(int32_t) override { return com::S_OK; }
    com::HRESULT Reserved4() override { return com::E_NOTIMPL; }
    com::HRESULT SetTDI(int32_t) override { return com::S_OK; }
    com::HRESULT SetTMS(int32_t) override { return com::S_OK; }
    com::HRESULT Reserved7() override { return com::E_NOTIMPL; }
    com::HRESULT GetTDO(uint8_t* level) override
    {
        *level = 0;
        return com::S_OK;
    }
    com::HRESULT Reserved9() override { return com::E_NOTIMPL; }
    com::HRESULT Reserved10() override { return com::E_NOTIMPL; }
    com::HRESULT Flush() override { return com::S_OK; }
    com::HRESULT Sample() override { return com::S_OK; }
};

// The data phase alone: what each configuration bit costs the plug-in itself.
void BM_PluginCostPerBit(benchmark::State& state)
{
    TNullChannel channel;
    arria5jtag::TPinAccess pins{tavrel::THostObject(static_cast<com::IDispatch*>(&channel))};
    const std::vector<uint8_t> image(static_cast<size_t>(state.range(0)), 0xA5);
    for (auto _ : state) arria5jtag::ClockConfigurationData(pins, image.data(), image.size(), 0, static_cast<int32_t>(state.range(1)));
    const double bits = static_cast<double>(image.size()) * 8;
    state.counters["bits/s"] = benchmark::Counter(bits, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["ns/bit"] =
        benchmark::Counter(bits, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert,
                           benchmark::Counter::kIs1000);
}
BENCHMARK(BM_PluginCostPerBit)->Args({1 << 20, 0})->Args({1 << 20, 1})->Unit(benchmark::kMillisecond);

std::string StreamFile(int32_t kind, int64_t bytes)
{
    std::vector<uint8_t> stream;
    hostsim::jtag::WriteBitStream(stream, kind, 0x12345678);
    if (bytes > 0 && static_cast<size_t>(bytes) < stream.size()) stream.resize(static_cast<size_t>(bytes));
    const auto path = std::filesystem::temp_directory_path() / ("bench-" + std::to_string(kind) + "-" + std::to_string(bytes) + ".rbf");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
    return path.string();
}

hostsim::THost::TOptions BenchOptions(int32_t kind, const std::string& rbb = {})
{
    hostsim::THost::TOptions options;
    hostsim::TBenchDevice device;
    device.Kind = kind;
    options.Bench.Chain = {device};
    options.Bench.RemoteBitbang = rbb;
    options.ApplicationFolder = ARRIA5_STAGE_DIR;
    return options;
}

// A whole ProgramDevice call on the simulated bench (includes the routine's fixed 1.04 s of waits).
void BM_ProgramBench(benchmark::State& state)
{
    const int32_t kind = static_cast<int32_t>(state.range(0));
    const std::string file = StreamFile(kind, 0);
    hostsim::THost host(BenchOptions(kind));
    int32_t bits = 0;
    for (auto _ : state) {
        bits = host.Device(0).Driver().CallInt(503788, {file});
        if (host.Device(0).Driver().CallInt(503787) != 2) state.SkipWithError("the device did not configure");
    }
    state.counters["bits"] = bits;
    state.counters["bits/s"] = benchmark::Counter(bits, benchmark::Counter::kIsIterationInvariantRate);
    std::filesystem::remove(file);
}
BENCHMARK(BM_ProgramBench)->Arg(20)->Arg(324)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Programming 8 MiB of a stream through a remote_bitbang server on loopback (with the routine's 1.04 s of waits).
void BM_ProgramOverRemoteBitbang(benchmark::State& state)
{
    const int32_t kind = 20;
    const std::string file = StreamFile(kind, 8 << 20);
    hostsim::jtag::TSimChain chain;
    chain.Emplace<hostsim::jtag::TArria5Device>(kind);
    hostsim::rbb::TRemoteBitbangServer server(chain);
    server.Start();
    hostsim::THost host(BenchOptions(kind, "127.0.0.1:" + std::to_string(server.Port())));
    int32_t bits = 0;
    for (auto _ : state) bits = host.Device(0).Driver().CallInt(503788, {file});
    state.counters["bits/s"] = benchmark::Counter(bits, benchmark::Counter::kIsIterationInvariantRate);
    server.Stop();
    std::filesystem::remove(file);
}
BENCHMARK(BM_ProgramOverRemoteBitbang)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
