// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The network quality test from a terminal: the Network Quality window's own run on
// the console's event loop, its progress on one line, its figures as text or JSON.
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_arguments.h"
#include "cli/progress_line.h"
#include "history/history_file.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/tcp_socket.h"
#include "quality/quality_test.h"

namespace brisko::cli {

// The server of BRISKO_TEST_SERVER ("host", "host:port", "[v6]" or "[v6]:port", port 80
// without one); empty
// with *problem set when the variable is unset or unusable.
std::optional<QualityOptions> QualityServer(const char* variable, std::string* problem);

// "download: 37.8 Mbit/s  latency under load 262 ms  226 RPM", the figures of the phase
// running now, after the seconds since the start; speeds in unit.
std::string QualityProgressText(const QualityResult& result, double elapsed, const std::string& decimalPoint,
                                SpeedUnit unit = SpeedUnit::Mbit);
// The figures, one per line, with a heading naming the server.
std::string QualitySummaryText(const QualityResult& result, const std::string& decimalPoint,
                               SpeedUnit unit = SpeedUnit::Mbit);
// One JSON object: {"server", "streams", "phase_seconds", "idle_latency_ms", "jitter_ms",
// "download_mbit_s", "download_kb_s", "download_single_mbit_s", "download_single_kb_s",
// "upload_mbit_s", "upload_kb_s", "upload_single_mbit_s", "upload_single_kb_s",
// "loaded_latency_ms", "responsiveness_rpm", "complete", "failure", "samples"}, figures
// not measured as null; the KB/s whole.
std::string QualityJson(const QualityResult& result);

// Runs the test on loop until it ends, showing the progress twice a second; prints the
// figures on out (JSON with json), says what failed on err. Returns the exit status.
int RunQualityCommand(EventLoop& loop, TcpSocketFactory& sockets, const Clock& clock, HistoryService* history,
                      const QualityOptions& options, bool json, ProgressLine& progress,
                      const std::string& decimalPoint, std::ostream& out, std::ostream& err,
                      SpeedUnit unit = SpeedUnit::Mbit);

}  // namespace brisko::cli
