// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The event loop of a Windows program without windows (brisko-cli.exe): posted
// tasks, repeating timers and Winsock sockets, all run on the thread that runs the
// loop, one event at a time. It is also the program's EventWaiter and EventPump.
// ConsoleServices (platform/services.h) owns it; the sockets it watches borrow it.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>

#include "platform/event_loop.h"
#include "platform/event_pump.h"
#include "platform/event_wait.h"

namespace brisko {

// What select() said about a watched socket.
struct SocketReadiness {
    bool readable = false;
    bool writable = false;  // also: a connect has completed
    bool failed = false;    // a connect has failed
};

class EventLoopWin32 final : public EventLoop, public EventWaiter, public EventPump {
public:
    using SocketHandle = std::uintptr_t;  // a Winsock SOCKET

    // Starts Winsock (WSAStartup) for the loop's lifetime.
    EventLoopWin32();
    ~EventLoopWin32() override;
    EventLoopWin32(const EventLoopWin32&) = delete;
    EventLoopWin32& operator=(const EventLoopWin32&) = delete;
    bool WinsockReady() const { return m_winsockReady; }

    // EventLoop
    void Post(std::function<void()> task) override;
    TimerId StartTimer(int intervalMs, std::function<void()> tick) override;
    void StopTimer(TimerId id) override;
    void Run() override;
    void Quit() override { m_quit = true; }

    // Reports the socket's readiness to onReady while watched. Watching again
    // replaces the interest; the socket must stay open until Unwatch.
    void Watch(SocketHandle socket, bool read, bool write, std::function<void(SocketReadiness)> onReady);
    void Unwatch(SocketHandle socket);

    // Handles what is due, waiting at most timeoutMs for the first event.
    void RunOnce(int timeoutMs);

    // EventWaiter
    void WaitForWake(int timeoutMs) override;
    void Wake() override { m_woken = true; }
    // EventPump
    void PumpOnce() override { RunOnce(0); }

private:
    struct Timer {
        int intervalMs;
        double due;  // MonotonicSeconds
        std::function<void()> tick;
    };
    struct Watched {
        bool read, write;
        std::function<void(SocketReadiness)> onReady;
        unsigned serial;  // tells a re-watch from the watch select reported on
    };
    double Now() const;
    int MillisecondsToNextTimer(int limitMs) const;
    void RunTimers();

    bool m_winsockReady = false;
    bool m_quit = false;
    bool m_woken = false;
    std::deque<std::function<void()>> m_posted;
    std::map<TimerId, Timer> m_timers;
    TimerId m_nextTimer = 1;
    std::map<SocketHandle, Watched> m_sockets;
    unsigned m_nextSerial = 1;
};

}  // namespace brisko
