#include "history/history_summary.h"

#include <cmath>
#include <cstdio>

namespace brisko {

namespace {

std::string Decimal(double value, int decimals, const std::string& separator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    const std::size_t point = s.find('.');
    if (point != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.')
            s.pop_back();
        else
            s.replace(point, 1, separator);
    }
    if (s == "-0") s = "0";
    return s;
}

bool EndsBoostSpan(const HistoryRecord& record) { return record.Boost() != nullptr; }

}  // namespace

bool IsBoost(const HistoryRecord& record) {
    const BoostRecord* boost = record.Boost();
    return boost && boost->mode != "restore";
}

std::optional<std::size_t> LatestBoost(const std::vector<HistoryRecord>& records) {
    for (std::size_t i = records.size(); i-- > 0;)
        if (IsBoost(records[i])) return i;
    return std::nullopt;
}

std::string PercentText(double from, double to, const std::string& decimalSeparator) {
    if (from == 0) return {};
    const double percent = std::round((to - from) / std::fabs(from) * 1000) / 10;
    if (percent == 0) return "0%";
    return (percent > 0 ? "+" : "") + Decimal(percent, 1, decimalSeparator) + "%";
}

std::string ShortNumber(double value, const std::string& decimalSeparator) {
    return Decimal(value, 2, decimalSeparator);
}

std::string ShownAddress(const std::string& address) {
    std::string shown = address;
    for (const std::string scheme : {"http://", "https://"})
        if (shown.size() > scheme.size() && shown.compare(0, scheme.size(), scheme) == 0) {
            shown.erase(0, scheme.size());
            break;
        }
    // A legend or a summary can lay out so much: a long address keeps its start and end,
    // cut between characters, never inside one.
    constexpr std::size_t kLongest = 60, kEnd = 17;
    if (shown.size() <= kLongest) return shown;
    const auto continuation = [&](std::size_t i) { return (static_cast<unsigned char>(shown[i]) & 0xC0) == 0x80; };
    std::size_t head = kLongest - kEnd - 3, tail = shown.size() - kEnd;
    while (head > 0 && continuation(head)) --head;
    while (tail < shown.size() && continuation(tail)) ++tail;
    return shown.substr(0, head) + "\xE2\x80\xA6" + shown.substr(tail);
}

namespace {

constexpr const char* kNoBoost =
    "No boost yet: run a test, apply a boost, restart and run the test again to see the change.";
constexpr const char* kNothingToCompare =
    "Nothing to compare across the latest boost yet: run the same test before and after a boost.";

std::vector<std::string> SummaryParts(const std::vector<HistoryRecord>& records, std::size_t boost,
                                      const std::string& decimalSeparator);

}  // namespace

std::string BoostSummary(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator) {
    const std::optional<std::size_t> boost = LatestBoost(records);
    if (!boost) return kNoBoost;
    const std::vector<std::string> parts = SummaryParts(records, *boost, decimalSeparator);
    if (parts.empty()) return kNothingToCompare;
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
    return text;
}

std::string SummaryLine(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator) {
    const std::optional<std::size_t> boost = LatestBoost(records);
    if (!boost || SummaryParts(records, *boost, decimalSeparator).empty())
        return BoostSummary(records, decimalSeparator);
    return "Across the latest boost: " + BoostSummary(records, decimalSeparator);
}

namespace {

std::vector<std::string> SummaryParts(const std::vector<HistoryRecord>& records, std::size_t boostAt,
                                      const std::string& decimalSeparator) {
    const std::optional<std::size_t> boost = boostAt;
    // After the boost, up to whatever boost or restore came next (none: a boost is the latest).
    std::size_t end = *boost + 1;
    while (end < records.size() && !EndsBoostSpan(records[end])) ++end;

    std::vector<std::string> parts;
    const DataTestRecord* before = nullptr;
    for (std::size_t i = *boost; i-- > 0 && !before;) before = records[i].Data();
    const DataTestRecord* after = nullptr;
    for (std::size_t i = *boost + 1; i < end && !after; ++i) after = records[i].Data();
    if (before && after) {
        std::string part = "Average download " + std::to_string(before->averageSpeed) + " -> " +
                           std::to_string(after->averageSpeed) + " KB/s";
        const std::string change = PercentText(static_cast<double>(before->averageSpeed),
                                               static_cast<double>(after->averageSpeed), decimalSeparator);
        if (!change.empty()) part += " (" + change + ")";
        parts.push_back(part);
    }
    // Addresses in the order they were first timed after the boost.
    std::vector<std::string> seen;
    for (std::size_t i = *boost + 1; i < end; ++i) {
        const WebTestRecord* first = records[i].Web();
        if (!first) continue;
        bool done = false;
        for (const std::string& address : seen) done = done || address == first->address;
        if (done) continue;
        seen.push_back(first->address);
        const WebTestRecord* last = nullptr;
        for (std::size_t j = *boost; j-- > 0 && !last;)
            if (const WebTestRecord* web = records[j].Web(); web && web->address == first->address) last = web;
        if (!last) continue;
        std::string part = ShownAddress(first->address) + " " + ShortNumber(last->seconds, decimalSeparator) + " -> " +
                           ShortNumber(first->seconds, decimalSeparator) + " s";
        const std::string change = PercentText(last->seconds, first->seconds, decimalSeparator);
        if (!change.empty()) part += " (" + change + ")";
        parts.push_back(part);
    }
    return parts;
}

}  // namespace

std::string LoadComparison(const std::vector<HistoryRecord>& records, const std::string& address, double seconds,
                           const std::string& decimalSeparator) {
    const std::optional<std::size_t> boost = LatestBoost(records);
    if (!boost) return "No boost yet: apply one, then time this page again to see the change.";
    for (std::size_t i = *boost; i-- > 0;) {
        const WebTestRecord* web = records[i].Web();
        if (!web || web->address != address) continue;
        std::string text = "Before the latest boost this page took " + ShortNumber(web->seconds, decimalSeparator) +
                           " seconds; now " + ShortNumber(seconds, decimalSeparator) + " seconds";
        const std::string change = PercentText(web->seconds, seconds, decimalSeparator);
        return text + (change.empty() ? "" : " (" + change + ")") + ".";
    }
    return "This page was not timed before the latest boost: there is nothing to compare with.";
}

}  // namespace brisko
