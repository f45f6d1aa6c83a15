// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The figures of a network quality run from its raw readings: jitter, the trimmed
// means and responsiveness of draft-ietf-ippm-responsiveness-06, and goodput without
// the ramp-up. Medians are the history's (history/rank_statistics.h).
#include <cstdint>
#include <optional>
#include <vector>

namespace brisko {

// The median, empty for no values.
std::optional<double> MedianIfAny(const std::vector<double>& values);

// The mean absolute difference of successive values, in the order taken; empty for
// fewer than two.
std::optional<double> Jitter(const std::vector<double>& inOrder);

// The draft's single-sided trimmed mean: the mean of the values up to the keep
// percentile (the largest 5 % are outliers by default). Empty for no values.
std::optional<double> TrimmedMean(std::vector<double> values, double keep = 0.95);

// The readings responsiveness is computed from, in milliseconds: for each probe on a
// connection of its own its TCP connect and its HTTP round trip, and the HTTP round
// trips of the probes on the loaded connections.
struct ResponsivenessReadings {
    std::vector<double> foreignConnectMs, foreignHttpMs, selfHttpMs;
};

// Round trips per minute, as the draft's TCP-only case has it: with TM the trimmed mean,
//   foreign = 60000 / ((TM(connect) + TM(http foreign)) / 2)
//   loaded  = 60000 / TM(http self)
//   RPM     = (foreign + loaded) / 2
// When only one kind of probe answered, that kind alone. Empty without any.
std::optional<double> ResponsivenessRpm(const ResponsivenessReadings& readings);

// Megabits (10^6 bits) per second.
double Mbit(double bytes, double seconds);

// Goodput over a phase without its ramp-up: bytes count from the first reading at or
// after start + rampSeconds, so that connecting and slow start do not pull the rate
// down.
class GoodputMeter {
public:
    GoodputMeter(double start, double rampSeconds);
    // A reading of the phase's bytes so far (they only grow).
    void Add(double now, std::uint64_t totalBytes);
    // Empty until two readings past the ramp-up lie apart.
    std::optional<double> Mbit() const;

private:
    double m_rampEnd;
    bool m_started = false;
    double m_fromTime = 0, m_lastTime = 0;
    std::uint64_t m_fromBytes = 0, m_lastBytes = 0;
};

}  // namespace brisko
