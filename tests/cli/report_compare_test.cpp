#include "cli/report_compare.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/temp_folder.h"

namespace brisko::cli {
namespace {

// Three saves into one file, as the window and data-test --report append them.
std::string ThreeReports() {
    return BuildReport({"5120 KB", "31.7 seconds", "161 KB/s", "176 KB/s", "81 KB/s", " - - before - -"},
                       "24/06/2008", "14:05:09") +
           BuildReport({"5120 KB", "20.5 seconds", "249 KB/s", "300 KB/s", "0 KB/s", ""}, "24/06/2008", "14:35:00") +
           BuildReport({"5120 KB", "31.7 seconds", "80 KB/s", "176 KB/s", "10240 KB/s", "after, \"boost\""},
                       "25/06/2008", "09:00:01");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(ReportCompareTest, ReadsEveryReportOfAFile) {
    const ReportsRead read = ReadReports(ThreeReports(), "r.txt");
    ASSERT_EQ(read.problem, "");
    ASSERT_EQ(read.reports.size(), 3u);
    const SavedReport& first = read.reports[0];
    EXPECT_EQ(first.date, "24/06/2008");
    EXPECT_EQ(first.time, "14:05:09");
    EXPECT_EQ(first.line, 1u);
    EXPECT_EQ(first.fields.fileSize, "5120 KB");
    EXPECT_EQ(first.fields.totalTime, "31.7 seconds");
    EXPECT_EQ(first.fields.averageSpeed, "161 KB/s");
    EXPECT_EQ(first.fields.maximumSpeed, "176 KB/s");
    EXPECT_EQ(first.fields.minimumSpeed, "81 KB/s");
    EXPECT_EQ(first.fields.comments, "- - before - -");
    EXPECT_EQ(read.reports[1].fields.comments, "");
    EXPECT_EQ(read.reports[1].line, 29u);  // 23 lines and 5 empty ones per report
    EXPECT_EQ(read.reports[2].fields.comments, "after, \"boost\"");
    EXPECT_EQ(read.reports[2].date, "25/06/2008");
}

TEST(ReportCompareTest, LineEndsAndBlankLinesAnEditorChangedStillRead) {
    std::string lf, cr, tidy;
    for (char c : ThreeReports()) {
        if (c != '\r') lf += c;
        if (c != '\n') cr += c;
    }
    // Trailing blanks stripped and empty lines dropped.
    for (const std::string& line : Lines(lf)) {
        std::string t = line;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        if (!t.empty()) tidy += t + "\n";
    }
    for (const std::string* text : {&lf, &cr, &tidy}) {
        const ReportsRead read = ReadReports(*text, "r.txt");
        EXPECT_EQ(read.problem, "");
        EXPECT_EQ(read.reports.size(), 3u);
    }
}

TEST(ReportCompareTest, TextsThatAreNotReportsAreNamedWithTheirLine) {
    const std::string all = ThreeReports();
    const std::string one = all.substr(0, all.find("---\r\n-") + 5);
    std::string changed = ThreeReports();
    changed.replace(changed.find(" Average speed: "), 16, " Avg: ");
    const std::pair<std::string, std::string> cases[] = {
        {"", "r.txt holds no saved test reports."},
        {"\r\n \r\n", "r.txt holds no saved test reports."},
        {"hello\r\n", "r.txt is not a file of saved test reports: line 1 should read "
                      "\"---------------------------------------\" but reads \"hello\"."},
        {changed, "line 15 should start with \"Average speed:\" but reads \"Avg: 161 KB/s\"."},
        {one + one.substr(0, one.find(" Test data size")), "r.txt ends inside the test report that starts on line 29: \"Test data size:\""},
        {one + "trailing words\r\n", "line 29 should read \"---------------------------------------\""},
        {std::string(100, 'x'), "but reads \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\"."},
    };
    for (const auto& [text, problem] : cases) {
        const ReportsRead read = ReadReports(text, "r.txt");
        EXPECT_NE(read.problem.find(problem), std::string::npos) << read.problem;
        EXPECT_TRUE(read.reports.empty());
    }
}

TEST(ReportCompareTest, PercentChangeAgainstTheFirst) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"161 KB/s", "249 KB/s", ".", "+54.7%"},
        {"31.7 seconds", "20.5 seconds", ".", "-35.3%"},
        {"31,7 seconds", "20,5 seconds", ",", "-35,3%"},
        {"5120 KB", "5120 KB", ".", "0%"},
        {"81 KB/s", "0 KB/s", ".", "-100%"},
        {"0 KB/s", "5 KB/s", ".", ""},     // nothing to compare with
        {"N/A", "5 KB/s", ".", ""},
        {"5 KB/s", "", ".", ""},
        {"-4 KB/s", "-2 KB/s", ".", "+50%"},
    };
    for (const auto& [first, value, separator, change] : cases)
        EXPECT_EQ(PercentChange(first, value, separator), change) << first << " -> " << value;
}

