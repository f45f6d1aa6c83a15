// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The event loop of a program without windows (brisko-cli's tests): repeating timers
// and posted tasks, run one at a time on the thread that runs the loop, beside the
// sockets the loop's own socket factory makes.
// Back ends: EventLoopQt (qt/: QCoreApplication, QTimer), EventLoopWin32 (win32/:
// select over Winsock sockets). ConsoleServices (platform/services.h) owns it; the
// terminal front end borrows it.
#include <functional>

namespace brisko {

class EventLoop {
public:
    using TimerId = int;

    virtual ~EventLoop() = default;
    // Calls tick every intervalMs, as precisely as the system allows, until StopTimer.
    // Returns a nonzero id.
    virtual TimerId StartTimer(int intervalMs, std::function<void()> tick) = 0;
    virtual void StopTimer(TimerId id) = 0;
    // Runs task from the loop, after the event being handled.
    virtual void Post(std::function<void()> task) = 0;
    // Handles events until Quit is called from one of them.
    virtual void Run() = 0;
    virtual void Quit() = 0;
};

}  // namespace brisko
