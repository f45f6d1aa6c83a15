// SPDX-License-Identifier: GPL-3.0-or-later
// The run follows draft-ietf-ippm-responsiveness-06 where it fits a fixed-length test:
// load-generating HTTP transfers, probes on connections of their own ("foreign") and
// on the loaded connections ("self"), the single-sided 95 % trimmed means over the
// last MAD = 4 intervals of one second, and the TCP-only responsiveness formula
// (no TLS here). Instead of the draft's search for saturation each loaded phase runs a
// fixed time and leaves out its first second as ramp-up, so a short run still measures.
#include "quality/quality_test.h"

#include <algorithm>
#include <deque>
#include <map>
#include <vector>

#include "quality/http_connection.h"
#include "quality/quality_statistics.h"
#include "speedtest/download_files.h"

namespace brisko {

const char* PhaseName(QualityPhase phase) {
    switch (phase) {
        case QualityPhase::Idle: return "not started";
        case QualityPhase::IdleLatency: return "idle latency";
        case QualityPhase::DownloadSingle: return "single-stream download";
        case QualityPhase::Download: return "download";
        case QualityPhase::UploadSingle: return "single-stream upload";
        case QualityPhase::Upload: return "upload";
        case QualityPhase::Done: return "done";
    }
    return "";
}

namespace {

constexpr int kTickMs = 20;            // probes, deadlines and readings
constexpr double kProgressSeconds = 0.5;
constexpr int kIdleProbes = 10;
constexpr double kIdleSeconds = 5;  // the idle phase ends then with the probes it has
constexpr double kIdleProbeGap = 0.05;  // from one idle probe's start to the next's
// No probe is waited for longer; an idle probe that takes longer ends the run.
constexpr double kProbeTimeout = 3;
// A load that moves nothing for this long has stalled.
constexpr double kStallSeconds = 3;
constexpr double kRampSeconds = 1;
constexpr double kResponsivenessWindow = 4;  // MAD intervals of ID = 1 s
// Probes may take this share of the capacity (the draft's PTC), each about this many
// bytes with its connection, but go at most this often and at least this seldom.
constexpr double kProbeShare = 0.05;
constexpr double kForeignProbeBytes = 5000;
constexpr double kFastestProbeGap = 0.1, kSlowestProbeGap = 1.0;
constexpr int kMostProbesInFlight = 32;
// A loaded connection asks for pieces of about this many seconds, two at a time: a
// second of its rate always asked for, so that the link's queue fills as behind a
// transfer without end, and a self probe, which waits for the pieces asked for and
// goes between them (HTTP/1.1 puts nothing beside a body), finds a gap within a second.
constexpr double kPieceSeconds = 0.5;
constexpr std::uint64_t kFirstPiece = 256 << 10, kSmallestPiece = 64 << 10, kLargestPiece = 256ull << 20;
constexpr std::size_t kPiecesAhead = 2;
// A connection waiting to probe carries less and less: a quarter of them at most.
constexpr int kStreamsPerProbing = 4;
constexpr std::uint64_t kEndless = 1ull << 40;
constexpr int kMostStreams = 64;

constexpr const char* kProbeTarget = "/quality/probe";
constexpr const char* kDownloadTarget = "/quality/download";
constexpr const char* kUploadTarget = "/quality/upload";
constexpr const char* kNotTestServer = " (the test needs brisko-testserver)";

bool IsLoaded(QualityPhase phase) { return phase == QualityPhase::Download || phase == QualityPhase::Upload; }
bool IsUpload(QualityPhase phase) { return phase == QualityPhase::UploadSingle || phase == QualityPhase::Upload; }
bool IsLoadPhase(QualityPhase phase) {
    return phase != QualityPhase::Idle && phase != QualityPhase::IdleLatency && phase != QualityPhase::Done;
}

}  // namespace

class QualityTest::Run {
public:
    Run(EventLoop& loop, TcpSocketFactory& sockets, const Clock& clock, QualityOptions options, QualityEvents events,
        HistoryService* history, std::string from)
        : m_loop(loop),
          m_sockets(sockets),
          m_clock(clock),
          m_options(std::move(options)),
          m_events(std::move(events)),
          m_history(history),
          m_from(std::move(from)) {}

