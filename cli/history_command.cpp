// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/history_command.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "cli/cli_arguments.h"
#include "cli/speed_unit.h"
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

// The records as they are kept, one a line, each speed given in the other unit too.
std::string RecordsJson(const std::vector<HistoryRecord>& records) {
    if (records.empty()) return "[]";
    std::string json = "[\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        ordered_json line = ordered_json::parse(ToJsonLine(records[i]));
        if (records[i].Data()) {
            for (const char* figure : {"average", "max", "min"}) {
                const std::string kb = std::string(figure) + "_kb_s";
                line[std::string(figure) + "_mbit_s"] = KbToMbit(line[kb].get<double>());
            }
            ordered_json speeds = ordered_json::array();
            for (const ordered_json& speed : line["speeds_kb_s"]) speeds.push_back(KbToMbit(speed.get<double>()));
            line["speeds_mbit_s"] = std::move(speeds);
        } else if (records[i].Quality()) {
            for (const char* figure : {"download_single", "download", "upload_single", "upload"}) {
                const std::string mbit = std::string(figure) + "_mbit";
                if (line.contains(mbit) && line[mbit].is_number())
                    line[std::string(figure) + "_kb_s"] = std::llround(MbitToKb(line[mbit].get<double>()));
            }
        }
        json += line.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + (i + 1 < records.size() ? ",\n" : "\n");
    }
    return json + "]";
}

// Every speed of the table in unit.
TableSpeeds SpeedsIn(SpeedUnit unit, const std::string& decimalSeparator) {
    TableSpeeds speeds;
    speeds.dataNumber = [unit, decimalSeparator](double kb) { return KbSpeedText(kb, unit, decimalSeparator, false); };
    speeds.qualityNumber = [unit, decimalSeparator](double mbit) {
        return MbitSpeedText(mbit, unit, decimalSeparator, false);
    };
    speeds.dataUnit = speeds.qualityUnit = unit == SpeedUnit::Kb ? "KB/s" : "Mbit/s";
    return speeds;
}

}  // namespace

int RunHistory(const HistoryService& history, HistoryFormat format, std::optional<std::int64_t> since,
               const std::string& decimalSeparator, std::ostream& out, std::ostream& err,
               std::optional<SpeedUnit> unit) {
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
            out << "{\"records\": " << RecordsJson(read.records) << ",\n\"across_latest_boost\": "
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
                out << HistoryTable(read.records, decimalSeparator,
                                    unit ? SpeedsIn(*unit, decimalSeparator) : TableSpeeds{});
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
