// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <optional>
#include <tuple>

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

// "download 38.2 Mbit/s (one stream 30.1), upload ..., 12 ms idle (jitter 0.4), 180 ms
// loaded, 333 RPM (host:port)"; what the run did not reach is left out.
std::string QualityText(const QualityRecord& q, const std::string& separator, const TableSpeeds& speeds) {
    const auto number = [&](double value) { return ShortNumber(value, separator); };
    const auto rate = [&](double mbit) { return speeds.qualityNumber ? speeds.qualityNumber(mbit) : number(mbit); };
    const std::string unit = " " + speeds.qualityUnit;
    std::vector<std::string> parts;
    for (const auto& [name, multi, single] : {std::tuple("download", q.downloadMbit, q.downloadSingleMbit),
                                              std::tuple("upload", q.uploadMbit, q.uploadSingleMbit)}) {
        if (!multi && !single) continue;
        if (!multi)
            parts.push_back(std::string(name) + " one stream " + rate(*single) + unit);
        else
            parts.push_back(std::string(name) + " " + rate(*multi) + unit +
                            (single ? " (one stream " + rate(*single) + ")" : ""));
    }
    if (q.idleLatencyMs)
        parts.push_back(number(*q.idleLatencyMs) + " ms idle" + (q.jitterMs ? " (jitter " + number(*q.jitterMs) + ")" : ""));
    if (q.loadedLatencyMs) parts.push_back(number(*q.loadedLatencyMs) + " ms loaded");
    if (q.responsivenessRpm) parts.push_back(ShortNumber(std::round(*q.responsivenessRpm), separator) + " RPM");
    std::string text = parts.empty() ? "nothing measured" : parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) text += ", " + parts[i];
    text += " (" + q.server + ")";
    if (!q.failure.empty()) text += "; incomplete: " + q.failure;
    return text;
}

}  // namespace

std::string HistoryCsv(const std::vector<HistoryRecord>& records) {
    std::string csv =
        "time,kind,from,address,engine,seconds,bytes,average_kb_s,max_kb_s,min_kb_s,speeds_kb_s,imported,"
        "not_imported,patched,failure,streams,phase_seconds,idle_latency_ms,jitter_ms,download_single_mbit,"
        "download_mbit,upload_single_mbit,upload_mbit,loaded_latency_ms,rpm,average_mbit_s,max_mbit_s,min_mbit_s,"
        "speeds_mbit_s,download_single_kb_s,download_kb_s,upload_single_kb_s,upload_kb_s,not_landed\r\n";
    // 1 KB = 1024 bytes, 1 Mbit = 10^6 bits; the KB/s whole, as a data test's are.
    const auto mbit = [](std::int64_t kb) { return ShortNumber(static_cast<double>(kb) * 8192 / 1e6, "."); };
    const auto kb = [](double mbit) { return std::to_string(std::llround(mbit * 1e6 / 8192)); };
    for (const HistoryRecord& r : records) {
        std::vector<std::string> cells(34);
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
            cells[25] = mbit(d->averageSpeed);
            cells[26] = mbit(d->maximumSpeed);
            cells[27] = mbit(d->minimumSpeed);
            speeds.clear();
            for (std::int64_t s : d->tickSpeeds) speeds.push_back(mbit(s));
            cells[28] = Joined(speeds);
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
            cells[33] = Joined(b->notLanded);
        } else if (const QualityRecord* q = r.Quality()) {
            cells[3] = q->server;
            cells[14] = q->failure;
            cells[15] = std::to_string(q->streams);
            cells[16] = ShortNumber(q->phaseSeconds, ".");
            // A figure the run did not reach stays an empty cell, not 0.
            const std::optional<double> figures[] = {q->idleLatencyMs,      q->jitterMs,   q->downloadSingleMbit,
                                                     q->downloadMbit,       q->uploadSingleMbit, q->uploadMbit,
                                                     q->loadedLatencyMs,    q->responsivenessRpm};
            for (std::size_t i = 0; i < std::size(figures); ++i)
                if (figures[i]) cells[17 + i] = ShortNumber(*figures[i], ".");
            for (std::size_t i = 0; i < 4; ++i)
                if (figures[2 + i]) cells[29 + i] = kb(*figures[2 + i]);
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

std::string RecordText(const HistoryRecord& record, const std::string& decimalSeparator, const TableSpeeds& speeds) {
    if (const DataTestRecord* d = record.Data()) {
        const auto speed = [&](std::int64_t kb) {
            return speeds.dataNumber ? speeds.dataNumber(static_cast<double>(kb)) : std::to_string(kb);
        };
        return std::to_string(d->bytes / 1024) + " KB in " + ShortNumber(d->seconds, decimalSeparator) +
               " s: average " + speed(d->averageSpeed) + " " + speeds.dataUnit + ", max " + speed(d->maximumSpeed) +
               ", min " + speed(d->minimumSpeed) + " (" + d->url + ")";
    }
    if (const WebTestRecord* w = record.Web())
        return ShortNumber(w->seconds, decimalSeparator) + " s: " + w->address + " (" + w->engine + ")";
    if (const QualityRecord* q = record.Quality()) return QualityText(*q, decimalSeparator, speeds);
    const BoostRecord& b = *record.Boost();
    std::string text = Failed(b) ? ChangedAnything(b) ? "failed: " : "failed, nothing changed: " : "";
    text += std::to_string(b.imported.size()) + (b.imported.size() == 1 ? " import" : " imports");
    if (!b.notImported.empty()) text += ", " + std::to_string(b.notImported.size()) + " not started";
    if (!b.notLanded.empty()) text += ", " + std::to_string(b.notLanded.size()) + " not in the registry afterwards";
    text += b.patched.empty() ? ", no preferences changed" : ", " + Joined(b.patched);
    if (!b.failure.empty()) text += "; stopped: " + b.failure;
    return text;
}

std::string HistoryTable(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator,
                         const TableSpeeds& speeds) {
    using Row = std::vector<std::string>;
    std::vector<Row> rows = {{"Time", "Kind", "From", "Result"}};
    for (const HistoryRecord& r : records)
        rows.push_back({LocalText(r.time), r.Kind(), r.from, RecordText(r, decimalSeparator, speeds)});
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