    ~Run() {
        if (m_timer) m_loop.StopTimer(m_timer);
    }

    void Start();
    void Stop();
    bool Running() const { return m_running; }
    const QualityResult& Result() const { return m_result; }

private:
    struct Probe {
        std::unique_ptr<HttpConnection> http;
        double startedAt = 0, connectedAt = 0;
    };
    struct Asked {
        bool probe = false;
        std::uint64_t bytes = 0;  // of an upload piece
    };
    struct Load {
        std::unique_ptr<HttpConnection> http;
        std::deque<Asked> asked;  // in the order the answers come
        bool probeWanted = false;  // a self probe goes once the pieces asked for are in
        double probeSentAt = 0;
        std::uint64_t piece = kFirstPiece;
        double lastAnswerAt = 0;
    };
    struct Reading {  // one answered probe
        QualityPhase phase;
        double sentAt;
        bool self;
        double httpMs, connectMs;
    };
    struct Window {  // of a loaded phase
        double rampEnd = 0, end = 0;
    };

    double Now() const { return m_clock.MonotonicSeconds(); }
    void Tick();
    void Begin(QualityPhase phase);
    void EndPhase();
    void TickIdle(double now);
    void TickLoad(double now);
    void StartLoad(bool single);
    void AskPiece(Load& load);
    void Refill(Load& load);
    void OnLoadAnswer(Load& load, const HttpAnswer& answer);
    void WantSelfProbe();
    void StartProbe();
    void OnProbeAnswer(Probe& probe, const HttpAnswer& answer);
    void OnProbeFailed(Probe& probe, const std::string& why);
    void Retire(Probe& probe);
    void RetireAll();
    void Record(bool self, double sentAt, double httpMs, double connectMs);
    std::uint64_t PhaseBytes() const;
    void UpdateFigures(double now);
    void Fail(const std::string& why);
    void Finish();
    void AppendHistory();

    EventLoop& m_loop;
    TcpSocketFactory& m_sockets;
    const Clock& m_clock;
    QualityOptions m_options;
    QualityEvents m_events;
    HistoryService* m_history;
    std::string m_from;

    QualityResult m_result;
    bool m_running = false;
    EventLoop::TimerId m_timer = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);  // for tasks posted to the loop
    double m_runStart = 0, m_nextProgress = 0;

    // The phase running now.
    double m_phaseStart = 0, m_ramp = kRampSeconds;
    GoodputMeter m_meter{0, 0};
    std::uint64_t m_lastBytes = 0;
    double m_lastMoveAt = 0;
    double m_probeGap = kFastestProbeGap, m_nextProbe = 0, m_nextSelfProbe = 0;
    std::size_t m_nextSelfLoad = 0;
    int m_idleAnswered = 0;
    std::vector<std::unique_ptr<Load>> m_loads;
    std::vector<std::unique_ptr<Probe>> m_probes;
    // Connections that have ended, kept until no event of theirs is running.
    std::vector<std::unique_ptr<Load>> m_endedLoads;
    std::vector<std::unique_ptr<Probe>> m_endedProbes;

    std::vector<Reading> m_readings;
    std::vector<double> m_idleMs;
    std::map<QualityPhase, Window> m_windows;
};

void QualityTest::Run::Start() {
    if (m_running) return;
    m_result = {};
    m_readings.clear();
    m_idleMs.clear();
    m_windows.clear();
    m_options.streams = std::clamp(m_options.streams, 1, kMostStreams);
    m_result.server = HostAndPort(m_options.host, m_options.port);
    m_result.streams = m_options.streams;
    m_result.phaseSeconds = m_options.phaseSeconds;
    m_running = true;
    m_runStart = Now();
    m_nextProgress = m_runStart + kProgressSeconds;
    if (m_options.host.empty() || !(m_options.phaseSeconds > 0)) {
        m_result.failure = m_options.host.empty() ? "no server to test against" : "each phase needs a length";
        Finish();
        return;
    }
    // Connecting, slow start: at most a third of a short phase.
    m_ramp = std::min(kRampSeconds, m_options.phaseSeconds / 3);
    m_timer = m_loop.StartTimer(kTickMs, [this] { Tick(); });
    Begin(QualityPhase::IdleLatency);
}

