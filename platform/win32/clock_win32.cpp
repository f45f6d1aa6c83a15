// SPDX-License-Identifier: GPL-3.0-or-later
// The clock on Windows: the local wall clock for the process timer, the performance
// counter for durations.
#include <windows.h>

#include "platform/clock.h"

namespace brisko {

double SystemClock::SecondsSinceMidnight() const {
    FILETIME utc, local;
    ::GetSystemTimeAsFileTime(&utc);
    ::FileTimeToLocalFileTime(&utc, &local);
    // Local file times count 100 ns steps from a local midnight (1 January 1601).
    constexpr ULONGLONG kStepsPerDay = 86400ULL * 10'000'000ULL;
    const ULONGLONG steps = (static_cast<ULONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
    return static_cast<double>(steps % kStepsPerDay) / 1e7;
}

double SystemClock::MonotonicSeconds() const {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart / frequency) +
           static_cast<double>(now.QuadPart % frequency) / static_cast<double>(frequency);
}

}  // namespace brisko
