// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading back a file of saved test reports (as Save As appends them) and setting
// the tests side by side.
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "history/history_record.h"
#include "speedtest/report.h"

namespace brisko::cli {

struct SavedReport {
    std::string date;
    std::string time;
    ReportFields fields;   // the figures as written, blanks around them trimmed
    std::size_t line = 0;  // where the report starts, from 1
};

struct ReportsRead {
    std::vector<SavedReport> reports;
    std::string problem;  // why the text is not a file of reports; empty if it is
};

// Lines may end in CR LF, CR or LF; blank lines are not significant, so a file an
// editor has tidied still reads. name is used in the problem text.
ReportsRead ReadReports(const std::string& text, const std::string& name);

// The number a figure starts with ("4.3 seconds", "4,3 seconds", "1190 KB/s").
std::optional<double> LeadingNumber(const std::string& figure);

// The change from first to value in percent, one decimal at most: "+38.7%", "-12%",
// "0%"; empty when either is not a number or first is 0.
std::string PercentChange(const std::string& first, const std::string& value, const std::string& decimalSeparator);

// One row per report: number, saved date and time, size, time, average, max, min,
// comments; every figure after the first report's carries its change against it.
std::string CompareTable(const std::vector<SavedReport>& reports, const std::string& decimalSeparator);

// The data tests of a history as reports: saved when they ended, the comments saying
// which came first after a boost or restore.
std::vector<SavedReport> ReportsFromHistory(const std::vector<HistoryRecord>& records,
                                            const std::string& decimalSeparator);

// compare FILE: prints the table on out, or what is wrong on err. Returns the exit status.
// FILE may be a file of reports or a history (then the table ends with the verdict
// across the latest boost); isHistory says it is the user's own history, which may not
// exist yet.
int RunCompare(const std::string& path, bool isHistory, const std::string& decimalSeparator, std::ostream& out,
               std::ostream& err);

}  // namespace brisko::cli
