// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// brisko-cli history: the records as a table, as JSON or as CSV; the table and the JSON
// end with the verdict across the latest boost.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "history/history_file.h"

namespace brisko::cli {

enum class HistoryFormat { Table, Json, Csv };

inline constexpr const char* kEmptyHistoryHint =
    "No results yet: run 'brisko-cli data-test' or 'brisko-cli web-test ADDRESS', or a test in\n"
    "Brisko's windows, and every result is kept here, with each boost and restore.\n";

// Prints the records from since on in format on out; a history that cannot be read,
// or lines that are not records, are told on err. Returns the exit status.
int RunHistory(const HistoryService& history, HistoryFormat format, std::optional<std::int64_t> since,
               const std::string& decimalSeparator, std::ostream& out, std::ostream& err);

// A record could not be added: said on err, the command's own result stands.
void WarnIfNotRecorded(const HistoryService& history, const std::string& command, std::ostream& err);

}  // namespace brisko::cli
