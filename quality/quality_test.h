// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The network quality run against brisko-testserver: idle latency, then download and
// upload, each first over one stream and then over many, with latency probes beside
// and on the loaded connections. Runs on an event loop with its sockets, so that the
// terminal (on Qt's loop or over Winsock) and the Network Quality window share it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "history/history_file.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/tcp_socket.h"
#include "quality/quality_result.h"

namespace brisko {

struct QualityOptions {
    std::string host;
    std::uint16_t port = 8080;
    double phaseSeconds = 10;  // each loaded phase
    int streams = 8;
};

struct QualityEvents {
    // Twice a second while running, with the figures so far.
    std::function<void(const QualityResult&)> progress;
    // Once, when the run ends whole, failed or stopped.
    std::function<void(const QualityResult&)> finished;
};

class QualityTest {
public:
    // history, when given, gets every run that measured anything, as a record of its own.
    QualityTest(EventLoop& loop, TcpSocketFactory& sockets, const Clock& clock, QualityOptions options,
                QualityEvents events, HistoryService* history = nullptr, std::string from = "brisko");
    ~QualityTest();
    QualityTest(const QualityTest&) = delete;
    QualityTest& operator=(const QualityTest&) = delete;

    void Start();
    // Ends the run now; what was measured stays, marked incomplete ("stopped").
    void Stop();
    bool Running() const;
    const QualityResult& Result() const;

private:
    class Run;
    std::unique_ptr<Run> m_run;
};

}  // namespace brisko
