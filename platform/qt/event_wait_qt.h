// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <vector>

#include "platform/event_wait.h"

class QEventLoop;

namespace brisko {

class EventWaiterQt final : public EventWaiter {
public:
    void WaitForWake(int timeoutMs) override;
    void Wake() override;

private:
    std::vector<QEventLoop*> m_loops;  // nested waits, innermost last
    bool m_woken = false;
};

}  // namespace brisko
