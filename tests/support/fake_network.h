// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A network that runs on a FakeClock, for tests of what talks to brisko-testserver
// over several connections: an event loop whose time the test moves, and sockets whose
// far end serves the quality paths (probe, download, upload) over one shared link with
// a rate and a round trip that grows under load, and can be told to misbehave.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/tcp_socket.h"
#include "tests/support/fakes.h"

namespace brisko::test {

class FakeEventLoop final : public EventLoop {
public:
    explicit FakeEventLoop(FakeClock& clock) : m_clock(clock) {}
    TimerId StartTimer(int intervalMs, std::function<void()> tick) override;
    void StopTimer(TimerId id) override { m_timers.erase(id); }
    void Post(std::function<void()> task) override { m_posted.push_back(std::move(task)); }
    void Run() override {}  // the test moves time with RunFor
    void Quit() override { quit = true; }

    // Moves time on a step at a time, running what is posted and due and letting the
    // network move its bytes, until done() or seconds have passed. Returns done().
    bool RunFor(double seconds, const std::function<bool()>& done, double step = 0.001);
    void RunPosted();

    std::function<void(double step)> onStep;  // the network's turn
    bool quit = false;

private:
    struct Timer {
        double interval, due;
        std::function<void()> tick;
    };
    FakeClock& m_clock;
    std::map<TimerId, Timer> m_timers;
    TimerId m_next = 1;
    std::deque<std::function<void()>> m_posted;
};

class FakeServerSocket;

class FakeNetwork final : public TcpSocketFactory {
public:
    FakeNetwork(FakeEventLoop& loop, FakeClock& clock);
    ~FakeNetwork() override;
    std::unique_ptr<TcpSocket> Create() override;

    // The link: bytes a second each way, shared by every connection; the round trip
    // when idle, and what a load on the link adds to it.
    double rate = 10e6;
    double roundTrip = 0.010;
    double loadedExtra = 0.050;
    // Faults.
    bool refuse = false;          // every connect is refused
    bool silent = false;          // requests are read but never answered
    bool keepAlive = true;        // false: each answer ends its connection
    int uploadStatus = 200;       // other: the upload path answers this at once
    std::optional<double> resetAt;  // every connection is reset then (monotonic seconds)
    std::optional<double> stallAt;  // from then on nothing moves

    int made = 0;  // sockets
    std::uint64_t uploaded = 0;  // body bytes that reached the server

    // Internal: the sockets' view of the link.
    double Now() const;
    double Delay() const;  // a round trip now
    FakeEventLoop& Loop() { return m_loop; }
    void Opened(FakeServerSocket* socket) { m_sockets.push_back(socket); }
    void Gone(FakeServerSocket* socket);

private:
    void Step(double step);
    FakeEventLoop& m_loop;
    FakeClock& m_clock;
    std::vector<FakeServerSocket*> m_sockets;
};

}  // namespace brisko::test