void QualityTest::Run::Stop() {
    if (!m_running) return;
    m_result.failure = "stopped";
    Finish();
}

void QualityTest::Run::Begin(QualityPhase phase) {
    const double now = Now();
    m_result.phase = phase;
    m_phaseStart = now;
    m_meter = GoodputMeter(now, m_ramp);
    m_lastBytes = 0;
    m_lastMoveAt = now;
    m_nextProbe = now;
    m_idleAnswered = 0;
    if (!IsLoadPhase(phase)) return;
    if (IsLoaded(phase)) {
        m_windows[phase] = {now + m_ramp, now};
        // Probes take no more than their share of what one stream carried.
        const std::optional<double> single =
            phase == QualityPhase::Download ? m_result.downloadSingleMbit : m_result.uploadSingleMbit;
        const double bytesPerSecond = single ? *single * 1e6 / 8 : 0;
        m_probeGap = bytesPerSecond > 0 ? std::clamp(kForeignProbeBytes / (kProbeShare * bytesPerSecond),
                                                     kFastestProbeGap, kSlowestProbeGap)
                                        : kSlowestProbeGap / 2;
        m_nextSelfProbe = now + m_probeGap / 2;  // the two kinds take turns
        m_nextSelfLoad = 0;
    }
    const bool single = !IsLoaded(phase);
    const int streams = single ? 1 : m_options.streams;
    for (int i = 0; i < streams && m_running; ++i) StartLoad(single);
}

void QualityTest::Run::StartLoad(bool single) {
    m_loads.push_back(std::make_unique<Load>());
    Load& load = *m_loads.back();
    HttpConnectionEvents events;
    events.answered = [this, &load](const HttpAnswer& answer) { OnLoadAnswer(load, answer); };
    events.failed = [this](const std::string& why) { Fail(why); };
    load.http = std::make_unique<HttpConnection>(m_sockets, m_options.host, m_options.port, std::move(events));
    load.lastAnswerAt = Now();
    load.http->Connect();
    if (single) {
        // One transfer without end: nothing between its bytes.
        load.asked.push_back({});
        if (IsUpload(m_result.phase))
            load.http->Post(kUploadTarget, kEndless);
        else
            load.http->Get(kDownloadTarget);
        return;
    }
    Refill(load);
}

void QualityTest::Run::AskPiece(Load& load) {
    load.asked.push_back({false, load.piece});
    if (IsUpload(m_result.phase))
        load.http->Post(kUploadTarget, load.piece);
    else
        load.http->Get(std::string(kDownloadTarget) + "?bytes=" + std::to_string(load.piece));
}

void QualityTest::Run::Refill(Load& load) {
    if (load.probeWanted) {
        if (!load.asked.empty()) return;
        load.probeWanted = false;
        load.asked.push_back({true, 0});
        load.probeSentAt = Now();
        load.http->Get(kProbeTarget);
        return;
    }
    while (load.asked.size() < kPiecesAhead) AskPiece(load);
}

