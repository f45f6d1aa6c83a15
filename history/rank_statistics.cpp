// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/rank_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>

namespace brisko {

namespace {

constexpr double kTwoSided95 = 1.959963984540054;  // the normal curve's 97.5% point

struct Ranked {
    std::vector<std::int64_t> doubledRanks;  // twice the mid-rank: whole numbers even with ties
    std::int64_t afterSum = 0;               // of the after side's doubled ranks
    double tieTerm = 0;              // the sum of t^3 - t over runs of t equal values
};

Ranked Rank(const std::vector<double>& before, const std::vector<double>& after) {
    std::vector<std::pair<double, bool>> all;
    for (double v : before) all.push_back({v, false});
    for (double v : after) all.push_back({v, true});
    std::sort(all.begin(), all.end());
    Ranked r;
    for (std::size_t i = 0; i < all.size();) {
        std::size_t j = i;
        while (j + 1 < all.size() && all[j + 1].first == all[i].first) ++j;
        const std::int64_t doubled = static_cast<std::int64_t>(i + 1 + j + 1);
        const double t = static_cast<double>(j - i + 1);
        r.tieTerm += t * t * t - t;
        for (std::size_t k = i; k <= j; ++k) {
            r.doubledRanks.push_back(doubled);
            if (all[k].second) r.afterSum += doubled;
        }
        i = j + 1;
    }
    return r;
}

// The chance of each sum of `pick` of the doubled ranks, every choice as likely.
std::vector<double> SumDistribution(const std::vector<std::int64_t>& doubledRanks, std::size_t pick) {
    const std::int64_t total = std::accumulate(doubledRanks.begin(), doubledRanks.end(), std::int64_t{0});
    std::vector<std::vector<double>> ways(pick + 1, std::vector<double>(static_cast<std::size_t>(total) + 1, 0));
    ways[0][0] = 1;
    std::size_t seen = 0;
    for (std::int64_t w : doubledRanks) {
        ++seen;
        for (std::size_t j = std::min(seen, pick); j >= 1; --j)
            for (std::int64_t s = total; s >= w; --s) ways[j][s] += ways[j - 1][s - w];
    }
    std::vector<double>& last = ways[pick];
    const double all = std::accumulate(last.begin(), last.end(), 0.0);
    for (double& p : last) p /= all;
    return last;
}

// The largest u whose lower tail P(U <= u) stays within 2.5% on an unchanged link with
// no ties; -1 when not even u = 0 does.
std::int64_t CriticalU(std::size_t m, std::size_t n) {
    const std::size_t total = m + n, small = std::min(m, n);
    if (total > kExactRankTestSize) {
        const double mn = static_cast<double>(m * n);
        return static_cast<std::int64_t>(
            std::floor(mn / 2 - 0.5 - kTwoSided95 * std::sqrt(mn * static_cast<double>(total + 1) / 12)));
    }
    std::vector<std::int64_t> ranks(total);
    for (std::size_t i = 0; i < total; ++i) ranks[i] = 2 * static_cast<std::int64_t>(i + 1);
    const std::vector<double> p = SumDistribution(ranks, small);
    const std::int64_t least = static_cast<std::int64_t>(small * (small + 1));  // the doubled sum at U = 0
    double tail = 0;
    std::int64_t u = -1;
    for (std::int64_t s = least; s < static_cast<std::int64_t>(p.size()); s += 2) {
        tail += p[s];
        if (tail > 0.025 + 1e-12) break;
        ++u;
    }
    return u;
}

// Sorted x (before) and y (after): how many y_j - x_i are at most t.
std::size_t CountAtMost(const std::vector<double>& x, const std::vector<double>& y, double t) {
    std::size_t count = 0, i = 0;
    for (double yj : y) {
        while (i < x.size() && yj - x[i] > t) ++i;
        count += x.size() - i;
    }
    return count;
}

// The least y_j - x_i above t.
double LeastAbove(const std::vector<double>& x, const std::vector<double>& y, double t) {
    double least = HUGE_VAL;
    std::size_t i = x.size();
    for (auto yj = y.rbegin(); yj != y.rend(); ++yj) {
        // The largest x_i with yj - x_i > t; as yj falls it moves left.
        while (i > 0 && !(*yj - x[i - 1] > t)) --i;
        if (i > 0) least = std::min(least, *yj - x[i - 1]);
    }
    return least;
}

// The k-th smallest (from 1) of all y_j - x_i, found without listing them.
double KthDifference(const std::vector<double>& x, const std::vector<double>& y, std::size_t k) {
    double low = y.front() - x.back(), high = y.back() - x.front();
    if (CountAtMost(x, y, low) >= k) return low;
    for (int step = 0; step < 200; ++step) {
        const double middle = low + (high - low) / 2;
        if (middle <= low || middle >= high) break;
        (CountAtMost(x, y, middle) >= k ? high : low) = middle;
    }
    return LeastAbove(x, y, low);  // exactly one of the differences, so a tie at 0 stays 0
}

}  // namespace

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half), values.end());
    const double upper = values[half];
    if (values.size() % 2) return upper;
    return (*std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(half)) + upper) / 2;
}

double RankTestPValue(const std::vector<double>& before, const std::vector<double>& after, std::size_t exactUpTo) {
    if (before.empty() || after.empty()) return 1;
    const Ranked r = Rank(before, after);
    const std::size_t total = r.doubledRanks.size(), n = after.size();
    // How far the after side's doubled rank sum lies from its mean; the before side's
    // lies as far the other way, so the smaller side's sums give the same tail.
    const std::int64_t distance = std::llabs(r.afterSum - static_cast<std::int64_t>(n * (total + 1)));
    if (total <= exactUpTo) {
        const std::size_t pick = std::min(n, before.size());
        const std::int64_t mean = static_cast<std::int64_t>(pick * (total + 1));
        const std::vector<double> p = SumDistribution(r.doubledRanks, pick);
        double tail = 0;
        for (std::size_t s = 0; s < p.size(); ++s)
            if (std::llabs(static_cast<std::int64_t>(s) - mean) >= distance) tail += p[s];
        return std::min(1.0, tail);
    }
    const double N = static_cast<double>(total), m = static_cast<double>(before.size());
    const double variance = m * static_cast<double>(n) / 12 * ((N + 1) - r.tieTerm / (N * (N - 1)));
    if (variance <= 0) return 1;
    const double z = std::max(0.0, static_cast<double>(distance) / 2 - 0.5) / std::sqrt(variance);
    return std::min(1.0, std::erfc(z / std::sqrt(2.0)));
}

std::optional<RatioInterval> RankRatioInterval(const std::vector<double>& before, const std::vector<double>& after) {
    if (before.empty() || after.empty()) return std::nullopt;
    std::vector<double> x, y;
    for (double v : before) x.push_back(std::log(v));
    for (double v : after) y.push_back(std::log(v));
    const auto finite = [](double v) { return std::isfinite(v); };
    if (!std::all_of(x.begin(), x.end(), finite) || !std::all_of(y.begin(), y.end(), finite)) return std::nullopt;
    const std::int64_t c = CriticalU(x.size(), y.size());
    if (c < 0) return std::nullopt;
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    const std::size_t k = static_cast<std::size_t>(c) + 1, pairs = x.size() * y.size();
    return RatioInterval{std::exp(KthDifference(x, y, k)), std::exp(KthDifference(x, y, pairs + 1 - k))};
}

}  // namespace brisko
