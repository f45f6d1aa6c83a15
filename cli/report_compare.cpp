// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/report_compare.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli/cli_arguments.h"
#include "history/history_export.h"
#include "history/history_file.h"
#include "history/history_summary.h"
#include "platform/open_file.h"
#include "speedtest/number_format.h"

namespace brisko::cli {

namespace {

// A report file holds a few kilobytes per test; anything this large is something else.
constexpr std::uintmax_t kLargestFile = 64u << 20;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// A file's bytes on a terminal: controls (and, where asked, every byte outside ASCII)
// as \xNN, and a backslash too, so that the escapes read back.
std::string Escaped(std::string_view text, bool asciiOnly) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || b == '\\' || (asciiOnly && b > 0x7F)) {
            out += "\\x";
            out += kDigits[b >> 4];
            out += kDigits[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

// A line of a file that is not one of reports: whatever it holds, nothing of it
// reaches the terminal raw.
std::string Shown(std::string_view line) {
    line = Trim(line);
    std::string shown = Escaped(line.substr(0, 40), true);
    if (line.size() > 40) shown += "...";
    return shown;
}

// The non-blank lines of one report, in order. A figure's line is matched by the
// text that leads it; the rest must read as written.
struct Expected {
    const char* text;
    bool leads;  // text leads a value
    std::string ReportFields::*field;
};

const Expected kSequence[] = {
    {kReportRule, false, nullptr},
    {kReportTitle, false, nullptr},
    {kReportSubtitle, false, nullptr},
    {kReportVersion, false, nullptr},
    {kReportSavedOn, true, nullptr},
    {kReportRule, false, nullptr},
    {kReportFileSize, true, &ReportFields::fileSize},
    {kReportTotalTime, true, &ReportFields::totalTime},
    {kReportAverageSpeed, true, &ReportFields::averageSpeed},
    {kReportMaximumSpeed, true, &ReportFields::maximumSpeed},
    {kReportMinimumSpeed, true, &ReportFields::minimumSpeed},
    {kReportComments, true, &ReportFields::comments},
    {kReportRule, false, nullptr},
    {kReportEnd, false, nullptr},
    {kReportRule, false, nullptr},
};


}  // namespace

ReportsRead ReadReports(const std::string& text, const std::string& name) {
    ReportsRead result;
    const std::vector<std::string_view> lines = SplitLines(text);
    const std::string notReports = name + " is not a file of saved test reports: ";
    std::size_t step = 0;
    SavedReport report;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = Trim(lines[i]);
        if (line.empty()) continue;
        const Expected& expected = kSequence[step];
        const std::string_view want = Trim(expected.text);
        const std::string where = "line " + std::to_string(i + 1);
        if (!expected.leads) {
            if (line != want) {
                result.problem = notReports + where + " should read \"" + std::string(want) + "\" but reads \"" +
                                 Shown(line) + "\".";
                result.reports.clear();
                return result;
            }
        } else {
            if (line.substr(0, want.size()) != want) {
                result.problem = notReports + where + " should start with \"" + std::string(want) +
                                 "\" but reads \"" + Shown(line) + "\".";
                result.reports.clear();
                return result;
            }
            const std::string value(Trim(line.substr(want.size())));
            if (expected.field) {
                report.fields.*expected.field = value;
            } else {
                // "Saved on, " date " at, " time
                const std::string_view at = Trim(kReportSavedAt);
                const std::size_t split = value.find(std::string(" ") + std::string(at));
                report.date = std::string(Trim(std::string_view(value).substr(0, split)));
                if (split != std::string::npos)
                    report.time = std::string(Trim(std::string_view(value).substr(split + 1 + at.size())));
            }
        }
        if (step == 0) report.line = i + 1;
        if (++step == std::size(kSequence)) {
            result.reports.push_back(std::move(report));
            report = {};
            step = 0;
        }
    }
    if (step != 0) {
        result.problem = name + " ends inside the test report that starts on line " + std::to_string(report.line) +
                         ": \"" + std::string(Trim(kSequence[step].text)) + "\" and what follows are missing.";
        result.reports.clear();
    } else if (result.reports.empty()) {
        result.problem = name + " holds no saved test reports.";
    }
    return result;
}

std::optional<double> LeadingNumber(const std::string& figure) {
    const std::string_view s = Trim(figure);
    std::string digits;
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-') digits += s[i++];
    bool any = false, separator = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            any = true;
        } else if ((c == '.' || c == ',') && !separator && any) {
            digits += '.';
            separator = true;
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    if (digits.back() == '.') digits.pop_back();
    return std::strtod(digits.c_str(), nullptr);
}

std::string PercentChange(const std::string& first, const std::string& value, const std::string& decimalSeparator) {
    const std::optional<double> a = LeadingNumber(first), b = LeadingNumber(value);
    if (!a || !b || *a == 0) return {};
    const double percent = std::round((*b - *a) / std::fabs(*a) * 1000) / 10;
    if (percent == 0) return "0%";
    return (percent > 0 ? "+" : "") + FormatGeneral(percent, decimalSeparator) + "%";
}

std::string CompareTable(const std::vector<SavedReport>& reports, const std::string& decimalSeparator) {
    using Row = std::vector<std::string>;
    std::vector<Row> rows = {{"Test", "Saved", "Size", "Time", "Average", "Max", "Min", "Comments"}};
    std::string ReportFields::*const figures[] = {&ReportFields::fileSize, &ReportFields::totalTime,
                                                  &ReportFields::averageSpeed, &ReportFields::maximumSpeed,
                                                  &ReportFields::minimumSpeed};
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const SavedReport& r = reports[i];
        Row row = {std::to_string(i + 1), r.time.empty() ? r.date : r.date + " " + r.time};
        for (auto field : figures) {
            std::string cell = r.fields.*field;
            if (i > 0) {
                const std::string change = PercentChange(reports[0].fields.*field, cell, decimalSeparator);
                if (!change.empty()) cell += " (" + change + ")";
            }
            row.push_back(Escaped(cell, false));
        }
        row.push_back(Escaped(r.fields.comments, false));
        rows.push_back(std::move(row));
    }
    return TextTable(rows);
}

