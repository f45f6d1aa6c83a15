// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop back ends on Linux: Qt, and systemd-logind over D-Bus for the restart.
#include <QStandardPaths>

#include "platform/qt/browser_engine_qt.h"
#include "platform/qt/event_loop_qt.h"
#include "platform/qt/event_pump_qt.h"
#include "platform/qt/event_wait_qt.h"
#include "platform/qt/external_browser_qt.h"
#include "platform/qt/locale_qt.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/printer_qt.h"
#include "platform/qt/save_dialog_qt.h"
#include "platform/qt/shutdown_api_dbus.h"
#include "platform/qt/sync_http_qt.h"
#include "platform/qt/tcp_socket_qt.h"
#include "platform/services.h"

namespace brisko {

void PrepareDesktopProcess() { PrepareBrowserEngineProcess(); }

DesktopServices CreateDesktopServices(const std::string& engineStorage) {
    DesktopServices services;
    services.appDataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
    services.loop = std::make_unique<EventLoopQt>();  // beside the QApplication, which it leaves alone
    services.pump = std::make_unique<EventPumpQt>();
    services.waiter = std::make_unique<EventWaiterQt>();
    services.messages = std::make_unique<MessageBoxQt>();
    services.locale = std::make_unique<LocaleQt>();
    services.sockets = std::make_unique<TcpSocketFactoryQt>();
    services.syncHttp = std::make_unique<SyncHttpQt>();
    services.browserEngines = std::make_unique<BrowserEnginesQt>(
        engineStorage.empty() ? services.appDataFolder + "/WebBrowser1" : engineStorage);
    services.externalBrowser = std::make_unique<ExternalBrowserQt>();
    services.saveDialog = std::make_unique<SaveDialogQt>();
    services.printer = std::make_unique<PrinterQt>();
    services.shutdownApi = std::make_unique<ShutdownApiDbus>();
    return services;
}

}  // namespace brisko
