// SPDX-License-Identifier: GPL-3.0-or-later
// The console back ends on Windows: one event loop over Winsock (started with it), its
// sockets, and the user's regional settings.
#include "platform/services.h"
#include "platform/win32/event_loop_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/tcp_socket_win32.h"

namespace brisko {

ConsoleServices CreateConsoleServices() {
    ConsoleServices services;
    auto loop = std::make_unique<EventLoopWin32>();
    services.sockets = std::make_unique<TcpSocketFactoryWin32>(*loop);
    services.loop = std::move(loop);
    services.locale = std::make_unique<LocaleWin32>();
    return services;
}

}  // namespace brisko