TEST(ReportCompareTest, TableHasOneRowPerTestWithChangesAgainstTheFirst) {
    const std::string table = CompareTable(ReadReports(ThreeReports(), "r.txt").reports, ".");
    const std::vector<std::string> rows = Lines(table);
    ASSERT_EQ(rows.size(), 4u) << table;
    const std::size_t saved = rows[0].find("Saved"), size = rows[0].find("Size"), time = rows[0].find("Time"),
                      avg = rows[0].find("Average"), comments = rows[0].find("Comments");
    ASSERT_TRUE(saved < size && size < time && time < avg && avg < comments) << rows[0];
    EXPECT_EQ(rows[1].substr(0, 3), "1  ");
    EXPECT_EQ(rows[1].substr(saved, 19), "24/06/2008 14:05:09");
    EXPECT_EQ(rows[1].substr(time, 13), "31.7 seconds ");   // the first test has no change
    EXPECT_EQ(rows[1].substr(comments), "- - before - -");
    EXPECT_EQ(rows[2].substr(time, 22), "20.5 seconds (-35.3%) ");
    EXPECT_EQ(rows[2].substr(avg, 18), "249 KB/s (+54.7%) ");
    EXPECT_NE(rows[2].find("0 KB/s (-100%)"), std::string::npos);
    EXPECT_EQ(rows[2].back(), ')');  // no comment, no trailing blanks
    EXPECT_EQ(rows[3].substr(time, 17), "31.7 seconds (0%)");
    EXPECT_NE(rows[3].find("10240 KB/s (+12542%)"), std::string::npos) << rows[3];
    EXPECT_EQ(rows[3].substr(comments), "after, \"boost\"");
}

TEST(ReportCompareTest, RunOnFiles) {
    test::TempFolder folder;
    test::WriteFileBytes(folder / "three.txt", ThreeReports());
    test::WriteFileBytes(folder / "notes.txt", "Monday: slow\r\nTuesday: fast\r\n");
    struct Case {
        std::string path;
        int status;
        std::string inErr;
    };
    const Case cases[] = {
        {folder / "three.txt", 0, ""},
        {folder / "notes.txt", 1, "brisko-cli compare: " + (folder / "notes.txt") + " is not a file of saved test reports: line 1"},
        {folder / "missing.txt", 1, "brisko-cli compare: cannot open " + (folder / "missing.txt") + ": No such file or directory."},
        {folder.path(), 1, "brisko-cli compare: " + folder.path() + " is a folder, not a file of saved test reports."},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCompare(c.path, ".", out, err), c.status) << c.path;
        if (c.status == 0) {
            EXPECT_EQ(Lines(out.str()).size(), 4u);
            EXPECT_EQ(err.str(), "");
        } else {
            EXPECT_EQ(out.str(), "");
            EXPECT_EQ(err.str().find(c.inErr), 0u) << err.str();
            EXPECT_EQ(err.str().back(), '\n');
        }
    }
}

}  // namespace
}  // namespace brisko::cli
