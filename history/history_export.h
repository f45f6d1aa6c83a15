// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The history as data and as text: CSV (Export to CSV, brisko-cli history --csv),
// JSON (--json) and a table for a terminal.
#include <cstdint>
#include <string>
#include <vector>

#include "history/history_record.h"

namespace brisko {

// A header line, then one line per record, lines ended by CR LF; times in UTC.
std::string HistoryCsv(const std::vector<HistoryRecord>& records);
// A JSON array with one record per line, as they are kept.
std::string HistoryJson(const std::vector<HistoryRecord>& records);
// Time (local), kind, program and the result in words, one row per record.
std::string HistoryTable(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator);
// The result of one record in words, as the table's last column shows it.
std::string RecordText(const HistoryRecord& record, const std::string& decimalSeparator);

// Rows as columns padded for a terminal (two blanks apart), one line each, no
// trailing blanks; the first row is the heading.
std::string TextTable(const std::vector<std::vector<std::string>>& rows);

std::vector<HistoryRecord> RecordsSince(const std::vector<HistoryRecord>& records, std::int64_t since);

}  // namespace brisko
