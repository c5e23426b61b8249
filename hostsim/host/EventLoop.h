// The host's event loop: it owns time. Timers created through the host's timer
// manager fire from here, notifications are delivered from here, and the
// plug-in's "pump the message loop" lands here. Time is either the real
// monotonic clock or a manual clock that tests advance by hand.
#pragma once

#include "plugin/com/DispatchRef.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace hostsim {

class TEventLoop {
public:
    using TClock = std::chrono::steady_clock;

    explicit TEventLoop(bool manualTime = false);

    bool ManualTime() const { return FManual; }
    // Milliseconds since the loop started (manual: what Advance added).
    int64_t Now() const;

    // A timer calling handler operation 267 (HandleTimer) with the id every interval ms.
    int32_t CreateTimer(com::IDispatch* handler, int32_t intervalMs, bool enabled);
    void DestroyTimer(int32_t id);
    size_t TimerCount() const { return FTimers.size(); }

    void RegisterNotificationHandler(com::IDispatch* handler);
    void UnregisterNotificationHandler(com::IDispatch* handler);
    // Calls operation 266 (HandleNotification) of every registered handler.
    void Broadcast(com::IDispatch* notification);

    // Work queued to run on the next pump.
    void Post(std::function<void()> work);

    // Runs posted work and every timer that is due; returns how many ran.
    int ProcessMessages();
    // Manual time: moves the clock and fires the timers due on the way, in order.
    void Advance(int64_t ms);
    // Real time: processes messages until the given time has passed.
    void RunFor(int64_t ms);

private:
    struct TTimer {
        com::TDispatchRef Handler;
        int32_t Interval;
        bool Enabled;
        int64_t Due;
    };

    bool FManual;
    int64_t FManualNow = 0;
    TClock::time_point FStart;
    int32_t FNextTimer = 1;
    std::map<int32_t, TTimer> FTimers;
    std::vector<com::TDispatchRef> FNotificationHandlers;
    std::vector<std::function<void()>> FPosted;
    int FDepth = 0;
};

} // namespace hostsim
