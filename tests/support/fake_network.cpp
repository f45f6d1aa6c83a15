// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fake_network.h"

#include <algorithm>
#include <cstring>

namespace brisko::test {

EventLoop::TimerId FakeEventLoop::StartTimer(int intervalMs, std::function<void()> tick) {
    const TimerId id = m_next++;
    m_timers[id] = {intervalMs / 1000.0, m_clock.MonotonicSeconds() + intervalMs / 1000.0, std::move(tick)};
    return id;
}

void FakeEventLoop::RunPosted() {
    for (int rounds = 0; rounds < 1000 && !m_posted.empty(); ++rounds) {
        std::deque<std::function<void()>> now;
        now.swap(m_posted);
        for (auto& task : now) task();
    }
}

bool FakeEventLoop::RunFor(double seconds, const std::function<bool()>& done, double step) {
    const double end = m_clock.MonotonicSeconds() + seconds;
    while (m_clock.MonotonicSeconds() < end) {
        RunPosted();
        if (done && done()) return true;
        m_clock.Advance(step);
        if (onStep) onStep(step);
        RunPosted();
        std::vector<TimerId> due;
        for (const auto& [id, timer] : m_timers)
            if (timer.due <= m_clock.MonotonicSeconds() + 1e-9) due.push_back(id);
        for (TimerId id : due) {
            const auto it = m_timers.find(id);
            if (it == m_timers.end()) continue;
            it->second.due += it->second.interval;
            std::function<void()> tick = it->second.tick;
            tick();
        }
    }
    RunPosted();
    return done && done();
}

// The far end of one connection: reads requests as they are sent, answers them in
// order once their bodies have crossed the link, and hands out the answers' bytes as
// the link carries them.
class FakeServerSocket final : public TcpSocket {
public:
    explicit FakeServerSocket(FakeNetwork& network) : m_network(network) { m_network.Opened(this); }
    ~FakeServerSocket() override {
        *m_alive = false;
        m_network.Gone(this);
    }

    void SetEvents(TcpSocketEvents events) override { m_events = std::move(events); }
    void Connect(const std::string& host, std::uint16_t) override {
        Close();
        m_host = host;
        m_state = State::Connecting;
        if (m_network.refuse) {
            m_state = State::Closed;
            Post([this] {
                if (m_events.error) m_events.error(10061, "Connection refused");
            });
            return;
        }
        m_connectAt = m_network.Now() + m_network.Delay();
    }
    std::string RemoteHost() const override { return m_host; }
    Status SendData(const std::string& data) override {
        if (m_state != State::Connected) return Status::Fail(10057, "Socket is not connected");
        Parse(data);
        m_unacknowledged += data.size();
        if (m_unacknowledged <= kSendBuffer)
            PostSendComplete();
        else
            m_completeOwed = true;
        return Status::Ok();
    }
    std::optional<std::size_t> UnacknowledgedBytes() const override { return m_unacknowledged; }
    std::size_t Read(char* buffer, std::size_t size) override { return Take(buffer, size); }
    std::size_t Discard(std::size_t size) override { return Take(nullptr, size); }
    void Close() override {
        ++m_generation;
        m_state = State::Closed;
        m_requests.clear();
        m_out.clear();
        m_unacknowledged = 0;
        m_head.clear();
        m_bodyToParse = 0;
        m_arrived = 0;
        m_closeAfter = false;
    }

    // The link's turn for this connection.
    bool Loading() const {
        for (const Request& r : m_requests)
            if (r.target != "/quality/probe") return true;
        for (const Segment& s : m_out)
            if (s.counted > 0) return true;
        return false;
    }
    std::uint64_t DownloadWanted() const {
        std::uint64_t wanted = 0;
        for (const Segment& s : m_out)
            if (s.readyAt <= m_network.Now()) wanted += s.counted;
        return wanted - std::min(wanted, m_arrived);
    }
    std::uint64_t UploadWanted() const { return m_unacknowledged; }
    void Step(std::uint64_t downloadCredit, std::uint64_t uploadCredit);
    void Reset() {
        if (m_state == State::Closed) return;
        Close();
        Post([this] {
            if (m_events.closed) m_events.closed();
        });
    }

private:
    enum class State { Closed, Connecting, Connected };
    struct Request {
        std::string method, target;
        std::uint64_t bodyLeft = 0, total = 0;
        bool answerAtOnce = false;
    };
    struct Segment {
        double readyAt;
        std::string text;
        std::uint64_t counted = 0;  // body bytes that are only counted
        bool last = false;          // the connection ends after it
    };
    static constexpr std::uint64_t kSendBuffer = 1 << 20;

