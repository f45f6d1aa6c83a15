// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a network quality run measured: latency idle and under load, goodput over one
// and over many streams in each direction, and responsiveness in round-trips per
// minute. Filled in as the run goes; a run that ended early keeps what it measured.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brisko {

enum class QualityPhase {
    Idle,            // not started
    IdleLatency,     // probes on an idle link
    DownloadSingle,  // one download stream
    Download,        // N download streams, probes beside and on them
    UploadSingle,
    Upload,
    Done,
};

// "idle latency", "single-stream download", ... for messages and progress lines.
const char* PhaseName(QualityPhase phase);

// One latency probe, for the chart: when it was sent (seconds since the run began),
// its round trip in milliseconds, during which phase, and whether it went on a
// connection of its own or on a loaded one.
struct LatencySample {
    double at = 0;
    double ms = 0;
    QualityPhase phase = QualityPhase::IdleLatency;
    bool onLoadedConnection = false;
};

struct QualityResult {
    std::string server;  // host:port, or [v6]:port
    int streams = 0;
    double phaseSeconds = 0;

    // A figure is empty until its phase has measured it.
    std::optional<double> idleLatencyMs;  // median of the idle probes
    std::optional<double> jitterMs;       // mean difference of successive idle probes
    std::optional<double> downloadSingleMbit;
    std::optional<double> downloadMbit;   // N streams
    std::optional<double> uploadSingleMbit;
    std::optional<double> uploadMbit;
    std::optional<double> loadedLatencyMs;  // median of the probes under load
    std::optional<double> responsivenessRpm;

    std::vector<LatencySample> samples;

    QualityPhase phase = QualityPhase::Idle;  // running now, or Done
    // Set when the run ended early: the phase that failed and why, in words for
    // people ("upload: the server answered 404 Not Found"). Empty for a whole run.
    std::string failure;
    bool Complete() const { return phase == QualityPhase::Done && failure.empty(); }
};

}  // namespace brisko
