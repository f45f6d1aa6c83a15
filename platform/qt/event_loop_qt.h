// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <map>
#include <memory>
#include <vector>

#include "platform/event_loop.h"

class QCoreApplication;
class QEventLoop;
class QTimer;

namespace brisko {

// Qt's event loop, for a program without windows. Makes the application object when
// the program has none yet (and then owns it), so that Qt's sockets and QLocale work.
class EventLoopQt final : public EventLoop {
public:
    EventLoopQt();
    ~EventLoopQt() override;
    EventLoopQt(const EventLoopQt&) = delete;
    EventLoopQt& operator=(const EventLoopQt&) = delete;

    TimerId StartTimer(int intervalMs, std::function<void()> tick) override;
    void StopTimer(TimerId id) override;
    void Post(std::function<void()> task) override;
    void Run() override;
    void Quit() override;

private:
    std::unique_ptr<QCoreApplication> m_application;  // only when we made it
    std::unique_ptr<QEventLoop> m_loop;
    std::map<TimerId, std::unique_ptr<QTimer>> m_timers;
    std::vector<std::unique_ptr<QTimer>> m_stopped;
    TimerId m_nextTimer = 1;
};

}  // namespace brisko