std::vector<SavedReport> ReportsFromHistory(const std::vector<HistoryRecord>& records,
                                            const std::string& decimalSeparator) {
    std::vector<SavedReport> reports;
    std::string after;
    for (const HistoryRecord& record : records) {
        if (const BoostRecord* boost = record.Boost()) {
            if (!ChangedAnything(*boost)) continue;  // the reports after it are still after what came before
            after = boost->mode == "restore"     ? "after restore"
                    : boost->mode == "pro-boost" ? "after Pro Boost"
                                                 : "after boost";
            continue;
        }
        const DataTestRecord* d = record.Data();
        if (!d) continue;
        SavedReport report;
        const std::string when = LocalText(record.time);
        report.date = when.substr(0, when.find(' '));
        report.time = when.find(' ') == std::string::npos ? std::string() : when.substr(when.find(' ') + 1);
        report.fields.fileSize = FormatGeneral(WholeDiv(d->bytes, 1024)) + " KB";
        report.fields.totalTime = FormatGeneral(d->seconds, decimalSeparator) + " seconds";
        report.fields.averageSpeed = FormatGeneral(d->averageSpeed) + " KB/s";
        report.fields.maximumSpeed = FormatGeneral(d->maximumSpeed) + " KB/s";
        report.fields.minimumSpeed = FormatGeneral(d->minimumSpeed) + " KB/s";
        report.fields.comments = after;
        after.clear();
        reports.push_back(std::move(report));
    }
    return reports;
}

int RunCompare(const std::string& path, bool isHistory, const std::string& decimalSeparator, std::ostream& out,
               std::ostream& err) {
    const std::string prefix = std::string(kProgramName) + " compare: ";
    std::error_code exists;
    if (isHistory && !std::filesystem::exists(PathFromUtf8(path), exists)) {
        err << prefix << "there is no history yet (" << path << "): run a data test first.\n";
        return kExitFailed;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(PathFromUtf8(path), ec)) {
        err << prefix << path << " is a folder, not a file of saved test reports.\n";
        return kExitFailed;
    }
    // Refused before a byte is read: a file this large is none of reports.
    std::error_code sizeError;
    const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(path), sizeError);
    // A history grows for years and is read as the history command reads it.
    if (!isHistory && !sizeError && size > kLargestFile) {
        err << prefix << path << " is too large to be a file of saved test reports.\n";
        return kExitFailed;
    }
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    Status opened;
    std::unique_ptr<std::FILE, Closer> file(OpenFile(path, "rb", &opened));
    if (!file) {
        err << prefix << "cannot open " << path << ": " << opened.text << ".\n";
        return kExitFailed;
    }
    std::string text;
    char buffer[65536];
    std::size_t got = 0;
    // The limit holds for what has no size too (a pipe, a device), before the text grows past it.
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (!isHistory && text.size() + got > kLargestFile) {
            err << prefix << path << " is too large to be a file of saved test reports.\n";
            return kExitFailed;
        }
        text.append(buffer, got);
    }
    if (std::ferror(file.get())) {
        err << prefix << "cannot read " << path << ": " << std::strerror(errno) << ".\n";
        return kExitFailed;
    }
    // A history is JSON, one object a line; a file of reports starts with its rule.
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '{') {
        const std::vector<HistoryRecord> records = ParseHistory(text).records;
        const std::vector<SavedReport> reports = ReportsFromHistory(records, decimalSeparator);
        if (reports.empty()) {
            err << prefix << path << " holds no data test results.\n";
            return kExitFailed;
        }
        // The table shows each test against the first; whether the boost changed the
        // download is the verdict's to say.
        out << CompareTable(reports, decimalSeparator) << '\n' << SummaryLine(records, decimalSeparator, true) << '\n';
        return kExitOk;
    }
    const ReportsRead read = ReadReports(text, path);
    if (!read.problem.empty()) {
        err << prefix << read.problem << '\n';
        return kExitFailed;
    }
    out << CompareTable(read.reports, decimalSeparator);
    return kExitOk;
}

}  // namespace brisko::cli
