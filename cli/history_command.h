// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// brisko-cli history: the records as a table, as JSON or as CSV; the table and the JSON
// end with the verdict across the latest boost.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/build_traits.h"
#include "cli/cli_arguments.h"
#include "history/history_file.h"

namespace brisko::cli {

enum class HistoryFormat { Table, Json, Csv };

// kEmptyHistoryHint, what an empty history says, is in build_traits.h.

// Prints the records from since on in format on out; a history that cannot be read,
// or lines that are not records, are told on err. Returns the exit status. The table
// shows every speed in unit when there is one, each test's in its own unit otherwise;
// the JSON and the CSV carry both units.
int RunHistory(const HistoryService& history, HistoryFormat format, std::optional<std::int64_t> since,
               const std::string& decimalSeparator, std::ostream& out, std::ostream& err,
               std::optional<SpeedUnit> unit = std::nullopt);

// A record could not be added: said on err, the command's own result stands.
void WarnIfNotRecorded(const HistoryService& history, const std::string& command, std::ostream& err);

}  // namespace brisko::cli