    void Post(std::function<void()> event) {
        const unsigned generation = m_generation;
        m_network.Loop().Post([this, alive = std::weak_ptr<char>(m_alive), generation, event = std::move(event)] {
            if (!alive.expired() && generation == m_generation) event();
        });
    }
    void PostSendComplete() {
        Post([this] {
            if (m_events.sendComplete) m_events.sendComplete();
        });
    }

    void Parse(const std::string& data) {
        std::size_t at = 0;
        while (at < data.size()) {
            if (m_bodyToParse > 0) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(m_bodyToParse, data.size() - at));
                m_bodyToParse -= n;
                at += n;
                continue;
            }
            m_head += data[at++];
            if (m_head.size() < 4 || m_head.compare(m_head.size() - 4, 4, "\r\n\r\n") != 0) continue;
            Request r;
            const std::size_t space = m_head.find(' ');
            r.method = m_head.substr(0, space);
            r.target = m_head.substr(space + 1, m_head.find(' ', space + 1) - space - 1);
            const std::size_t length = m_head.find("Content-Length: ");
            if (length != std::string::npos) m_bodyToParse = std::stoull(m_head.substr(length + 16));
            r.bodyLeft = m_bodyToParse;
            if (r.target == "/quality/upload" && m_network.uploadStatus != 200) {
                r.bodyLeft = 0;
                r.answerAtOnce = true;
            }
            m_requests.push_back(r);
            m_head.clear();
        }
    }

    std::size_t Take(char* buffer, std::size_t size) {
        std::size_t taken = 0;
        while (taken < size && !m_out.empty() && m_out.front().readyAt <= m_network.Now()) {
            Segment& s = m_out.front();
            if (!s.text.empty()) {
                const std::size_t n = std::min(size - taken, s.text.size());
                if (buffer) std::memcpy(buffer + taken, s.text.data(), n);
                s.text.erase(0, n);
                taken += n;
            } else if (s.counted > 0) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>({size - taken, s.counted, m_arrived}));
                if (n == 0) break;
                if (buffer) std::memset(buffer + taken, 'x', n);
                s.counted -= n;
                m_arrived -= n;
                taken += n;
            }
            if (s.text.empty() && s.counted == 0) {
                const bool last = s.last;
                m_out.pop_front();
                if (last) {
                    m_state = State::Closed;
                    Post([this] {
                        if (m_events.closed) m_events.closed();
                    });
                    break;
                }
            }
        }
        m_taken += taken;
        return taken;
    }

    void Answer(const Request& r) {
        const double at = m_network.Now() + m_network.Delay();
        const bool keep = m_network.keepAlive && !r.answerAtOnce;
        const std::string connection = keep ? "" : "Connection: close\r\n";
        std::string head;
        std::uint64_t counted = 0;
        std::string body;
        if (r.answerAtOnce) {
            head = "HTTP/1.1 " + std::to_string(m_network.uploadStatus) + " Not Found\r\nContent-Length: 0\r\n";
        } else if (r.target == "/quality/probe") {
            head = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n";
            body = "x";
        } else if (r.target.rfind("/quality/download", 0) == 0) {
            const std::size_t bytes = r.target.find("bytes=");
            counted = bytes == std::string::npos ? 1ull << 40 : std::stoull(r.target.substr(bytes + 6));
            head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(counted) + "\r\n";
        } else if (r.target == "/quality/upload") {
            body = std::to_string(r.total);
            head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
        } else {
            head = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n";
        }
        m_out.push_back({at, head + connection + "\r\n" + body, counted, !keep});
    }

    FakeNetwork& m_network;
    TcpSocketEvents m_events;
    std::string m_host;
    State m_state = State::Closed;
    double m_connectAt = 0;
    std::deque<Request> m_requests;
    std::deque<Segment> m_out;
    std::uint64_t m_unacknowledged = 0, m_bodyToParse = 0, m_arrived = 0;
    std::string m_head;
    std::uint64_t m_taken = 0;  // bytes read by the client, ever
    bool m_completeOwed = false, m_closeAfter = false;
    unsigned m_generation = 0;
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