void QualityTest::Run::OnLoadAnswer(Load& load, const HttpAnswer& answer) {
    const double now = Now();
    const Asked asked = load.asked.empty() ? Asked{} : load.asked.front();
    if (!load.asked.empty()) load.asked.pop_front();
    if (answer.status != 200) {
        Fail("the server answered " + answer.StatusText());
        return;
    }
    if (!IsLoaded(m_result.phase)) {
        Fail(IsUpload(m_result.phase)
                 ? std::string("the server answered before the upload ended") + kNotTestServer
                 : "the download ended after " + std::to_string(answer.bodyBytes) + " bytes" + kNotTestServer);
        return;
    }
    if (!answer.keepAlive) {
        Fail(std::string("the server closes the connection after each answer") + kNotTestServer);
        return;
    }
    if (asked.probe) {
        Record(true, load.probeSentAt, (now - load.probeSentAt) * 1000, 0);
    } else {
        std::uint64_t bytes = answer.bodyBytes;
        if (IsUpload(m_result.phase)) {
            if (answer.body != std::to_string(asked.bytes)) {
                Fail("the server counted \"" + answer.body.substr(0, 20) + "\" of " + std::to_string(asked.bytes) +
                     " bytes sent" + kNotTestServer);
                return;
            }
            bytes = asked.bytes;
        }
        // The next pieces last about kPieceSeconds at the rate this one came.
        const double seconds = std::max(now - load.lastAnswerAt, 1e-3);
        const double wanted = static_cast<double>(bytes) / seconds * kPieceSeconds;
        load.piece = std::clamp<std::uint64_t>(static_cast<std::uint64_t>(wanted), kSmallestPiece,
                                               std::min(kLargestPiece, load.piece * 4));
    }
    load.lastAnswerAt = now;
    Refill(load);
}

void QualityTest::Run::WantSelfProbe() {
    const auto probing = [](const Load& load) {
        return load.probeWanted ||
               std::any_of(load.asked.begin(), load.asked.end(), [](const Asked& a) { return a.probe; });
    };
    const auto busy = std::count_if(m_loads.begin(), m_loads.end(), [&](const auto& l) { return probing(*l); });
    if (busy >= std::max<std::ptrdiff_t>(1, std::ssize(m_loads) / kStreamsPerProbing)) return;
    for (std::size_t tried = 0; tried < m_loads.size(); ++tried) {
        Load& load = *m_loads[m_nextSelfLoad++ % m_loads.size()];
        if (!load.http->Connected() || probing(load)) continue;
        load.probeWanted = true;
        Refill(load);
        return;
    }
}

void QualityTest::Run::StartProbe() {
    m_probes.push_back(std::make_unique<Probe>());
    Probe& probe = *m_probes.back();
    HttpConnectionEvents events;
    // The request goes out at once behind the handshake.
    events.connected = [this, &probe] { probe.connectedAt = Now(); };
    events.answered = [this, &probe](const HttpAnswer& answer) { OnProbeAnswer(probe, answer); };
    events.failed = [this, &probe](const std::string& why) { OnProbeFailed(probe, why); };
    probe.http = std::make_unique<HttpConnection>(m_sockets, m_options.host, m_options.port, std::move(events));
    probe.startedAt = Now();
    probe.http->Connect();
    probe.http->Get(kProbeTarget);
}

void QualityTest::Run::OnProbeAnswer(Probe& probe, const HttpAnswer& answer) {
    const double now = Now();
    if (answer.status != 200) {
        Fail("the server answered " + answer.StatusText());
        return;
    }
    Record(false, probe.connectedAt, (now - probe.connectedAt) * 1000, (probe.connectedAt - probe.startedAt) * 1000);
    if (m_result.phase == QualityPhase::IdleLatency) {
        ++m_idleAnswered;
        m_nextProbe = std::max(now, probe.startedAt + kIdleProbeGap);
    }
    Retire(probe);
}

void QualityTest::Run::OnProbeFailed(Probe& probe, const std::string& why) {
    // Under load a lost probe is no reading; on an idle link nothing else will work either.
    if (m_result.phase == QualityPhase::IdleLatency)
        Fail(why);
    else
        Retire(probe);
}

void QualityTest::Run::Retire(Probe& probe) {
    probe.http->Close();
    const auto it = std::find_if(m_probes.begin(), m_probes.end(), [&](const auto& p) { return p.get() == &probe; });
    if (it == m_probes.end()) return;
    m_endedProbes.push_back(std::move(*it));
    m_probes.erase(it);
}

void QualityTest::Run::RetireAll() {
    for (auto& load : m_loads) {
        load->http->Close();
        m_endedLoads.push_back(std::move(load));
    }
    m_loads.clear();
    for (auto& probe : m_probes) {
        probe->http->Close();
        m_endedProbes.push_back(std::move(probe));
    }
    m_probes.clear();
}

