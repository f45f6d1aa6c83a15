// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place that picks the platform's back ends. CMake compiles exactly one
// implementation of each factory, chosen by platform:
//   services_linux.cpp          / services_win32.cpp          SystemServices (no Qt)
//   console_services_linux.cpp  / console_services_win32.cpp  ConsoleServices (Qt / Winsock)
//   desktop_services_linux.cpp  / desktop_services_win32.cpp  DesktopServices (Qt)
// A program (brisko, brisko-cli, a bench) builds what it needs once at start and owns
// it for its whole run; windows and logic borrow only the services they use.
#include <memory>
#include <string>

#include "platform/browser_engine.h"
#include "platform/clock.h"
#include "platform/elevation.h"
#include "platform/event_loop.h"
#include "platform/event_pump.h"
#include "platform/event_wait.h"
#include "platform/external_browser.h"
#include "platform/file_system.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/printer.h"
#include "platform/program_folders.h"
#include "platform/process_start.h"
#include "platform/registry_read.h"
#include "platform/save_dialog.h"
#include "platform/shutdown_api.h"
#include "platform/sync_http.h"
#include "platform/tcp_socket.h"

namespace brisko {

// What needs no Qt: brisko-cli's boost and registry commands and a Windows
// brisko-cli.exe live on these alone.
struct SystemServices {
    ProgramFolders folders;  // where the data, the helper programs and the programs are
    // The user's own Brisko folder, for what the program keeps (the history of results):
    // $XDG_DATA_HOME/brisko on Linux, %APPDATA%\Brisko on Windows. Not created here.
    std::string userDataFolder;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<PathMapper> paths;
    std::unique_ptr<ProcessStarter> processes;
    std::unique_ptr<RegistryReader> registry;
    std::unique_ptr<FileSystem> files;
    std::unique_ptr<Elevation> elevation;
    // The program that imports .reg files, as the boost starts it: "regedit", found
    // beside us, on Linux; Windows' own by its full path, whatever lies on the search path.
    std::string regedit = "regedit";
};

// Call first thing in main, before anything changes the working folder: on Linux it
// fixes and provisions the emulated Windows machine that every program we start
// (regedit above all) must find too.
SystemServices CreateSystemServices();

// What a program without windows runs its tests on: an event loop with its timers,
// sockets driven by that loop, the user's locale. On Linux these are Qt's (without
// widgets); on Windows the console program's own loop over Winsock.
struct ConsoleServices {
    std::unique_ptr<EventLoop> loop;  // first made, last gone: the others run on it
    std::unique_ptr<TcpSocketFactory> sockets;
    std::unique_ptr<LocaleService> locale;
};

// Call once, where the event loop will run; on Linux it makes the application object
// unless the program already has one.
ConsoleServices CreateConsoleServices();

// The same folder as SystemServices::userDataFolder, for a program that needs nothing
// else (brisko-cli history).
std::string UserDataFolder();

// Windows, dialogs, the socket, the browser engines and the shutdown request.
struct DesktopServices {
    std::string appDataFolder;  // where the program keeps its own per-user data
    // Timers and posted tasks on the windows' own loop, for logic written for an
    // EventLoop (the network quality run); its Run and Quit are not for the desktop.
    std::unique_ptr<EventLoop> loop;
    std::unique_ptr<EventPump> pump;
    std::unique_ptr<EventWaiter> waiter;
    std::unique_ptr<MessageBoxService> messages;
    std::unique_ptr<LocaleService> locale;
    std::unique_ptr<TcpSocketFactory> sockets;
    std::unique_ptr<SyncHttpClient> syncHttp;
    std::unique_ptr<BrowserEngines> browserEngines;
    std::unique_ptr<ExternalBrowser> externalBrowser;
    std::unique_ptr<SaveDialog> saveDialog;
    std::unique_ptr<Printer> printer;
    std::unique_ptr<ShutdownApi> shutdownApi;
};

// Call before the application object is made (the browser engine's process needs it).
void PrepareDesktopProcess();

// Call once the application object exists. engineStorage: where the Internet Explorer
// engine keeps its profile; empty means <appDataFolder>/WebBrowser1.
DesktopServices CreateDesktopServices(const std::string& engineStorage = {});

}  // namespace brisko
