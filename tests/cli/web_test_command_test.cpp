#include "cli/web_test_command.h"

#include <gtest/gtest.h>

namespace brisko::cli {
namespace {

TEST(CliWebTestTest, MedianOfAnEvenCountIsTheMeanOfTheMiddleTwo) {
    const std::tuple<std::vector<double>, double, double> cases[] = {
        {{2.5}, 2.5, 0},
        {{3, 1, 2}, 2, 2},
        {{4, 1, 2, 3}, 2.5, 3},  // an even count takes the middle two
        {{0.5, 0.5, 9}, 0.5, 8.5},
    };
    for (const auto& [seconds, median, spread] : cases) {
        const LoadSpread s = Summarize(seconds);
        EXPECT_EQ(s.median, median);
        EXPECT_EQ(s.Spread(), spread);
    }
}

}  // namespace
}  // namespace brisko::cli
