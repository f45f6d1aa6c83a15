// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/event_loop_qt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace brisko {

namespace {

// Qt keeps references to the arguments for the application's whole life; the command
// line is ours, already read, so Qt sees the program's name only.
int g_argc = 1;
char g_name[] = "brisko-cli";
char* g_argv[] = {g_name, nullptr};

}  // namespace

EventLoopQt::EventLoopQt() {
    if (!QCoreApplication::instance()) {
        m_application = std::make_unique<QCoreApplication>(g_argc, g_argv);
        QCoreApplication::setApplicationName("Brisko");
    }
    m_loop = std::make_unique<QEventLoop>();
}

EventLoopQt::~EventLoopQt() {
    m_timers.clear();
    m_stopped.clear();
    m_loop.reset();
}

EventLoop::TimerId EventLoopQt::StartTimer(int intervalMs, std::function<void()> tick) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(intervalMs);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, std::move(tick));
    timer->start();
    const TimerId id = m_nextTimer++;
    m_timers[id] = std::move(timer);
    return id;
}

void EventLoopQt::StopTimer(TimerId id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    // A tick may stop its own timer: the object stays until the loop goes.
    it->second->stop();
    m_stopped.push_back(std::move(it->second));
    m_timers.erase(it);
}

void EventLoopQt::Post(std::function<void()> task) {
    QMetaObject::invokeMethod(m_loop.get(), std::move(task), Qt::QueuedConnection);
}

void EventLoopQt::Run() { m_loop->exec(); }

void EventLoopQt::Quit() { m_loop->quit(); }

}  // namespace brisko
