#include "cli/history_command.h"

#include "cli/cli_arguments.h"
#include "history/history_export.h"
#include "history/history_summary.h"

namespace brisko::cli {

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
    if (since) read.records = RecordsSince(read.records, *since);
    switch (format) {
        case HistoryFormat::Json:
            out << HistoryJson(read.records);
            break;
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
