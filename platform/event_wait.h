// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waiting for something to happen without spinning: the event loop runs, the thread
// sleeps between events, and the wait ends when Wake() is called or time runs out.
// Back ends: EventWaiterQt (qt/, a local event loop), tests script FakeEventWaiter.
// DesktopServices (platform/services.h) owns it; the web tests borrow it.
namespace brisko {

class EventWaiter {
public:
    virtual ~EventWaiter() = default;
    // Handles events until Wake() or timeoutMs has passed. A Wake() that came since
    // the last wait ended makes the next wait return after one pass over pending events.
    virtual void WaitForWake(int timeoutMs) = 0;
    // Ends the waits in progress; callable from any event handler.
    virtual void Wake() = 0;
};

}  // namespace brisko
