#pragma once
// The services and window instances handed to every window. Built once, in main.cpp.
#include "platform/browser_engine.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/event_wait.h"
#include "platform/external_browser.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/printer.h"
#include "platform/process_start.h"
#include "platform/registry_read.h"
#include "platform/save_dialog.h"
#include "platform/sync_http.h"
#include "platform/tcp_socket.h"

namespace brisko {

class WindowInstances;
class reboot;

struct AppContext {
    WindowInstances* windows = nullptr;
    Clock* clock = nullptr;
    EventPump* pump = nullptr;
    MessageBoxService* messages = nullptr;
    ProcessStarter* processes = nullptr;
    PathMapper* paths = nullptr;
    RegistryReader* registry = nullptr;
    ExternalBrowser* externalBrowser = nullptr;
    reboot* shutdown = nullptr;  // the shutdown service (restart/reboot.h)
    TcpSocketFactory* sockets = nullptr;
    LocaleService* locale = nullptr;
    SaveDialog* saveDialog = nullptr;
    Printer* printer = nullptr;
    BrowserEngines* browserEngines = nullptr;
    SyncHttpClient* syncHttp = nullptr;
    EventWaiter* waiter = nullptr;
};

}  // namespace brisko
