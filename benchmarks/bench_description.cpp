// Description calls through the plug-in's exports and Invoke, as a host makes them.
#include "hostsim/PluginLibrary.h"

#include "plugin/com/Variant.h"

#include <benchmark/benchmark.h>

namespace {

const hostsim::TPluginLibrary& Plugin()
{
    static const hostsim::TPluginLibrary plugin(ARRIA5_PLUGIN_PATH);
    return plugin;
}

com::HRESULT RawInvoke(com::IDispatch* object, int32_t dispid, com::VARIANT* args, uint32_t count, com::VARIANT* result)
{
    com::DISPPARAMS params{args, nullptr, count, 0};
    return object->Invoke(dispid, com::IID_NULL, 0, com::DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

// One integer description call (GetIdCode): the dispatch frame's own cost.
void BM_DescriptionCall_IdCode(benchmark::State& state)
{
    const com::TDispatchRef driver = Plugin().CreateDriver(0);
    for (auto _ : state) {
        com::VARIANT result{};
        RawInvoke(driver.Get(), 503379, nullptr, 0, &result);
        benchmark::DoNotOptimize(result.lVal);
    }
}
BENCHMARK(BM_DescriptionCall_IdCode);

// One string description call (GetDeviceDescription), including the BSTR the host frees.
void BM_DescriptionCall_Description(benchmark::State& state)
{
    const com::TDispatchRef driver = Plugin().CreateDriver(0);
    for (auto _ : state) {
        com::TVariant result;
        RawInvoke(driver.Get(), 503381, nullptr, 0, &result);
        benchmark::DoNotOptimize(result.bstrVal);
    }
}
BENCHMARK(BM_DescriptionCall_Description);

// Every pin of every kind, every pin operation: the whole pin database through Invoke.
void BM_EnumerateAllPins(benchmark::State& state)
{
    std::vector<com::TDispatchRef> drivers;
    for (int32_t kind = 0; kind < Plugin().DriverCount(); ++kind) drivers.push_back(Plugin().CreateDriver(kind));
    int64_t calls = 0;
    for (auto _ : state) {
        for (const com::TDispatchRef& driver : drivers) {
            com::TVariant count;
            RawInvoke(driver.Get(), 503409, nullptr, 0, &count);
            for (int32_t index = 0; index < count.lVal; ++index) {
                com::VARIANT arg{};
                arg.vt = com::VT_I4;
                arg.lVal = index;
                com::TVariant pin;
                RawInvoke(driver.Get(), 503411, &arg, 1, &pin);
                for (int32_t dispid = 503525; dispid <= 503549; ++dispid) {
                    if (dispid == 503532) continue; // the one pin operation that takes an argument
                    com::TVariant value;
                    RawInvoke(pin.pdispVal, dispid, nullptr, 0, &value);
                    ++calls;
                }
                ++calls;
            }
        }
    }
    state.counters["calls"] = benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EnumerateAllPins)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
