// SPDX-License-Identifier: GPL-3.0-or-later
// The console back ends on Linux: Qt's event loop, sockets and locale, no widgets.
#include "platform/qt/event_loop_qt.h"
#include "platform/qt/locale_qt.h"
#include "platform/qt/tcp_socket_qt.h"
#include "platform/services.h"

namespace brisko {

ConsoleServices CreateConsoleServices() {
    ConsoleServices services;
    services.loop = std::make_unique<EventLoopQt>();  // the application object, before any socket
    services.sockets = std::make_unique<TcpSocketFactoryQt>();
    services.locale = std::make_unique<LocaleQt>();
    return services;
}

}  // namespace brisko
