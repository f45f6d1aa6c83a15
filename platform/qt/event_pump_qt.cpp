// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/event_pump_qt.h"

#include <QCoreApplication>

namespace brisko {

void EventPumpQt::PumpOnce() { QCoreApplication::processEvents(); }

}  // namespace brisko
