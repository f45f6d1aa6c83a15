// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Two sets of results of one test set side by side by rank (Mann-Whitney U): how
// likely a difference this large is on an unchanged link, and the range of ratios the
// same test cannot rule out. Ranks, not values, so one odd run cannot sway it.
#include <cstddef>
#include <optional>
#include <vector>

namespace brisko {

// The middle value; the mean of the two middle ones for an even count. 0 when empty.
double Median(std::vector<double> values);

// The two-sided p-value of the rank test of after against before: exact (ties
// included) up to exactUpTo results in all, from the normal curve with the tie
// correction beyond. 1 when either side is empty.
inline constexpr std::size_t kExactRankTestSize = 60;
double RankTestPValue(const std::vector<double>& before, const std::vector<double>& after,
                      std::size_t exactUpTo = kExactRankTestSize);

struct RatioInterval {
    double low = 1, high = 1;  // after / before
};
// The ratios after / before that the rank test at 5% cannot rule out, as a 95%
// interval: the pairwise ratios' order statistics at its critical value. nullopt when
// a value is not above 0, or when the samples are too small for 95%.
std::optional<RatioInterval> RankRatioInterval(const std::vector<double>& before, const std::vector<double>& after);

}  // namespace brisko
