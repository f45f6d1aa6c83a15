// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/quality_command.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

#include "cli/cli_arguments.h"
#include "cli/history_command.h"
#include "cli/speed_unit.h"
#include "quality/quality_statistics.h"
#include "speedtest/download_client.h"
#include "speedtest/download_files.h"
#include "speedtest/number_format.h"

namespace brisko::cli {

namespace {

// Three figures or so: 0.214 ms, 26.3 ms, 262 ms.
std::string Number(double value, const std::string& decimalPoint) { return ThreeFigures(value, decimalPoint); }

std::string Ms(const std::optional<double>& ms, const std::string& point) {
    return ms ? Number(*ms, point) + " ms" : "not measured";
}

std::string Rate(const std::optional<double>& mbit, const std::string& point, SpeedUnit unit) {
    return mbit ? MbitSpeedText(*mbit, unit, point) : "not measured";
}

std::string Rpm(const std::optional<double>& rpm) {
    return rpm ? FormatGeneral(static_cast<std::int64_t>(std::llround(*rpm))) + " RPM" : "not measured";
}

nlohmann::ordered_json Figure(const std::optional<double>& value) {
    if (!value) return nullptr;
    return std::round(*value * 1000) / 1000;
}

nlohmann::ordered_json WholeKb(const std::optional<double>& mbit) {
    if (!mbit) return nullptr;
    return std::llround(MbitToKb(*mbit));
}

}  // namespace

std::optional<QualityOptions> QualityServer(const char* variable, std::string* problem) {
    const std::string server = variable ? variable : "";
    if (server.empty()) {
        *problem = std::string("The quality test needs a brisko-testserver: set ") + kTestServerVariable +
                   "=host[:port] or [IPv6 address]:port (brisko-testserver --port 8080 serves one here).";
        return std::nullopt;
    }
    const std::optional<ServerAddress> address = ParseServer(server);
    if (!address) {
        *problem = BadServerProblem(server);
        return std::nullopt;
    }
    QualityOptions options;
    options.host = address->host;
    options.port = address->port;
    return options;
}

std::string QualityProgressText(const QualityResult& r, double elapsed, const std::string& point, SpeedUnit unit) {
    std::string text = FormatGeneral(std::floor(elapsed * 10) / 10, point) + " s  " + PhaseName(r.phase) + ": ";
    switch (r.phase) {
        case QualityPhase::IdleLatency: {
            std::vector<double> ms;
            for (const LatencySample& s : r.samples) ms.push_back(s.ms);
            const std::optional<double> median = MedianIfAny(ms);
            return text + (median ? Number(*median, point) + " ms" : "probing");
        }
        case QualityPhase::DownloadSingle:
            return text + (r.downloadSingleMbit ? Rate(r.downloadSingleMbit, point, unit) : "starting");
        case QualityPhase::UploadSingle:
            return text + (r.uploadSingleMbit ? Rate(r.uploadSingleMbit, point, unit) : "starting");
        case QualityPhase::Download:
        case QualityPhase::Upload: {
            const std::optional<double>& rate = r.phase == QualityPhase::Download ? r.downloadMbit : r.uploadMbit;
            text += rate ? Rate(rate, point, unit) : "starting";
            if (r.loadedLatencyMs) text += "  latency under load " + Ms(r.loadedLatencyMs, point);
            if (r.responsivenessRpm) text += "  " + Rpm(r.responsivenessRpm);
            return text;
        }
        default: return text;
    }
}

std::string QualitySummaryText(const QualityResult& r, const std::string& point, SpeedUnit unit) {
    std::string text = "Network quality against " + r.server + ", " + std::to_string(r.streams) + " streams, " +
                       FormatGeneral(r.phaseSeconds, point) + " s a phase\n";
    text += "Idle latency: " + Ms(r.idleLatencyMs, point);
    if (r.jitterMs) text += " (jitter " + Ms(r.jitterMs, point) + ")";
    text += "\nDownload: " + Rate(r.downloadMbit, point, unit) + " (one stream: " +
            Rate(r.downloadSingleMbit, point, unit) + ")";
    text += "\nUpload: " + Rate(r.uploadMbit, point, unit) + " (one stream: " + Rate(r.uploadSingleMbit, point, unit) +
            ")";
    text += "\nLatency under load: " + Ms(r.loadedLatencyMs, point);
    text += "\nResponsiveness: " + Rpm(r.responsivenessRpm) + "\n";
    return text;
}

std::string QualityJson(const QualityResult& r) {
    nlohmann::ordered_json samples = nlohmann::ordered_json::array();
    for (const LatencySample& s : r.samples)
        samples.push_back({{"at", std::round(s.at * 1000) / 1000},
                           {"ms", std::round(s.ms * 1000) / 1000},
                           {"phase", PhaseName(s.phase)},
                           {"loaded_connection", s.onLoadedConnection}});
    const nlohmann::ordered_json json = {
        {"server", r.server},
        {"streams", r.streams},
        {"phase_seconds", r.phaseSeconds},
        {"idle_latency_ms", Figure(r.idleLatencyMs)},
        {"jitter_ms", Figure(r.jitterMs)},
        {"download_mbit_s", Figure(r.downloadMbit)},
        {"download_kb_s", WholeKb(r.downloadMbit)},
        {"download_single_mbit_s", Figure(r.downloadSingleMbit)},
        {"download_single_kb_s", WholeKb(r.downloadSingleMbit)},
        {"upload_mbit_s", Figure(r.uploadMbit)},
        {"upload_kb_s", WholeKb(r.uploadMbit)},
        {"upload_single_mbit_s", Figure(r.uploadSingleMbit)},
        {"upload_single_kb_s", WholeKb(r.uploadSingleMbit)},
        {"loaded_latency_ms", Figure(r.loadedLatencyMs)},
        {"responsiveness_rpm", Figure(r.responsivenessRpm)},
        {"complete", r.Complete()},
        {"failure", r.failure.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(r.failure)},
        {"samples", samples},
    };
    // The server's name comes from the environment: bytes that are not UTF-8 must not end the output.
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

int RunQualityCommand(EventLoop& loop, TcpSocketFactory& sockets, const Clock& clock, HistoryService* history,
                      const QualityOptions& options, bool json, ProgressLine& progress,
                      const std::string& decimalPoint, std::ostream& out, std::ostream& err, SpeedUnit unit) {
    const double start = clock.MonotonicSeconds();
    QualityEvents events;
    events.progress = [&](const QualityResult& result) {
        progress.Show(QualityProgressText(result, clock.MonotonicSeconds() - start, decimalPoint, unit));
    };
    events.finished = [&loop](const QualityResult&) { loop.Quit(); };
    QualityTest test(loop, sockets, clock, options, std::move(events), history, kProgramName);
    test.Start();
    loop.Run();
    progress.End();
    const QualityResult& result = test.Result();
    const bool measured = result.idleLatencyMs || !result.samples.empty() || result.downloadSingleMbit;
    // A run that measured nothing has only its failure to tell, except to a script.
    if (json)
        out << QualityJson(result) << std::flush;
    else if (measured)
        out << QualitySummaryText(result, decimalPoint, unit) << std::flush;
    if (history) WarnIfNotRecorded(*history, "quality", err);
    if (result.Complete()) return kExitOk;
    err << (result.failure.empty() ? std::string("The test did not finish.") : result.failure) << '\n';
    return kExitFailed;
}

}  // namespace brisko::cli
