// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One entry of the history of results: a finished data test, a timed web page load,
// a network quality run, or a boost, Pro Boost or restore. Kept as one JSON object per line.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace brisko {

struct DataTestRecord {
    std::string url;  // host/path of the test file
    std::int64_t bytes = 0;
    double seconds = 0;
    std::int64_t averageSpeed = 0;  // KB/s
    std::int64_t maximumSpeed = 0;
    std::int64_t minimumSpeed = 0;
    std::vector<std::int64_t> tickSpeeds;  // every 500 ms tick, KB/s
};

struct WebTestRecord {
    std::string engine;  // "ie" or "mozilla"
    std::string address;
    double seconds = 0;
};

struct BoostRecord {
    std::string mode;                      // "boost", "pro-boost" or "restore"
    std::vector<std::string> imported;     // import files started, in order
    std::vector<std::string> notImported;  // import files that could not start
    std::vector<std::string> patched;      // preference steps done
    std::string failure;                   // what ended the command early; empty if nothing
    // Imports that started, but whose values were not in the registry afterwards (read
    // back only where regedit can fail without a word).
    std::vector<std::string> notLanded{};
};

// Whether the command changed anything: an import that started and was not found
// missing afterwards, or a preference step done. One that changed nothing is no boost
// (or restore) for the results around it.
bool ChangedAnything(const BoostRecord& boost);
// Stopped early, left imports out or changed nothing: shown as failed.
bool Failed(const BoostRecord& boost);

// A network quality run. Figures that were not measured (a run that ended early) are
// empty; failure says which phase failed and why.
struct QualityRecord {
    std::string server;  // host:port
    int streams = 0;
    double phaseSeconds = 0;
    std::optional<double> idleLatencyMs, jitterMs, loadedLatencyMs, responsivenessRpm;
    std::optional<double> downloadMbit, downloadSingleMbit, uploadMbit, uploadSingleMbit;
    std::string failure;
};

struct HistoryRecord {
    std::int64_t time = 0;  // seconds since 1970-01-01 UTC
    std::string from;       // "brisko" or "brisko-cli"
    std::variant<DataTestRecord, WebTestRecord, BoostRecord, QualityRecord> what;

    const DataTestRecord* Data() const { return std::get_if<DataTestRecord>(&what); }
    const WebTestRecord* Web() const { return std::get_if<WebTestRecord>(&what); }
    const BoostRecord* Boost() const { return std::get_if<BoostRecord>(&what); }
    const QualityRecord* Quality() const { return std::get_if<QualityRecord>(&what); }
    // "data-test", "web-test", "quality" or the boost's mode.
    std::string Kind() const;
};

// What a record keeps, so that no line grows without bound: longer addresses are cut,
// ticks past the cap (a day and more of a test) are left out, a quality run's failure
// is cut like an address. A line longer or more
// deeply nested than a record can be is not read at all.
inline constexpr std::size_t kMaxAddressBytes = 2048;
inline constexpr std::size_t kMaxTicks = 200000;
inline constexpr std::size_t kMaxFailureBytes = 2048;  // a quality run's failure, in words
inline constexpr std::int64_t kMaxQualityStreams = 4096;
inline constexpr std::size_t kMaxRecordLine = 4 << 20;
inline constexpr int kMaxRecordDepth = 4;

// The record as one line of JSON, without the line end.
std::string ToJsonLine(const HistoryRecord& record);
// Empty when line is not a record (torn, edited, or of a kind we do not know).
std::optional<HistoryRecord> FromJsonLine(const std::string& line);

// "2024-05-01T10:00:00Z" and back; nullopt for anything else.
std::string UtcText(std::int64_t time);
std::optional<std::int64_t> ParseUtcText(const std::string& text);
// In the local time zone: "2024-05-01 12:00:00".
std::string LocalText(std::int64_t time);
// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM[:SS]" (or with a blank for T), local time.
std::optional<std::int64_t> ParseLocalDate(const std::string& text);

}  // namespace brisko
