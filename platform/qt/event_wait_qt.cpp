// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/event_wait_qt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace brisko {

void EventWaiterQt::WaitForWake(int timeoutMs) {
    if (m_woken) {
        m_woken = false;
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer backstop;
    backstop.setSingleShot(true);
    QObject::connect(&backstop, &QTimer::timeout, &loop, &QEventLoop::quit);
    backstop.start(timeoutMs);
    m_loops.push_back(&loop);
    loop.exec();
    m_loops.pop_back();
    m_woken = false;
}

void EventWaiterQt::Wake() {
    m_woken = true;
    for (QEventLoop* loop : m_loops) loop->quit();
}

}  // namespace brisko
