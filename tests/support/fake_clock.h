#pragma once
#include "platform/clock.h"

namespace brisko::test {

// A clock the test moves by hand; both readings advance together.
class FakeClock final : public Clock {
public:
    double SecondsSinceMidnight() const override { return m_midnight; }
    double MonotonicSeconds() const override { return m_monotonic; }
    void Advance(double seconds) {
        m_midnight += seconds;
        m_monotonic += seconds;
        if (m_midnight >= 86400.0) m_midnight -= 86400.0;
    }
    void SetMidnightSeconds(double s) { m_midnight = s; }

private:
    double m_midnight = 36000.0;
    double m_monotonic = 1000.0;
};

}  // namespace brisko::test
