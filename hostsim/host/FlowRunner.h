// The host's run observer handed to a flow's run operations: it hears when a
// run starts and ends, which stage starts its own work, and the summary items
// the steps read from their reports.
#pragma once

#include "hostsim/dispatch/HostDispatchObject.h"

#include <functional>
#include <string>
#include <vector>

namespace hostsim {

struct TFlowSummaryItem {
    std::string Section, Item, ReportFile, Value;
};

class TFlowRunner : public THostDispatchObject {
public:
    TFlowRunner();
    std::vector<TFlowSummaryItem> Summary;
    std::vector<std::string> StartedStages; // the stage names, in order
    int Runs = 0;
    int OpenRuns = 0;
    std::function<void(const std::string& stage)> OnStageStarting;
    std::function<void(const TFlowSummaryItem&)> OnSummaryItem;
};

} // namespace hostsim
