// SPDX-License-Identifier: GPL-3.0-or-later
// The rank test against published tables of the exact distribution of U, and its
// interval of the ratio on samples whose answer is known.
#include <gtest/gtest.h>

#include "history/rank_statistics.h"

namespace brisko::test {
namespace {

// Two-sided p-values: twice the one-sided P(U <= u) of the Mann-Whitney tables (and of
// R's wilcox.test example, W = 35, one-sided 0.1272); with ties, the exact chance over
// every split of the pooled values.
TEST(RankTest, PValuesMatchTheExactTables) {
    const struct {
        std::vector<double> before, after;
        double p;
    } cases[] = {
        {{1, 2, 3, 4}, {5, 6, 7, 8}, 2.0 / 70},       // 4 and 4, U = 0
        {{1, 2, 3, 5}, {4, 6, 7, 8}, 4.0 / 70},       // U = 1
        {{1, 2, 4, 6}, {3, 5, 7, 8}, 0.2},            // U = 3
        {{8, 7, 6}, {5, 4, 3, 2, 1}, 2.0 / 56},       // 3 and 5, U = 0, after lower
        {{1, 2, 5}, {3, 4, 6, 7, 8}, 8.0 / 56},       // U = 2
        {{1, 2, 3, 4, 7}, {5, 6, 8, 9, 10}, 8.0 / 252},  // 5 and 5, U = 2
        {{1, 2, 3, 4, 9}, {5, 6, 7, 8, 10}, 24.0 / 252},
        {{1, 2, 3}, {4, 5, 6}, 0.1},  // 3 and 3 can never reach 5%
        {{1.15, 0.88, 0.90, 0.74, 1.21}, {0.80, 0.83, 1.89, 1.04, 1.45, 1.38, 1.91, 1.64, 0.73, 1.46}, 0.2544122544},
        {{2047, 2047, 2047, 2048}, {2048, 2048, 2048, 2048}, 1.0 / 7},
        {{2047, 2047, 2047}, {2047, 2047, 2047, 2047, 2047}, 1},
        {{}, {1, 2}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(RankTestPValue(c.before, c.after), c.p, 1e-9) << c.p;
        EXPECT_NEAR(RankTestPValue(c.after, c.before), c.p, 1e-9) << c.p;  // either way round
    }

    // Beyond the exact sizes, the normal curve with the tie correction comes close.
    std::vector<double> before, after;
    for (int i = 0; i < 20; ++i) {
        before.push_back(1000 + (i * 37) % 50);
        after.push_back(1010 + (i * 53) % 50);
    }
    EXPECT_NEAR(RankTestPValue(before, after, 0), RankTestPValue(before, after), 0.005);
}

TEST(RankTest, RatioIntervalIsTheRankTestsOwn) {
    // 5 and 5: the third ratio from each end of the 25 (4 and 4 take the ends).
    const auto five = RankRatioInterval({1, 2, 3, 4, 5}, {2, 4, 6, 8, 10});
    ASSERT_TRUE(five);
    EXPECT_DOUBLE_EQ(five->low, 2.0 / 3);
    EXPECT_DOUBLE_EQ(five->high, 6);
    // No 95% from 3 and 3, nor from a value a ratio cannot take.
    EXPECT_FALSE(RankRatioInterval({1, 2, 3}, {4, 5, 6}));
    EXPECT_FALSE(RankRatioInterval({0, 2, 3, 4}, {4, 5, 6, 7}));
    // Ties at the bound stay exactly at 1.
    const auto tied = RankRatioInterval({2047, 2047, 2047, 2047}, {2047, 2047, 2047, 2047});
    ASSERT_TRUE(tied);
    EXPECT_EQ(std::make_pair(tied->low, tied->high), std::make_pair(1.0, 1.0));

    // Many results: the same link gives an interval even about 1, a doubled one twice it.
    std::vector<double> before, doubled;
    for (int i = 0; i < 150; ++i) {
        before.push_back(2000 + (i * 7919) % 97);
        doubled.push_back(2 * before.back());
    }
    const auto same = RankRatioInterval(before, before), twice = RankRatioInterval(before, doubled);
    ASSERT_TRUE(same && twice);
    EXPECT_LT(same->low, 1);
    EXPECT_NEAR(same->low * same->high, 1, 1e-12);
    EXPECT_NEAR(twice->low, 2 * same->low, 1e-12);
    EXPECT_NEAR(twice->high, 2 * same->high, 1e-12);
}

}  // namespace
}  // namespace brisko::test