void QualityTest::Run::Record(bool self, double sentAt, double httpMs, double connectMs) {
    const QualityPhase phase = m_result.phase;
    m_readings.push_back({phase, sentAt, self, httpMs, connectMs});
    m_result.samples.push_back({sentAt - m_runStart, httpMs, phase, self});
    if (phase == QualityPhase::IdleLatency) m_idleMs.push_back(httpMs);
}

std::uint64_t QualityTest::Run::PhaseBytes() const {
    std::uint64_t bytes = 0;
    const bool upload = IsUpload(m_result.phase);
    for (const auto& load : m_loads) bytes += upload ? load->http->BodyBytesDelivered() : load->http->BodyBytesReceived();
    return bytes;
}

void QualityTest::Run::Tick() {
    // No event of theirs runs now.
    m_endedLoads.clear();
    m_endedProbes.clear();
    if (!m_running) return;
    const double now = Now();
    if (m_result.phase == QualityPhase::IdleLatency)
        TickIdle(now);
    else
        TickLoad(now);
    if (!m_running || now < m_nextProgress) return;
    m_nextProgress = std::max(m_nextProgress + kProgressSeconds, now);
    if (m_events.progress) m_events.progress(m_result);
}

void QualityTest::Run::TickIdle(double now) {
    for (const auto& probe : m_probes)
        if (now - probe->startedAt > kProbeTimeout) {
            Fail("the server did not answer a latency probe within " + std::to_string(int(kProbeTimeout)) +
                 " seconds");
            return;
        }
    if (m_idleAnswered >= kIdleProbes || (now - m_phaseStart >= kIdleSeconds && m_idleAnswered > 0)) {
        EndPhase();
        return;
    }
    if (m_probes.empty() && now >= m_nextProbe) StartProbe();
}

void QualityTest::Run::TickLoad(double now) {
    const std::uint64_t bytes = PhaseBytes();
    m_meter.Add(now, bytes);
    if (bytes > m_lastBytes) {
        m_lastBytes = bytes;
        m_lastMoveAt = now;
    }
    const bool ending = now - m_phaseStart >= m_options.phaseSeconds;
    if (now - m_lastMoveAt >= kStallSeconds || (ending && bytes == 0)) {
        const std::string seconds = std::to_string(static_cast<int>(std::min(now - m_lastMoveAt, now - m_phaseStart) + 0.5));
        Fail(IsUpload(m_result.phase) ? "the server has taken nothing for " + seconds + " seconds"
                                      : "nothing has arrived for " + seconds + " seconds");
        return;
    }
    if (IsLoaded(m_result.phase)) {
        m_windows[m_result.phase].end = now;
        for (const auto& probe : m_probes)
            if (now - probe->startedAt > kProbeTimeout) {
                Retire(*probe);
                break;  // the list has changed; the next tick sees the rest
            }
        if (now >= m_nextProbe && m_probes.size() < kMostProbesInFlight) {
            m_nextProbe = std::max(m_nextProbe + m_probeGap, now);
            StartProbe();
        }
        if (m_running && now >= m_nextSelfProbe) {
            m_nextSelfProbe = std::max(m_nextSelfProbe + m_probeGap, now);
            WantSelfProbe();
        }
    }
    if (!m_running) return;
    UpdateFigures(now);
    if (ending) EndPhase();
}

// The figures of the phase running now, from its readings so far.
void QualityTest::Run::UpdateFigures(double) {
    const std::optional<double> rate = m_meter.Mbit();
    switch (m_result.phase) {
        case QualityPhase::DownloadSingle: m_result.downloadSingleMbit = rate; break;
        case QualityPhase::Download: m_result.downloadMbit = rate; break;
        case QualityPhase::UploadSingle: m_result.uploadSingleMbit = rate; break;
        case QualityPhase::Upload: m_result.uploadMbit = rate; break;
        default: break;
    }
    if (!IsLoaded(m_result.phase)) return;
    std::vector<double> loaded;
    ResponsivenessReadings readings;
    for (const Reading& r : m_readings) {
        const auto window = m_windows.find(r.phase);
        if (window == m_windows.end() || r.sentAt < window->second.rampEnd) continue;
        loaded.push_back(r.httpMs);
        if (r.sentAt < std::max(window->second.rampEnd, window->second.end - kResponsivenessWindow)) continue;
        if (r.self) {
            readings.selfHttpMs.push_back(r.httpMs);
        } else {
            readings.foreignHttpMs.push_back(r.httpMs);
            readings.foreignConnectMs.push_back(r.connectMs);
        }
    }
    if (!loaded.empty()) m_result.loadedLatencyMs = MedianIfAny(loaded);
    if (const std::optional<double> rpm = ResponsivenessRpm(readings)) m_result.responsivenessRpm = rpm;
}

