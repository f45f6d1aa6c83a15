// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history as data and as text: CSV (Export to CSV, brisko-cli history --csv),
// JSON (--json) and a table for a terminal.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "history/history_record.h"

namespace brisko {

// A header line, then one line per record, lines ended by CR LF; times in UTC. Every
// speed in KB/s and in Mbit/s, the second unit's columns last.
std::string HistoryCsv(const std::vector<HistoryRecord>& records);
// A JSON array with one record per line, as they are kept.
std::string HistoryJson(const std::vector<HistoryRecord>& records);
// How the table writes speeds: empty, each as measured (data tests in whole KB/s,
// quality runs in Mbit/s); a front end may show them all in one unit.
struct TableSpeeds {
    std::function<std::string(double kbPerSecond)> dataNumber;
    std::string dataUnit = "KB/s";
    std::function<std::string(double mbitPerSecond)> qualityNumber;
    std::string qualityUnit = "Mbit/s";
};

// Time (local), kind, program and the result in words, one row per record.
std::string HistoryTable(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator,
                         const TableSpeeds& speeds = {});
// The result of one record in words, as the table's last column shows it.
std::string RecordText(const HistoryRecord& record, const std::string& decimalSeparator,
                       const TableSpeeds& speeds = {});

// Rows as columns padded for a terminal (two blanks apart), one line each, no
// trailing blanks; the first row is the heading.
std::string TextTable(const std::vector<std::vector<std::string>>& rows);

std::vector<HistoryRecord> RecordsSince(const std::vector<HistoryRecord>& records, std::int64_t since);

}  // namespace brisko
