// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/timed_load.h"

namespace brisko {

namespace {
// Marks a wait as running for as long as the scope lives.
class RunningScope {
public:
    explicit RunningScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningScope() { m_flag = false; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

private:
    bool& m_flag;
};
}  // namespace

TimedLoad::TimedLoad(const Clock& clock, EventWaiter& waiter, int backstopMs)
    : m_clock(clock), m_waiter(waiter), m_backstopMs(backstopMs) {}

void TimedLoad::Cancel() {
    m_cancelled = true;
    m_waiter.Wake();
}

bool TimedLoad::Wait(const std::function<bool()>& done) {
    while (!m_cancelled && !done()) m_waiter.WaitForWake(m_backstopMs);
    return !m_cancelled;
}

bool TimedLoad::WaitUntil(const std::function<bool()>& done) {
    if (m_running) return false;
    RunningScope running(m_running);
    m_cancelled = false;
    return Wait(done);
}

TimedLoadResult TimedLoad::Run(const BrowserEngine& engine, const std::function<Status()>& prepare,
                               const std::function<Status()>& start) {
    TimedLoadResult result;
    if (m_running) return result;
    RunningScope running(m_running);
    m_cancelled = false;

    if (prepare) {
        result.error = prepare();
        if (m_cancelled) return {TimedLoadResult::Outcome::Cancelled, 0.0f, {}};
        if (!result.error.ok()) {
            result.outcome = TimedLoadResult::Outcome::Failed;
            return result;
        }
    }
    // Durations come from the monotonic clock: a load across midnight stays positive.
    const double t0 = m_clock.MonotonicSeconds();
    result.error = start();
    if (!result.error.ok()) {
        result.outcome = TimedLoadResult::Outcome::Failed;
        return result;
    }
    if (!Wait([&] { return engine.ReadyState() == kReadyStateComplete && !engine.Busy(); })) {
        result.outcome = TimedLoadResult::Outcome::Cancelled;
        return result;
    }
    const double t1 = m_clock.MonotonicSeconds();
    // The engine is complete on an error page too: a page that never came is no load time.
    result.error = engine.LoadError();
    if (!result.error.ok()) {
        result.outcome = TimedLoadResult::Outcome::Failed;
        return result;
    }
    result.outcome = TimedLoadResult::Outcome::Completed;
    result.seconds = static_cast<float>(t1 - t0);
    return result;
}

}  // namespace brisko
