// Start-up: the one place that builds the platform back ends and the windows.
#include <QApplication>
#include <QStandardPaths>
#include <unistd.h>

#include "shell/app_context.h"
#include "app/boost_ui_qt.h"
#include "app/main_window.h"
#include "app/secondary_windows.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"
#include "boost/boost_mode.h"
#include "platform/clock.h"
#include "platform/posix/file_system_posix.h"
#include "platform/posix/paths_posix.h"
#include "platform/posix/process_start_posix.h"
#include "platform/posix/registry_read_posix.h"
#include "platform/posix/system_root.h"
#include "platform/qt/browser_engine_qt.h"
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
#include "restart/reboot.h"
#include "restart/restart_windows.h"
#include "speedtest/data_window.h"
#include "webtest/launch_web_test.h"
#include "webtest/web_test_window.h"

int main(int argc, char** argv) {
    brisko::PrepareBrowserEngineProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brisko");

    // Fixed once, for us and for every regedit we start.
    const std::string systemRoot = brisko::AnchorSystemRoot();
    brisko::ProvisionSystemRoot(systemRoot);
    const std::string programFolder = brisko::RunningProgramFolder();

    brisko::SystemClock clock;
    brisko::EventPumpQt pump;
    brisko::MessageBoxQt messages;
    brisko::PathMapperPosix paths(systemRoot, programFolder);
    brisko::ProcessStarterPosix processes(programFolder, &paths);
    brisko::RegistryReaderPosix registry(systemRoot);
    brisko::ExternalBrowserQt externalBrowser;
    brisko::FileSystemPosix files;
    brisko::TcpSocketFactoryQt sockets;
    brisko::LocaleQt locale;
    brisko::SaveDialogQt saveDialog;
    brisko::PrinterQt printer;
    brisko::BrowserEnginesQt browserEngines(
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString() + "/WebBrowser1");
    brisko::SyncHttpQt syncHttp;
    brisko::EventWaiterQt waiter;
    brisko::WindowInstances windows;
    brisko::ShutdownApiDbus shutdownApi;
    brisko::reboot shutdown(shutdownApi, QCoreApplication::applicationFilePath().toStdString());

    brisko::AppContext context;
    context.windows = &windows;
    context.clock = &clock;
    context.pump = &pump;
    context.messages = &messages;
    context.processes = &processes;
    context.paths = &paths;
    context.registry = &registry;
    context.externalBrowser = &externalBrowser;
    context.shutdown = &shutdown;
    context.sockets = &sockets;
    context.locale = &locale;
    context.saveDialog = &saveDialog;
    context.printer = &printer;
    context.browserEngines = &browserEngines;
    context.syncHttp = &syncHttp;
    context.waiter = &waiter;

    brisko::BoostUiQt boostUi(windows, messages);
    brisko::BoostEngine boostEngine({&processes, &registry, &paths, &pump, &files, &boostUi});
    auto boostCommand = [&](brisko::BoostMode mode) {
        return [&, mode] { brisko::RunOrEnd(messages, [&] { boostEngine.RunBoostMode(mode); }); };
    };


    brisko::main::Handlers mainHandlers;
    mainHandlers.command1 = [&] {
        return brisko::LaunchWebTest(windows, messages, brisko::WebTestKind::InternetExplorer);
    };
    mainHandlers.btnfire = [&] { return brisko::LaunchWebTest(windows, messages, brisko::WebTestKind::Firefox); };
    mainHandlers.boost = boostCommand(brisko::BoostMode::Normal);
    mainHandlers.proBoost = boostCommand(brisko::BoostMode::Pro);
    mainHandlers.restore = boostCommand(brisko::BoostMode::Restore);
    windows.Register("main", [&] { return new brisko::main(context, mainHandlers); });
    windows.Register("Help", [&] { return new brisko::Help(context); });
    windows.Register("toptip", [] { return new brisko::toptip(); });
    windows.Register("Formserial", [&] { return new brisko::Formserial(context); });
    windows.Register("restart", [&] { return new brisko::restart(context); });
    windows.Register("Restart3", [&] { return new brisko::Restart3(context); });
    windows.Register("data", [&] { return new brisko::data(context); });
    windows.Register("frmbrowser", [&] { return new brisko::frmbrowser(context); });
    windows.Register("firebrowser", [&] { return new brisko::firebrowser(context); });

    windows.Show("main");
    return app.exec();
}
