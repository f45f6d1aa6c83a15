// SPDX-License-Identifier: GPL-3.0-or-later
#include "quality/quality_statistics.h"

#include <gtest/gtest.h>

namespace brisko {
namespace {

TEST(QualityStatistics, MedianAndJitterOfIdleProbes) {
    EXPECT_FALSE(MedianIfAny({}));
    EXPECT_DOUBLE_EQ(*MedianIfAny({0}), 0);
    EXPECT_DOUBLE_EQ(*MedianIfAny({4, 1, 3, 2}), 2.5);
    // Jitter follows the order the probes were taken in, not their sizes.
    EXPECT_FALSE(Jitter({7}));
    EXPECT_DOUBLE_EQ(*Jitter({10, 12, 10, 12}), 2);
    EXPECT_DOUBLE_EQ(*Jitter({10, 10, 12, 12}), 2.0 / 3);
    EXPECT_DOUBLE_EQ(*Jitter({20, 10}), 10);
}

TEST(QualityStatistics, TrimmedMeanDropsOnlyTheHighestTail) {
    EXPECT_FALSE(TrimmedMean({}));
    // Below 20 values nothing is trimmed at 95 %.
    EXPECT_DOUBLE_EQ(*TrimmedMean({1, 2, 3, 1000}), 251.5);
    std::vector<double> values(19, 10.0);
    values.push_back(1000);  // 20 values: the one outlier goes
    EXPECT_DOUBLE_EQ(*TrimmedMean(values), 10);
    values.push_back(0.5);   // a low value is never trimmed
    EXPECT_NEAR(*TrimmedMean(values), (19 * 10 + 0.5) / 20, 1e-9);
    EXPECT_DOUBLE_EQ(*TrimmedMean({3, 1, 2}, 0.5), 1.5);
}

TEST(QualityStatistics, ResponsivenessWeighsForeignAndSelfProbesAlike) {
    EXPECT_FALSE(ResponsivenessRpm({}));
    // Connect 40 ms and HTTP 60 ms (foreign 60000 / 50 = 1200 RPM), self 100 ms (600 RPM).
    ResponsivenessReadings r{{40, 40}, {60, 60}, {100, 100}};
    EXPECT_DOUBLE_EQ(*ResponsivenessRpm(r), 900);
    // The trimmed means, not plain ones: one stray of twenty goes.
    for (int i = 0; i < 18; ++i) r.selfHttpMs.push_back(100);
    r.selfHttpMs.push_back(100000);
    EXPECT_DOUBLE_EQ(*ResponsivenessRpm(r), 900);
    // One kind alone still tells.
    EXPECT_DOUBLE_EQ(*ResponsivenessRpm({{}, {}, {50}}), 1200);
    EXPECT_DOUBLE_EQ(*ResponsivenessRpm({{10}, {30}, {}}), 3000);
    // A round trip below the clock's reach is no division by zero.
    EXPECT_GT(*ResponsivenessRpm({{0}, {0}, {0}}), 1e6);
}

TEST(QualityStatistics, GoodputLeavesOutTheRampUp) {
    GoodputMeter meter(100.0, 1.0);
    // Slow start: 1 MB in the first second, then 10 MB/s.
    meter.Add(100.5, 200'000);
    EXPECT_FALSE(meter.Mbit());
    meter.Add(101.0, 1'000'000);
    EXPECT_FALSE(meter.Mbit());  // one reading past the ramp is no rate yet
    meter.Add(102.0, 11'000'000);
    meter.Add(103.0, 21'000'000);
    EXPECT_DOUBLE_EQ(*meter.Mbit(), 80);
    EXPECT_DOUBLE_EQ(Mbit(1'250'000, 2), 5);
    EXPECT_DOUBLE_EQ(Mbit(1, 0), 0);
}

}  // namespace
}  // namespace brisko
