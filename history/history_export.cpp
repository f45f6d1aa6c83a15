// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_export.h"

#include <algorithm>
#include <charconv>

#include "history/history_summary.h"

namespace brisko {

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
    return text;
}

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// Width on a terminal: UTF-8 continuation bytes take no column.
std::size_t Columns(const std::string& text) {
    std::size_t columns = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++columns;
    return columns;
}

}  // namespace

std::string HistoryCsv(const std::vector<HistoryRecord>& records) {
    std::string csv =
        "time,kind,from,address,engine,seconds,bytes,average_kb_s,max_kb_s,min_kb_s,speeds_kb_s,imported,"
        "not_imported,patched,failure\r\n";
    for (const HistoryRecord& r : records) {
        std::vector<std::string> cells(15);
        cells[0] = UtcText(r.time);
        cells[1] = r.Kind();
        cells[2] = r.from;
        if (const DataTestRecord* d = r.Data()) {
            cells[3] = d->url;
            cells[5] = ShortNumber(d->seconds, ".");
            cells[6] = std::to_string(d->bytes);
            cells[7] = std::to_string(d->averageSpeed);
            cells[8] = std::to_string(d->maximumSpeed);
            cells[9] = std::to_string(d->minimumSpeed);
            std::vector<std::string> speeds;
            for (std::int64_t s : d->tickSpeeds) speeds.push_back(std::to_string(s));
            cells[10] = Joined(speeds);
        } else if (const WebTestRecord* w = r.Web()) {
            cells[3] = w->address;
            cells[4] = w->engine;
            // The load time as measured: a single-precision figure needs up to 7 digits.
            // (to_chars writes '.' whatever the C library's locale says.)
            char text[32];
            cells[5].assign(text, std::to_chars(text, text + sizeof text, w->seconds, std::chars_format::general, 7).ptr);
        } else if (const BoostRecord* b = r.Boost()) {
            cells[11] = Joined(b->imported);
            cells[12] = Joined(b->notImported);
            cells[13] = Joined(b->patched);
            cells[14] = b->failure;
        }
        std::string line;
        for (std::size_t i = 0; i < cells.size(); ++i) line += (i ? "," : "") + CsvCell(cells[i]);
        csv += line + "\r\n";
    }
    return csv;
}

std::string HistoryJson(const std::vector<HistoryRecord>& records) {
    if (records.empty()) return "[]\n";
    std::string json = "[\n";
    for (std::size_t i = 0; i < records.size(); ++i)
        json += ToJsonLine(records[i]) + (i + 1 < records.size() ? ",\n" : "\n");
    return json + "]\n";
}

std::string RecordText(const HistoryRecord& record, const std::string& decimalSeparator) {
    if (const DataTestRecord* d = record.Data())
        return std::to_string(d->bytes / 1024) + " KB in " + ShortNumber(d->seconds, decimalSeparator) +
               " s: average " + std::to_string(d->averageSpeed) + " KB/s, max " + std::to_string(d->maximumSpeed) +
               ", min " + std::to_string(d->minimumSpeed) + " (" + d->url + ")";
    if (const WebTestRecord* w = record.Web())
        return ShortNumber(w->seconds, decimalSeparator) + " s: " + w->address + " (" + w->engine + ")";
    const BoostRecord& b = *record.Boost();
    std::string text = std::to_string(b.imported.size()) + (b.imported.size() == 1 ? " import" : " imports");
    if (!b.notImported.empty()) text += ", " + std::to_string(b.notImported.size()) + " not started";
    text += b.patched.empty() ? ", no preferences changed" : ", " + Joined(b.patched);
    if (!b.failure.empty()) text += "; stopped: " + b.failure;
    return text;
}

std::string HistoryTable(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator) {
    using Row = std::vector<std::string>;
    std::vector<Row> rows = {{"Time", "Kind", "From", "Result"}};
    for (const HistoryRecord& r : records)
        rows.push_back({LocalText(r.time), r.Kind(), r.from, RecordText(r, decimalSeparator)});
    return TextTable(rows);
}

std::string TextTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Columns(row[c]));
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line.append(widths[c] - Columns(row[c]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        table += line + "\n";
    }
    return table;
}

std::vector<HistoryRecord> RecordsSince(const std::vector<HistoryRecord>& records, std::int64_t since) {
    std::vector<HistoryRecord> kept;
    for (const HistoryRecord& r : records)
        if (r.time >= since) kept.push_back(r);
    return kept;
}

}  // namespace brisko
