#include "hostsim/host/FlowRunner.h"

#include "plugin/com/DispatchRef.h"

namespace hostsim {

namespace {
constexpr int32_t kFlow_StageName = 503705;
}

TFlowRunner::TFlowRunner() : THostDispatchObject("FlowRunner")
{
    Method(503743, [this] {
        ++Runs;
        ++OpenRuns;
    });
    Method(503744, [this] { --OpenRuns; });
    Method(503740, [this](com::IDispatch* stage) {
        const std::string name = stage ? com::TDispatchRef(stage).CallString(kFlow_StageName) : std::string();
        StartedStages.push_back(name);
        if (OnStageStarting) OnStageStarting(name);
    });
    Method(503741, [this](std::string section, std::string item, std::string report, std::string value) {
        TFlowSummaryItem entry{section, item, report, value};
        Summary.push_back(entry);
        if (OnSummaryItem) OnSummaryItem(entry);
    });
}

} // namespace hostsim
