// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/report_compare.h"
#include "cli/history_command.h"
#include "cli/quality_command.h"
#include "cli/web_test_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/fakes.h"

namespace brisko::cli {
namespace {

const ReportFields kFirstFields{"5120 KB", "31.7 seconds", "161 KB/s", "176 KB/s", "81 KB/s", " - - before - -"};
// The first report as Save As writes it, byte for byte.
const std::string kFirst =
    "---------------------------------------\r\n"
    "             Brisko\r\n"
    "   Internet Speed Booster\r\n"
    "                v3.0\r\n"
    " \r\n"
    "   Saved on, 24/06/2008 at, 14:05:09\r\n"
    "---------------------------------------\r\n"
    " \r\n"
    " Test data size: 5120 KB\r\n\r\n"
    " \r\n"
    " Total time taken to download: 31.7 seconds\r\n\r\n"
    " \r\n"
    " Average speed: 161 KB/s\r\n\r\n"
    " \r\n"
    "         Max speed: 176 KB/s\r\n"
    "         Min speed: 81 KB/s\r\n\r\n"
    " \r\n"
    " \r\n"
    " Comments:  - - before - -\r\n\r\n"
    " \r\n"
    "---------------------------------------\r\n"
    "          End Of Test Details\r\n"
    "---------------------------------------\r\n";

// Three saves into one file, as the window and data-test --report append them.
std::string ThreeReports() {
    return kFirst +
           BuildReport({"5120 KB", "20.5 seconds", "249 KB/s", "300 KB/s", "0 KB/s", ""}, "24/06/2008", "14:35:00") +
           BuildReport({"10240 KB", "31.7 seconds", "80 KB/s", "176 KB/s", "10240 KB/s", "after"}, "25/06/2008",
                       "09:00:01");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(ReportCompareTest, ReadsEveryReportWhateverTheLineEnds) {
    EXPECT_EQ(BuildReport(kFirstFields, "24/06/2008", "14:05:09"), kFirst);
    std::string lf, tidy;  // LF only; and blank lines dropped, trailing blanks stripped, as an editor may
    for (char c : ThreeReports())
        if (c != '\r') lf += c;
    for (std::string line : Lines(lf)) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) tidy += line + "\n";
    }
    for (const std::string& text : {ThreeReports(), lf, tidy}) {
        const ReportsRead read = ReadReports(text, "r.txt");
        ASSERT_EQ(read.problem, "");
        ASSERT_EQ(read.reports.size(), 3u);
        const ReportFields& f = read.reports[0].fields;
        EXPECT_EQ(f.fileSize + "|" + f.totalTime + "|" + f.averageSpeed + "|" + f.maximumSpeed + "|" +
                      f.minimumSpeed + "|" + f.comments,
                  "5120 KB|31.7 seconds|161 KB/s|176 KB/s|81 KB/s|- - before - -");
    }
}

TEST(ReportCompareTest, TextsThatAreNotReportsAreNamedWithTheirLine) {
    const std::string all = ThreeReports();
    const std::string one = all.substr(0, all.find("---\r\n-") + 5);
    std::string changed = all;
    changed.replace(changed.find(" Average speed: "), 16, " Avg: ");
    const std::pair<std::string, std::string> cases[] = {
        {"\r\n \r\n", "r.txt holds no saved test reports."},
        {"hello\r\n", "r.txt is not a file of saved test reports: line 1 should read "
                      "\"---------------------------------------\" but reads \"hello\"."},
        {changed, "line 15 should start with \"Average speed:\" but reads \"Avg: 161 KB/s\"."},
        {one + one.substr(0, one.find(" Test data size")),
         "r.txt ends inside the test report that starts on line 29: \"Test data size:\""},
        {std::string(100, 'x'), "but reads \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\"."},
        {"\x1b]0;owned\x07 \\\xe9\r\n", "but reads \"\\x1b]0;owned\\x07 \\x5c\\xe9\"."},  // nothing raw on the terminal
    };
    for (const auto& [text, problem] : cases) {
        const ReportsRead read = ReadReports(text, "r.txt");
        EXPECT_NE(read.problem.find(problem), std::string::npos) << read.problem;
        EXPECT_TRUE(read.reports.empty());
    }
}

TEST(ReportCompareTest, TableHasOneRowPerTestWithChangesAgainstTheFirst) {
    std::vector<SavedReport> reports = ReadReports(ThreeReports(), "r.txt").reports;
    reports[2].fields.comments = "after\x1b[2J";  // a control is escaped
    const std::vector<std::string> rows = Lines(CompareTable(reports, "."));
    ASSERT_EQ(rows.size(), 4u);
    const std::size_t saved = rows[0].find("Saved"), time = rows[0].find("Time"), avg = rows[0].find("Average"),
                      comments = rows[0].find("Comments");
    EXPECT_EQ(rows[1].substr(0, saved + 20), "1     24/06/2008 14:05:09 ");
    EXPECT_EQ(rows[1].substr(time, 13), "31.7 seconds ");  // the first test has no change
    EXPECT_EQ(rows[1].substr(comments), "- - before - -");
    EXPECT_EQ(rows[2].substr(avg, 18), "249 KB/s (+54.7%) ");
    EXPECT_NE(rows[2].find(" 0 KB/s (-100%)"), std::string::npos);
    EXPECT_EQ(rows[2].back(), ')');  // no comment, no trailing blanks
    EXPECT_NE(rows[3].find(" 31.7 seconds (0%) "), std::string::npos);
    EXPECT_EQ(rows[3].substr(comments), "after\\x1b[2J");

    const std::tuple<const char*, const char*, const char*, const char*> changes[] = {
        {"31,7 seconds", "20,5 seconds", ",", "-35,3%"},
        {"0 KB/s", "5 KB/s", ".", ""},  // nothing to compare with
        {"N/A", "5 KB/s", ".", ""},
        {"-4 KB/s", "-2 KB/s", ".", "+50%"},
    };
    for (const auto& [first, value, separator, change] : changes)
        EXPECT_EQ(PercentChange(first, value, separator), change) << first << " -> " << value;
}

TEST(CliWebTestTest, MedianOfAnEvenCountIsTheMeanOfTheMiddleTwo) {
    const std::tuple<std::vector<double>, double, double> cases[] = {
        {{2.5}, 2.5, 0}, {{3, 1, 2}, 2, 2}, {{4, 1, 2, 3}, 2.5, 3}, {{0.5, 0.5, 9}, 0.5, 8.5}};
    for (const auto& [seconds, median, spread] : cases) {
        const LoadSpread s = Summarize(seconds);
        EXPECT_EQ(s.median, median);
        EXPECT_EQ(s.Spread(), spread);
    }
}

// --unit through the quality and history commands' output: 1 KB = 1024 bytes, 1 Mbit =
// 10^6 bits, KB/s whole, Mbit/s three figures or so, the user's decimal separator. Without
// --unit each test keeps its own unit; the JSON always carries both.
TEST(SpeedUnitTest, QualityAndHistoryShowTheUnitAsked) {
    QualityResult q;
    q.server = "[::1]:8080";
    q.streams = 8;
    q.phaseSeconds = 10;
    q.downloadMbit = 38.5;
    q.downloadSingleMbit = 30;
    q.uploadMbit = 0.0625;
    q.phase = QualityPhase::Download;
    test::FakeHistory history;
    history.Append({0, {}, DataTestRecord{"h/5MB.zip", 5242880, 4.3, 1171, 1239, 1000, {1171}}});
    history.Append({0, {}, QualityRecord{"[::1]:8080", 8, 10, {}, {}, {}, {}, 38.5, 30, 0.0625, {}, {}}});
    const struct {
        std::optional<SpeedUnit> unit;
        const char* point;
        std::string quality, history;  // a line of the summary, the rows' results
    } rows[] = {
        {std::nullopt, ".", "Download: 38.5 Mbit/s (one stream: 30 Mbit/s)",
         "average 1171 KB/s, max 1239, min 1000 (h/5MB.zip)|download 38.5 Mbit/s (one stream 30), upload 0.06 Mbit/s"},
        {SpeedUnit::Mbit, ",", "Download: 38,5 Mbit/s (one stream: 30 Mbit/s)",
         "average 9,59 Mbit/s, max 10,1, min 8,19 (h/5MB.zip)|download 38,5 Mbit/s (one stream 30), upload 0,063 Mbit/s"},
        {SpeedUnit::Kb, ",", "Download: 4700 KB/s (one stream: 3662 KB/s)",
         "average 1171 KB/s, max 1239, min 1000 (h/5MB.zip)|download 4700 KB/s (one stream 3662), upload 8 KB/s"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.quality);
        const SpeedUnit unit = row.unit.value_or(SpeedUnit::Mbit);
        EXPECT_NE(QualitySummaryText(q, row.point, unit).find("\n" + row.quality + "\n"), std::string::npos)
            << QualitySummaryText(q, row.point, unit);
        EXPECT_EQ(QualityProgressText(q, 12.34, row.point, unit),
                  std::string(row.point == std::string(",") ? "12,3" : "12.3") + " s  download: " +
                      row.quality.substr(10, row.quality.find(" (") - 10));
        std::ostringstream out, err;
        ASSERT_EQ(RunHistory(history, HistoryFormat::Table, std::nullopt, row.point, out, err, row.unit), 0);
        const std::string table = out.str();
        const std::string data = row.history.substr(0, row.history.find('|'));
        const std::string quality = row.history.substr(row.history.find('|') + 1);
        EXPECT_NE(table.find(" s: " + data + "\n"), std::string::npos) << table;
        EXPECT_NE(table.find("  " + quality + " ([::1]:8080)\n"), std::string::npos) << table;
    }
    // Both units in the JSON, whatever the text shows.
    const std::string json = QualityJson(q);
    for (const char* pair : {"\"download_mbit_s\":38.5,\"download_kb_s\":4700,", "\"download_single_kb_s\":3662,",
                             "\"upload_kb_s\":8,", "\"upload_single_mbit_s\":null,\"upload_single_kb_s\":null,"})
        EXPECT_NE(json.find(pair), std::string::npos) << pair << " in " << json;
    std::ostringstream out, err;
    ASSERT_EQ(RunHistory(history, HistoryFormat::Json, std::nullopt, ".", out, err, SpeedUnit::Kb), 0);
    for (const char* pair : {"\"average_kb_s\":1171,", "\"average_mbit_s\":9.592832,", "\"min_mbit_s\":8.192,",
                             "\"speeds_mbit_s\":[9.592832]", "\"download_mbit\":38.5", "\"download_kb_s\":4700",
                             "\"download_single_kb_s\":3662"})
        EXPECT_NE(out.str().find(pair), std::string::npos) << pair << " in " << out.str();
    std::ostringstream csv;
    ASSERT_EQ(RunHistory(history, HistoryFormat::Csv, std::nullopt, ".", csv, err), 0);
    EXPECT_NE(csv.str().find(",9.59,10.15,8.19,9.59,,,,,\r\n"), std::string::npos) << csv.str();
    EXPECT_NE(csv.str().find(",,,,,3662,4700,,8,\r\n"), std::string::npos) << csv.str();
}

}  // namespace
}  // namespace brisko::cli
