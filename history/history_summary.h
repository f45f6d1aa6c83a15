// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the history says about the latest boost: every result of a test since it set
// against every result of the same test before it, and a verdict only where the
// difference is beyond what runs on an unchanged link differ by.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_record.h"

namespace brisko {

// A boost or Pro Boost that changed something (a restore is none).
bool IsBoost(const HistoryRecord& record);
// Where the latest boost stands in records; nullopt when there is none.
std::optional<std::size_t> LatestBoost(const std::vector<HistoryRecord>& records);

// The results that count on each side of the latest boost: before it back to the
// boost or restore before that, after it up to a later restore.
struct BoostSpans {
    std::size_t beforeBegin = 0;  // the before side is [beforeBegin, boost)
    std::size_t boost = 0;
    std::size_t afterEnd = 0;  // the after side is (boost, afterEnd)
};
std::optional<BoostSpans> LatestBoostSpans(const std::vector<HistoryRecord>& records);

// Fewer results than this on a side, or in all, and the rank test could not reach its
// 95% even if every result after the boost beat every one before it.
inline constexpr std::size_t kFewestEachSide = 3;
inline constexpr std::size_t kFewestInAll = 8;

struct BoostVerdict {
    enum class Finding { NotJudged, Faster, Slower, NoChange };
    std::size_t before = 0, after = 0;  // how many results on each side
    double medianBefore = 0, medianAfter = 0;
    std::optional<double> changePercent;  // empty when the median before is 0
    // The 95% interval of the change in percent; empty when not judged or not all
    // results are above 0.
    std::optional<double> lowPercent, highPercent;
    std::optional<double> pValue;  // of the rank test, when judged
    Finding finding = Finding::NotJudged;
    std::size_t moreBefore = 0, moreAfter = 0;  // the tests that would let it judge
};

// after against before; higherIsFaster for speeds, not for seconds.
BoostVerdict Judge(const std::vector<double>& before, const std::vector<double>& after, bool higherIsFaster);
// "faster", "slower", "no measurable change"; empty when not judged.
std::string FindingText(BoostVerdict::Finding finding);

// What a figure measures, each in its own unit and direction.
enum class FigureKind {
    Download,         // average download of one test file, KB/s
    PageLoad,         // load time of one address in one engine, s
    QualityDownload,  // a quality run's download over many streams, Mbit/s
    QualityUpload,    // and its upload
    LoadedLatency,    // latency under load, ms (lower is better)
    Responsiveness,   // round-trips per minute under load
};
// "KB/s", "s", "Mbit/s", "ms" or "RPM".
const char* FigureUnit(FigureKind kind);
// Speeds and RPM are better higher; seconds and milliseconds lower.
bool HigherIsBetter(FigureKind kind);
// "data-test", "web-test" or "quality": the record kind the figure comes from.
const char* FigureTest(FigureKind kind);
bool IsQualityFigure(FigureKind kind);

// One figure set side by side across the latest boost: the average download of one
// test file, the load time of one address in one engine, or one figure of the quality
// runs against one server with one number of streams. Quality runs that failed count in
// no figure.
struct BoostFigure {
    FigureKind kind = FigureKind::Download;
    std::string label;   // "Average download", "Loaded latency", or the address as shown (with its engine when needed)
    std::string test;    // the test file (host/path), the address, or the quality server (host:port)
    std::string engine;  // of a page load
    int streams = 0;     // of a quality run
    BoostVerdict verdict;
    // The times of the first and the last result on each side.
    std::int64_t beforeFrom = 0, beforeTo = 0, afterFrom = 0, afterTo = 0;
};
// The value a record gives a figure of this kind, when the record is one of its tests
// (same file; same address and engine; same server and streams, run not failed).
std::optional<double> FigureValue(const BoostFigure& figure, const HistoryRecord& record);
// Download figures first, then quality figures, then pages, each in the order first
// tested after the boost.
std::vector<BoostFigure> FiguresAcrossLatestBoost(const std::vector<HistoryRecord>& records);

// "2046 -> 4090 KB/s (+99.9%, 95% CI +97% to +102%, faster: 4 tests each side)".
std::string FigureChange(const BoostFigure& figure, const std::string& decimalSeparator);

// Every figure as label + its change, "; " between them; or, when there is nothing to
// set side by side, a sentence that says what is missing.
std::string BoostSummary(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator,
                         bool downloadsOnly = false);
// The summary as a line of its own: "Across the latest boost: " + the figures, or the
// sentence that says what is missing.
std::string SummaryLine(const std::vector<HistoryRecord>& records, const std::string& decimalSeparator,
                        bool downloadsOnly = false);

// For a web test window's status line after a load of address in engine that took
// seconds, the load not yet in records: the page's figure with this load counted.
std::string LoadComparison(const std::vector<HistoryRecord>& records, const std::string& engine,
                           const std::string& address, double seconds, const std::string& decimalSeparator);

// The change in percent with one decimal at most: "+38.7%", "-23%", "0%".
std::string PercentText(double percent, const std::string& decimalSeparator);
// At most two decimals, no trailing zeros: "0.81", "2.5", "3".
std::string ShortNumber(double value, const std::string& decimalSeparator);
// An address without its http:// or https://, as the summary and the legend show it;
// a long one shortened to its start and end.
std::string ShownAddress(const std::string& address);

}  // namespace brisko