void FakeServerSocket::Step(std::uint64_t downloadCredit, std::uint64_t uploadCredit) {
    if (m_state == State::Connecting && m_network.Now() >= m_connectAt) {
        m_state = State::Connected;
        Post([this] {
            if (m_events.connected) m_events.connected();
        });
        return;
    }
    if (m_state != State::Connected) return;
    // The upload crosses the link: the oldest request's body first.
    std::uint64_t moved = std::min(uploadCredit, m_unacknowledged);
    m_unacknowledged -= moved;
    for (Request& r : m_requests) {
        const std::uint64_t n = std::min(moved, r.bodyLeft);
        r.bodyLeft -= n;
        r.total += n;
        m_network.uploaded += n;
        moved -= n;
    }
    if (m_completeOwed && m_unacknowledged <= kSendBuffer) {
        m_completeOwed = false;
        PostSendComplete();
    }
    while (!m_network.silent && !m_requests.empty() && m_requests.front().bodyLeft == 0) {
        Answer(m_requests.front());
        m_requests.pop_front();
    }
    m_arrived += downloadCredit;
    if (m_out.empty() || m_out.front().readyAt > m_network.Now()) return;
    // As a system socket: told again while bytes are pending and the last event took some.
    const unsigned generation = m_generation;
    for (int i = 0; i < 64 && m_events.dataArrival && generation == m_generation; ++i) {
        const std::uint64_t before = m_taken;
        m_events.dataArrival();
        if (m_taken == before) break;
    }
}

FakeNetwork::FakeNetwork(FakeEventLoop& loop, FakeClock& clock) : m_loop(loop), m_clock(clock) {
    m_loop.onStep = [this](double step) { Step(step); };
}

FakeNetwork::~FakeNetwork() { m_loop.onStep = nullptr; }

std::unique_ptr<TcpSocket> FakeNetwork::Create() {
    ++made;
    return std::make_unique<FakeServerSocket>(*this);
}

double FakeNetwork::Now() const { return m_clock.MonotonicSeconds(); }

double FakeNetwork::Delay() const {
    const bool loaded = std::any_of(m_sockets.begin(), m_sockets.end(), [](auto* s) { return s->Loading(); });
    return roundTrip + (loaded ? loadedExtra : 0);
}

void FakeNetwork::Gone(FakeServerSocket* socket) {
    m_sockets.erase(std::remove(m_sockets.begin(), m_sockets.end(), socket), m_sockets.end());
}

namespace {

// Shares credit among those who want some, none getting more than it wants.
std::vector<std::uint64_t> Share(std::uint64_t credit, const std::vector<std::uint64_t>& wanted) {
    std::vector<std::size_t> order(wanted.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return wanted[a] < wanted[b]; });
    std::vector<std::uint64_t> given(wanted.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::uint64_t share = credit / (order.size() - k);
        given[order[k]] = std::min(share, wanted[order[k]]);
        credit -= given[order[k]];
    }
    return given;
}

}  // namespace

void FakeNetwork::Step(double step) {
    const double now = Now();
    if (stallAt && now >= *stallAt) return;
    if (resetAt && now >= *resetAt) {
        resetAt.reset();
        const std::vector<FakeServerSocket*> sockets = m_sockets;
        for (FakeServerSocket* s : sockets) s->Reset();
        return;
    }
    const auto credit = static_cast<std::uint64_t>(rate * step);
    std::vector<std::uint64_t> down, up;
    for (FakeServerSocket* s : m_sockets) {
        down.push_back(s->DownloadWanted());
        up.push_back(s->UploadWanted());
    }
    const std::vector<std::uint64_t> downGiven = Share(credit, down), upGiven = Share(credit, up);
    // A socket's events may close or make others: each is visited once, if still here.
    const std::vector<FakeServerSocket*> sockets = m_sockets;
    for (std::size_t i = 0; i < sockets.size(); ++i)
        if (std::find(m_sockets.begin(), m_sockets.end(), sockets[i]) != m_sockets.end())
            sockets[i]->Step(downGiven[i], upGiven[i]);
}

}  // namespace brisko::test
