#include "hostsim/host/EventLoop.h"

#include <algorithm>
#include <thread>

namespace hostsim {

namespace {
constexpr int32_t kHandleTimer = 267;
constexpr int32_t kHandleNotification = 266;
constexpr int kMaxDepth = 8; // re-entrant pumps from inside handlers stop here
} // namespace

TEventLoop::TEventLoop(bool manualTime) : FManual(manualTime), FStart(TClock::now()) {}

int64_t TEventLoop::Now() const
{
    if (FManual) return FManualNow;
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - FStart).count();
}

int32_t TEventLoop::CreateTimer(com::IDispatch* handler, int32_t intervalMs, bool enabled)
{
    const int32_t id = FNextTimer++;
    FTimers.emplace(id, TTimer{com::TDispatchRef(handler), std::max(intervalMs, 1), enabled, Now() + std::max(intervalMs, 1)});
    return id;
}

void TEventLoop::DestroyTimer(int32_t id) { FTimers.erase(id); }

void TEventLoop::RegisterNotificationHandler(com::IDispatch* handler)
{
    if (handler) FNotificationHandlers.emplace_back(handler);
}

void TEventLoop::UnregisterNotificationHandler(com::IDispatch* handler)
{
    std::erase_if(FNotificationHandlers, [&](const com::TDispatchRef& h) { return h.Get() == handler; });
}

void TEventLoop::Broadcast(com::IDispatch* notification)
{
    const auto handlers = FNotificationHandlers; // a handler may unregister itself
    for (const com::TDispatchRef& handler : handlers) {
        try {
            handler.Call(kHandleNotification, {notification});
        } catch (...) {
            // A failing handler does not stop the others.
        }
    }
}

void TEventLoop::Post(std::function<void()> work) { FPosted.push_back(std::move(work)); }

int TEventLoop::ProcessMessages()
{
    if (FDepth >= kMaxDepth) return 0;
    ++FDepth;
    int ran = 0;
    auto posted = std::move(FPosted);
    FPosted.clear();
    for (auto& work : posted) {
        work();
        ++ran;
    }
    const int64_t now = Now();
    std::vector<int32_t> due;
    for (const auto& [id, timer] : FTimers)
        if (timer.Enabled && timer.Due <= now) due.push_back(id);
    for (int32_t id : due) {
        auto found = FTimers.find(id);
        if (found == FTimers.end()) continue; // destroyed by an earlier handler
        found->second.Due = now + found->second.Interval;
        const com::TDispatchRef handler = found->second.Handler;
        try {
            handler.Call(kHandleTimer, {int32_t{id}});
        } catch (...) {
        }
        ++ran;
    }
    --FDepth;
    return ran;
}

void TEventLoop::Advance(int64_t ms)
{
    if (!FManual) {
        RunFor(ms);
        return;
    }
    const int64_t end = FManualNow + ms;
    while (true) {
        int64_t next = end;
        for (const auto& [id, timer] : FTimers)
            if (timer.Enabled) next = std::min(next, timer.Due);
        FManualNow = std::max(FManualNow, next);
        ProcessMessages();
        if (FManualNow >= end) break;
    }
}

void TEventLoop::RunFor(int64_t ms)
{
    const int64_t end = Now() + ms;
    while (Now() < end) {
        ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace hostsim
