// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Clock service. Back ends: SystemClock (std::chrono, all platforms).
// SystemServices (platform/services.h) owns it; logic borrows it by reference.

namespace brisko {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, fractional (the classic process timer).
    virtual double SecondsSinceMidnight() const = 0;
    // Seconds on a clock that never jumps; use differences only.
    virtual double MonotonicSeconds() const = 0;
};

class SystemClock final : public Clock {
public:
    double SecondsSinceMidnight() const override;
    double MonotonicSeconds() const override;
};

}  // namespace brisko
