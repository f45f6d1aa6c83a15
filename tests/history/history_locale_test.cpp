// SPDX-License-Identifier: GPL-3.0-or-later
// What machines read is written the same whatever the user's locale: Qt sets the C
// library's, and a German one would turn 2.5 into "2,50" in a CSV or a JSON figure.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "history/history_export.h"
#include "history/history_summary.h"

namespace brisko::test {
namespace {

TEST(HistoryExport, CsvJsonAndSummaryFiguresIgnoreTheCLibrarysLocale) {
    std::vector<HistoryRecord> records;
    for (double seconds : {2.5, 2.75, 2.25, 3.0})
        records.push_back({1700000000, "brisko", WebTestRecord{"ie", "http://a/p", seconds}});
    records.push_back({1700000100, "brisko", BoostRecord{"boost", {"web.reg"}, {}, {"PatchFirefoxPrefs"}, {}}});
    for (double seconds : {1.2, 1.25, 1.0, 1.1, 0.03078981})
        records.push_back({1700000200, "brisko", WebTestRecord{"ie", "http://a/p", seconds}});
    const auto written = [&records] {
        return HistoryCsv(records) + HistoryJson(records) + BoostSummary(records, ",");
    };
    const std::string inC = written();
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    const std::string inGerman = written();
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(inGerman, inC);
    EXPECT_NE(inC.find(",2.5,"), std::string::npos) << inC;
    EXPECT_NE(inC.find("0.03078981"), std::string::npos) << inC;
}

}  // namespace
}  // namespace brisko::test
