// SPDX-License-Identifier: GPL-3.0-or-later
#include "quality/quality_statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "history/rank_statistics.h"

namespace brisko {

namespace {

// A round trip too short for the clock still counts as one.
constexpr double kShortestMs = 0.001;

double PerMinute(double ms) { return 60000.0 / std::max(ms, kShortestMs); }

}  // namespace

std::optional<double> MedianIfAny(const std::vector<double>& values) {
    if (values.empty()) return std::nullopt;
    return Median(values);
}

std::optional<double> Jitter(const std::vector<double>& inOrder) {
    if (inOrder.size() < 2) return std::nullopt;
    double sum = 0;
    for (std::size_t i = 1; i < inOrder.size(); ++i) sum += std::abs(inOrder[i] - inOrder[i - 1]);
    return sum / static_cast<double>(inOrder.size() - 1);
}

std::optional<double> TrimmedMean(std::vector<double> values, double keep) {
    if (values.empty()) return std::nullopt;
    std::sort(values.begin(), values.end());
    // At least one value stays, however few there are.
    const auto kept = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::ceil(static_cast<double>(values.size()) * keep - 1e-9)), 1, values.size());
    return std::accumulate(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(kept), 0.0) /
           static_cast<double>(kept);
}

std::optional<double> ResponsivenessRpm(const ResponsivenessReadings& r) {
    const std::optional<double> connect = TrimmedMean(r.foreignConnectMs);
    const std::optional<double> http = TrimmedMean(r.foreignHttpMs);
    const std::optional<double> self = TrimmedMean(r.selfHttpMs);
    std::optional<double> foreign;
    if (connect && http) foreign = PerMinute((*connect + *http) / 2);
    std::optional<double> loaded;
    if (self) loaded = PerMinute(*self);
    if (foreign && loaded) return (*foreign + *loaded) / 2;
    return foreign ? foreign : loaded;
}

double Mbit(double bytes, double seconds) { return seconds > 0 ? bytes * 8 / 1e6 / seconds : 0; }

GoodputMeter::GoodputMeter(double start, double rampSeconds) : m_rampEnd(start + rampSeconds) {}

void GoodputMeter::Add(double now, std::uint64_t totalBytes) {
    if (now < m_rampEnd) return;
    if (!m_started) {
        m_started = true;
        m_fromTime = now;
        m_fromBytes = totalBytes;
    }
    m_lastTime = now;
    m_lastBytes = std::max(totalBytes, m_fromBytes);
}

std::optional<double> GoodputMeter::Mbit() const {
    if (!m_started || m_lastTime <= m_fromTime) return std::nullopt;
    return brisko::Mbit(static_cast<double>(m_lastBytes - m_fromBytes), m_lastTime - m_fromTime);
}

}  // namespace brisko
