#pragma once
// What the history says about the latest boost: the results just before it set
// against the first ones after it.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "history/history_record.h"

namespace brisko {

// A boost or Pro Boost (a restore is none).
bool IsBoost(const HistoryRecord& record);
// Where the latest boost stands in records; nullopt when there is none.
std::optional<std::size_t> LatestBoost(const std::vector<HistoryRecord>& records);

// "Average download 1190 -> 1651 KB/s (+38.7%); www.example.com 0.81 -> 0.62 s (-23.5%)":
// the last data test before the latest boost against the first after it (and before
// a later restore), then each address timed on both sides likewise. When there is
// nothing to set side by side, a sentence that says what is missing.
std::string BoostSummary(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator);
// The summary as a line of its own: "Across the latest boost: " + the change, or the
// sentence that says what is missing.
std::string SummaryLine(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator);

// For a web test window's status line after a load of address that took seconds (the
// load already in records or not): against the last load of the address before the
// latest boost.
std::string LoadComparison(const std::vector<HistoryRecord>& records, const std::string& address, double seconds,
                           const std::string& decimalSeparator);

// The change in percent with one decimal at most: "+38.7%", "-23%", "0%"; empty when
// from is 0.
std::string PercentText(double from, double to, const std::string& decimalSeparator);
// At most two decimals, no trailing zeros: "0.81", "2.5", "3".
std::string ShortNumber(double value, const std::string& decimalSeparator);
// An address without its http:// or https://, as the summary and the legend show it;
// a long one shortened to its start and end.
std::string ShownAddress(const std::string& address);

}  // namespace brisko