void QualityTest::Run::EndPhase() {
    RetireAll();
    QualityPhase next = QualityPhase::Done;
    switch (m_result.phase) {
        case QualityPhase::IdleLatency:
            m_result.idleLatencyMs = MedianIfAny(m_idleMs);
            m_result.jitterMs = Jitter(m_idleMs);
            next = QualityPhase::DownloadSingle;
            break;
        case QualityPhase::DownloadSingle: next = QualityPhase::Download; break;
        case QualityPhase::Download: next = QualityPhase::UploadSingle; break;
        case QualityPhase::UploadSingle: next = QualityPhase::Upload; break;
        default: break;
    }
    if (next == QualityPhase::Done) {
        Finish();
        return;
    }
    Begin(next);
}

void QualityTest::Run::Fail(const std::string& why) {
    if (!m_running) return;
    m_result.failure = std::string(PhaseName(m_result.phase)) + ": " + why;
    Finish();
}

void QualityTest::Run::Finish() {
    if (m_result.phase == QualityPhase::IdleLatency && !m_idleMs.empty()) {
        m_result.idleLatencyMs = MedianIfAny(m_idleMs);
        m_result.jitterMs = Jitter(m_idleMs);
    }
    m_running = false;
    if (m_timer) m_loop.StopTimer(m_timer);
    m_timer = 0;
    RetireAll();
    m_result.phase = QualityPhase::Done;
    AppendHistory();
    // Not from inside a socket's event: whoever owns the test may end it then.
    std::weak_ptr<bool> alive = m_alive;
    m_loop.Post([this, alive] {
        if (alive.expired()) return;
        m_endedLoads.clear();
        m_endedProbes.clear();
        if (m_events.finished) m_events.finished(m_result);
    });
}

void QualityTest::Run::AppendHistory() {
    const QualityResult& r = m_result;
    const bool measured = r.idleLatencyMs || r.downloadSingleMbit || r.downloadMbit || r.uploadSingleMbit ||
                          r.uploadMbit || !r.samples.empty();
    if (!m_history || !measured) return;
    QualityRecord record;
    record.server = r.server;
    record.streams = r.streams;
    record.phaseSeconds = r.phaseSeconds;
    record.idleLatencyMs = r.idleLatencyMs;
    record.jitterMs = r.jitterMs;
    record.loadedLatencyMs = r.loadedLatencyMs;
    record.responsivenessRpm = r.responsivenessRpm;
    record.downloadMbit = r.downloadMbit;
    record.downloadSingleMbit = r.downloadSingleMbit;
    record.uploadMbit = r.uploadMbit;
    record.uploadSingleMbit = r.uploadSingleMbit;
    record.failure = r.failure;
    HistoryRecord entry;
    entry.from = m_from;
    entry.what = std::move(record);
    m_history->Append(std::move(entry));
}

QualityTest::QualityTest(EventLoop& loop, TcpSocketFactory& sockets, const Clock& clock, QualityOptions options,
                         QualityEvents events, HistoryService* history, std::string from)
    : m_run(std::make_unique<Run>(loop, sockets, clock, std::move(options), std::move(events), history,
                                  std::move(from))) {}

QualityTest::~QualityTest() = default;

void QualityTest::Start() { m_run->Start(); }
void QualityTest::Stop() { m_run->Stop(); }
bool QualityTest::Running() const { return m_run->Running(); }
const QualityResult& QualityTest::Result() const { return m_run->Result(); }

}  // namespace brisko
