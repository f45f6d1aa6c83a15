// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "webtest/web_test_rules.h"

namespace brisko {
namespace {

TEST(LeadingNumberTest, ReadsTheNumberAtTheStartAsValDoes) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"1 2x", 12}, {"  7", 7}, {"x12", 0}, {"", 0}, {"1e2 ", 100}, {"1D2", 100},
        {"1e", 1}, {".5", 0.5}, {"+4", 4}, {"12)", 12}, {"0x10", 0}, {"\t9\n", 9},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.expected) << c.text;
}

// Each row: a status text, then the counter and the bar after it.
struct Step {
    const char* text;
    int items, max, value;
};

void RunItems(const std::vector<Step>& steps, ItemsRemainingRule& rule, ProgressBarModel& bar) {
    for (const Step& s : steps) {
        rule.Apply(s.text, bar);
        EXPECT_EQ(rule.ItemsRemaining(), s.items) << s.text;
        EXPECT_EQ(bar.max, s.max) << s.text;
        EXPECT_EQ(bar.value, s.value) << s.text;
    }
}

// The first count of a load fixes the range; counts outside it clamp; odd numbers are read as Val
// reads them and rounded halves to even.
TEST(ItemsRemainingRuleTest, FirstCountFixesTheRangeAndTheBarClimbs) {
    ItemsRemainingRule rule;
    ProgressBarModel bar;
    RunItems({{"Connecting to site 1.2.3.4", 0, 100, 0},
              {"(12 items remaining) Downloading picture http://x/a.gif...", 12, 12, 1},
              {"(13 items remaining)", 13, 12, 0},  // 12 - 13 + 1 clamps to 0
              {"(0 items remaining)", 0, 12, 12},   // 12 - 0 + 1 clamps to Max
              {"Done", 0, 12, 12}},
             rule, bar);
    // A first count of 0 cannot set Max (not above Min), and 1 - 0 clamps too.
    rule.Reset();
    ProgressBarModel other;
    RunItems({{"(0 items remaining)", 0, 100, 100}}, rule, other);
    RunItems({{"(4 items remaining)", 4, 4, 1}, {"(2.5 items remaining)", 2, 4, 3},
              {"(3.5 items remaining)", 4, 4, 1}}, rule, bar);
    rule.Reset();
    RunItems({{"(x items remaining)", 0, 4, 4}, {"(99999999999 items remaining)", 2147483647, 2147483647, 1}},
             rule, bar);
    // Case matters, and the text must carry the closing parenthesis.
    RunItems({{"(3 Items Remaining)", 2147483647, 2147483647, 1},
              {"(3 items remaining", 2147483647, 2147483647, 1},
              {"(-1e20 items remaining)", -2147483647 - 1, 2147483647, 2147483647}},
             rule, bar);
}

// Image tags open with "<img" in any case; their count sets Max (never to 0), and each transfer
// steps the bar up to one short of it, counting on across tests until a refresh.
TEST(TransferRuleTest, StepsUpToOneShortOfTheImageCountAndCountsOnAcrossTests) {
    EXPECT_EQ(CountImageTags("<p>no pictures</p><im g>"), 0);
    EXPECT_EQ(CountImageTags("<img<IMG<iMg src=x>"), 3);
    EXPECT_EQ(CountImageTags("<imgur>"), 1);  // any opener counts, as the split does
    ProgressBarModel bar;
    TransferRule rule;
    ApplyImageCount(5, bar);
    std::vector<int> values;
    for (int i = 0; i < 7; ++i) {
        rule.Apply("Transferring data from host...", bar);
        values.push_back(bar.value);
    }
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 4, 4, 4}));
    EXPECT_FALSE(rule.Apply("transferring", bar));  // case matters

    // A second test keeps counting: already past the new Max, the bar stays at 0.
    ApplyImageCount(3, bar);
    rule.Apply("Transferring", bar);
    EXPECT_EQ(bar.value, 0);
    // A refresh starts the count again; the end of a navigation puts the bar back to Min.
    rule.Reset();
    rule.Apply("Transferring", bar);
    ApplyNavigateComplete(bar);
    EXPECT_EQ(bar.value, 0);
    bar.SetValue(2);
    ApplyImageCount(0, bar);
    EXPECT_EQ(bar.max, 3);
    EXPECT_EQ(bar.value, 0);
}

TEST(FormatSingleTest, WritesUpToSevenSignificantDigits) {
    const struct {
        float value;
        const char* point;
        const char* expected;
    } cases[] = {
        {0.453125f, ",", "0,453125"}, {3.0f, ".", "3"}, {-0.25f, ".", "-0.25"}, {0.1f, ".", "0.1"},
        {12.3456789f, ".", "12.34568"}, {0.00001f, ".", "1E-05"}, {12345678.0f, ".", "1.234568E+07"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatSingle(c.value, c.point), c.expected) << c.expected;
}

}  // namespace
}  // namespace brisko
