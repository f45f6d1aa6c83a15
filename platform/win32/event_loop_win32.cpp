// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/event_loop_win32.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/clock.h"

namespace brisko {

EventLoopWin32::EventLoopWin32() {
    WSADATA data;
    m_winsockReady = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

EventLoopWin32::~EventLoopWin32() {
    if (m_winsockReady) ::WSACleanup();
}

double EventLoopWin32::Now() const { return SystemClock().MonotonicSeconds(); }

void EventLoopWin32::Post(std::function<void()> task) { m_posted.push_back(std::move(task)); }

EventLoopWin32::TimerId EventLoopWin32::StartTimer(int intervalMs, std::function<void()> tick) {
    const TimerId id = m_nextTimer++;
    m_timers[id] = Timer{intervalMs, Now() + intervalMs / 1000.0, std::move(tick)};
    return id;
}

void EventLoopWin32::StopTimer(TimerId id) { m_timers.erase(id); }

void EventLoopWin32::Watch(SocketHandle socket, bool read, bool write, std::function<void(SocketReadiness)> onReady) {
    m_sockets[socket] = Watched{read, write, std::move(onReady), m_nextSerial++};
}

void EventLoopWin32::Unwatch(SocketHandle socket) { m_sockets.erase(socket); }

void EventLoopWin32::Run() {
    m_quit = false;
    while (!m_quit) RunOnce(1000);
}

void EventLoopWin32::WaitForWake(int timeoutMs) {
    const double end = Now() + timeoutMs / 1000.0;
    // A Wake that came before this wait still counts, after one pass over what is pending.
    if (m_woken) {
        m_woken = false;
        RunOnce(0);
        return;
    }
    while (!m_woken) {
        const double left = end - Now();
        if (left <= 0) break;
        RunOnce(static_cast<int>(std::ceil(left * 1000)));
    }
    m_woken = false;
}

int EventLoopWin32::MillisecondsToNextTimer(int limitMs) const {
    const double now = Now();
    int wait = limitMs;
    for (const auto& [id, timer] : m_timers)
        wait = std::min(wait, std::max(0, static_cast<int>(std::ceil((timer.due - now) * 1000))));
    return wait;
}

void EventLoopWin32::RunTimers() {
    std::vector<TimerId> due;
    const double now = Now();
    for (const auto& [id, timer] : m_timers)
        if (timer.due <= now) due.push_back(id);
    for (TimerId id : due) {
        auto it = m_timers.find(id);
        if (it == m_timers.end()) continue;  // stopped by an earlier tick
        // The next tick counts from this one, as a window timer's does; a late tick
        // does not bring a burst of catch-up ticks.
        it->second.due = std::max(it->second.due + it->second.intervalMs / 1000.0, now);
        std::function<void()> tick = it->second.tick;
        tick();
    }
}

void EventLoopWin32::RunOnce(int timeoutMs) {
    int wait = m_posted.empty() ? MillisecondsToNextTimer(std::max(0, timeoutMs)) : 0;

    fd_set readSet, writeSet, failSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&failSet);
    std::vector<std::pair<SocketHandle, unsigned>> asked;
    for (const auto& [socket, watched] : m_sockets) {
        if (asked.size() == FD_SETSIZE) break;
        if (!watched.read && !watched.write) continue;
        const SOCKET s = static_cast<SOCKET>(socket);
        if (watched.read) FD_SET(s, &readSet);
        if (watched.write) {
            FD_SET(s, &writeSet);
            FD_SET(s, &failSet);  // Winsock reports a failed connect here
        }
        asked.emplace_back(socket, watched.serial);
    }
    if (asked.empty()) {
        if (wait > 0) ::Sleep(static_cast<DWORD>(wait));
    } else {
        timeval limit{wait / 1000, (wait % 1000) * 1000};
        if (::select(0, &readSet, &writeSet, &failSet, &limit) > 0) {
            for (const auto& [socket, serial] : asked) {
                const SOCKET s = static_cast<SOCKET>(socket);
                SocketReadiness ready{FD_ISSET(s, &readSet) != 0, FD_ISSET(s, &writeSet) != 0,
                                      FD_ISSET(s, &failSet) != 0};
                if (!ready.readable && !ready.writable && !ready.failed) continue;
                // An earlier handler may have closed or re-watched this socket.
                auto it = m_sockets.find(socket);
                if (it == m_sockets.end() || it->second.serial != serial) continue;
                std::function<void(SocketReadiness)> onReady = it->second.onReady;
                onReady(ready);
            }
        }
    }

    RunTimers();
    // Only the tasks there now: one posted meanwhile runs on the next round.
    for (std::size_t n = m_posted.size(); n > 0 && !m_posted.empty(); --n) {
        std::function<void()> task = std::move(m_posted.front());
        m_posted.pop_front();
        task();
    }
}

}  // namespace brisko
