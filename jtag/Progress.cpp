#include "jtag/Progress.h"

#include "host/HostServices.h"

#include <vector>

namespace arria5jtag {

namespace {

struct TPercentState {
    int64_t CurrentPercentCount = 0;
    int64_t TotalPercentCount = 0;
    int32_t OldPercent = 0;
    bool Marquee = false;
};

std::vector<TPercentState>& Stack()
{
    static std::vector<TPercentState> stack;
    return stack;
}

// current * 100 / total rounded to the nearest integer, halves to even.
int32_t Percent(int64_t current, int64_t total)
{
    if (total <= 0) return 100;
    const int64_t scaled = current * 100;
    int64_t quotient = scaled / total;
    const int64_t twice = 2 * (scaled % total);
    if (twice > total || (twice == total && (quotient & 1))) ++quotient;
    return static_cast<int32_t>(quotient > 100 ? 100 : quotient);
}

} // namespace

void BeginProgress(const std::string& message, int64_t total)
{
    hostaccess::SetStatusBarText(kProgressReset, {});
    hostaccess::SetStatusBarText(kProgressMessage, message);
    Stack().push_back({0, total, 0, false});
}

void StepProgress()
{
    if (Stack().empty() || Stack().back().Marquee) return;
    TPercentState& state = Stack().back();
    ++state.CurrentPercentCount;
    const int32_t percent = Percent(state.CurrentPercentCount, state.TotalPercentCount);
    for (int32_t gained = state.OldPercent; gained < percent; ++gained) hostaccess::SetStatusBarText(kProgressStep, {});
    if (percent > state.OldPercent) state.OldPercent = percent;
}

void EndProgress()
{
    if (Stack().empty() || Stack().back().Marquee) return;
    hostaccess::SetStatusBarText(kProgressFinish, {});
    hostaccess::SetStatusBarText(kProgressHide, {});
    Stack().pop_back();
}

size_t ProgressDepth() { return Stack().size(); }

} // namespace arria5jtag
