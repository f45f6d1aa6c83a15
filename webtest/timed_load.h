// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Times one page load in an engine: from the moment the load is asked for until the
// engine reports complete and not busy. The wait sleeps between engine events (each
// event, or a short backstop, re-checks the state) instead of spinning a core.
#include <functional>

#include "platform/browser_engine.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/event_wait.h"

namespace brisko {

struct TimedLoadResult {
    enum class Outcome {
        Completed,  // seconds holds the load time
        Failed,     // error holds what failed; nothing was timed
        Cancelled,  // the wait was ended (the window closed)
        Refused,    // a timed load was already running
    };
    Outcome outcome = Outcome::Refused;
    float seconds = 0.0f;
    Status error;
};

class TimedLoad {
public:
    static constexpr int kBackstopMs = 25;

    TimedLoad(const Clock& clock, EventWaiter& waiter, int backstopMs = kBackstopMs);

    // prepare runs first, untimed (may be empty); then the clock starts, start asks the
    // engine for the load, and the wait runs until the engine is complete and idle. A load
    // the engine reports as failed is Failed, with the engine's reason.
    TimedLoadResult Run(const BrowserEngine& engine, const std::function<Status()>& prepare,
                        const std::function<Status()>& start);
    // Waits until done() holds, untimed. False when cancelled or already running.
    bool WaitUntil(const std::function<bool()>& done);

    bool Running() const { return m_running; }
    // Ends a wait in progress; its result is Cancelled.
    void Cancel();
    // Something happened in the engine: re-check at once.
    void EngineEvent() { m_waiter.Wake(); }

private:
    bool Wait(const std::function<bool()>& done);

    const Clock& m_clock;
    EventWaiter& m_waiter;
    int m_backstopMs;
    bool m_running = false;
    bool m_cancelled = false;
};

}  // namespace brisko
