// Boundary-scan descriptions: building the largest stored entity (2469 cells,
// 1517 pins) as a driver does on the first GetBSDLEntity, and reading the
// generated BSDL file of the same device with the BSDL reader.
#include "bsdl/BsdlParser.h"
#include "bsdl/BsdlRecords.h"
#include "devices/arria5/StoredBSDL.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

namespace {

int32_t LargestRecord()
{
    int32_t best = 0;
    for (int32_t i = 0; i < arria5::kStoredBSDLCount; ++i)
        if (arria5::ScanGroupCount(i) * 4096 + arria5::PinOutOf(i).BallCount >
            arria5::ScanGroupCount(best) * 4096 + arria5::PinOutOf(best).BallCount)
            best = i;
    return best;
}

void BM_BuildLargestStoredEntity(benchmark::State& state)
{
    const arria5::TStoredBSDLRecord record(LargestRecord());
    for (auto _ : state) {
        bsdl::TBSDLPartCaches caches;
        auto entity = bsdl::BuildEntityFromRecord(record, caches);
        benchmark::DoNotOptimize(entity.get());
    }
    state.SetLabel(record.Filename + ", " + std::to_string(record.BoundaryCellCount) + " cells, " +
                   std::to_string(record.PinCount) + " pins");
}
BENCHMARK(BM_BuildLargestStoredEntity)->Unit(benchmark::kMillisecond);

void BM_ReadBsdl2469Cells(benchmark::State& state)
{
    const arria5::TStoredBSDLRecord record(LargestRecord());
    std::ifstream in(std::string(ARRIA5_BSDL_DIR) + record.Filename, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string bsdl = text.str();
    if (bsdl.empty()) {
        state.SkipWithError("the generated BSDL file is missing");
        return;
    }
    for (auto _ : state) {
        bsdl::TVHDLEntityList entities;
        bsdl::TBSDLParser reader(nullptr, entities, record.Filename);
        reader.LogToFile = false;
        reader.RunText(bsdl);
        bsdl::TBSDLEntity* entity = bsdl::FirstBSDLEntity(entities);
        entity->ProcessBoundaryInfo();
        if (entity->BoundaryCells.size() != 2469u) state.SkipWithError("unexpected register");
        benchmark::DoNotOptimize(entity);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bsdl.size()));
    state.SetLabel(record.Filename + ", " + std::to_string(bsdl.size() / 1024) + " KiB");
}
BENCHMARK(BM_ReadBsdl2469Cells)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
