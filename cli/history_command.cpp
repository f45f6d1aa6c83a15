// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/history_command.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/cli_arguments.h"
#include "history/history_export.h"
#include "history/history_summary.h"

namespace brisko::cli {

namespace {

using nlohmann::ordered_json;

ordered_json Percent(const std::optional<double>& percent) {
    return percent ? ordered_json(std::round(*percent * 100) / 100) : ordered_json();
}

// The summary and every figure's verdict, for a script.
ordered_json AcrossLatestBoost(const std::vector<HistoryRecord>& records, const std::string& summary) {
    ordered_json figures = ordered_json::array();
    for (const BoostFigure& f : FiguresAcrossLatestBoost(records)) {
        const BoostVerdict& v = f.verdict;
        ordered_json figure = {{"figure", f.label}, {"test", FigureTest(f.kind)}};
        if (f.kind == FigureKind::Download) {
            figure["url"] = f.test;
        } else if (f.kind == FigureKind::PageLoad) {
            figure["address"] = f.test;
            figure["engine"] = f.engine;
        } else {
            figure["server"] = f.test;
            figure["streams"] = f.streams;
        }
        figure["unit"] = FigureUnit(f.kind);
        const std::string finding = FindingText(v.finding);
        figure["verdict"] = {
            {"median_before", v.medianBefore},
            {"median_after", v.medianAfter},
            {"change_percent", Percent(v.changePercent)},
            {"interval_percent",
             v.lowPercent ? ordered_json::array({Percent(v.lowPercent), Percent(v.highPercent)}) : ordered_json()},
            {"tests_before", v.before},
            {"tests_after", v.after},
            {"p_value", v.pValue ? ordered_json(*v.pValue) : ordered_json()},
            {"verdict", finding.empty() ? ordered_json() : ordered_json(finding)},
            {"more_tests_before", v.moreBefore},
            {"more_tests_after", v.moreAfter},
        };
        figures.push_back(std::move(figure));
    }
    return {{"summary", summary}, {"figures", std::move(figures)}};
}

}  // namespace

int RunHistory(const HistoryService& history, HistoryFormat format, std::optional<std::int64_t> since,
               const std::string& decimalSeparator, std::ostream& out, std::ostream& err) {
    const std::string prefix = std::string(kProgramName) + " history: ";
    HistoryRead read = history.Read();
    if (!read.status.ok()) {
        err << prefix << read.status.text << '\n';
        return kExitFailed;
    }
    if (read.skipped)
        err << prefix << read.skipped << (read.skipped == 1 ? " line" : " lines") << " of " << history.Location()
            << " left out: not a record.\n";
    // The summary looks across the whole history, whatever --since shows.
    const std::string summary = SummaryLine(read.records, decimalSeparator);
    const bool anyAtAll = !read.records.empty();
    const std::vector<HistoryRecord> all = format == HistoryFormat::Json ? read.records : std::vector<HistoryRecord>{};
    if (since) read.records = RecordsSince(read.records, *since);
    switch (format) {
        case HistoryFormat::Json: {
            // The records one a line as they are kept, then the verdict across the latest boost.
            std::string records = HistoryJson(read.records);
            records.pop_back();
            out << "{\"records\": " << records << ",\n\"across_latest_boost\": "
                << AcrossLatestBoost(all, summary).dump(-1, ' ', false, ordered_json::error_handler_t::replace)
                << "}\n";
            break;
        }
        case HistoryFormat::Csv:
            out << HistoryCsv(read.records);
            break;
        case HistoryFormat::Table:
            if (!anyAtAll) {
                out << kEmptyHistoryHint;
                break;
            }
            if (read.records.empty())
                out << "No results since then.\n";
            else
                out << HistoryTable(read.records, decimalSeparator);
            out << '\n' << summary << '\n';
            break;
    }
    out << std::flush;
    return kExitOk;
}

void WarnIfNotRecorded(const HistoryService& history, const std::string& command, std::ostream& err) {
    if (!history.LastAppend().ok())
        err << kProgramName << " " << command
            << ": the result was not added to the history: " << history.LastAppend().text << '\n';
}

}  // namespace brisko::cli
