// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the platform factory builds the back ends; here the windows get theirs.
#include <QApplication>
#include <QIcon>
#include <cstdlib>

#include "app/artwork.h"
#include "app/boost_ui_qt.h"
#include "app/main_window.h"
#include "app/secondary_windows.h"
#include "boost/boost_mode.h"
#include "history/history_file.h"
#include "history/history_window.h"
#include "platform/services.h"
#include "quality/quality_window.h"
#include "restart/reboot.h"
#include "restart/restart_windows.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"
#include "speedtest/data_window.h"
#include "speedtest/download_files.h"
#include "webtest/web_test_launch.h"
#include "webtest/web_test_window.h"

int main(int argc, char** argv) {
    // Fixed once, for us and for every regedit we start.
    const brisko::SystemServices system = brisko::CreateSystemServices();
    brisko::PrepareDesktopProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brisko");
    // The menu entry's name, so a desktop matches our windows to it and its icon.
    QGuiApplication::setDesktopFileName("example.brisko.Brisko");
    QApplication::setWindowIcon(QIcon::fromTheme(
        "example.brisko.Brisko", QIcon(brisko::DrawSpeedometer(QSize(64, 64), Qt::transparent))));
    const brisko::DesktopServices desktop = brisko::CreateDesktopServices();

    brisko::WindowInstances windows;
    brisko::MessageBoxService& messages = *desktop.messages;
    brisko::HistoryFile history(system.userDataFolder, "brisko");
    brisko::reboot shutdown(*desktop.shutdownApi, QCoreApplication::applicationFilePath().toStdString());

    const brisko::ShellServices shell{&windows, &messages, desktop.externalBrowser.get()};
    const brisko::DataWindowServices dataServices{.clock = system.clock.get(),
                                                  .messages = &messages,
                                                  .externalBrowser = desktop.externalBrowser.get(),
                                                  .sockets = desktop.sockets.get(),
                                                  .locale = desktop.locale.get(),
                                                  .saveDialog = desktop.saveDialog.get(),
                                                  .printer = desktop.printer.get(),
                                                  .history = &history};
    const brisko::RestartServices restartServices{.windows = &windows,
                                                  .messages = &messages,
                                                  .processes = system.processes.get(),
                                                  .paths = system.paths.get(),
                                                  .helperFolder = system.folders.helpers,
                                                  .shutdown = &shutdown};
    const brisko::WebTestWindowServices webServices{.windows = &windows,
                                                    .messages = &messages,
                                                    .externalBrowser = desktop.externalBrowser.get(),
                                                    .clock = system.clock.get(),
                                                    .waiter = desktop.waiter.get(),
                                                    .pump = desktop.pump.get(),
                                                    .locale = desktop.locale.get(),
                                                    .browserEngines = desktop.browserEngines.get(),
                                                    .syncHttp = desktop.syncHttp.get(),
                                                    .registry = system.registry.get(),
                                                    .paths = system.paths.get(),
                                                    .processes = system.processes.get(),
                                                    .history = &history};
    const brisko::HistoryWindowServices historyServices{.history = &history,
                                                        .saveDialog = desktop.saveDialog.get(),
                                                        .messages = &messages,
                                                        .locale = desktop.locale.get()};

    brisko::QualityWindowServices qualityServices{.loop = desktop.loop.get(),
                                                  .sockets = desktop.sockets.get(),
                                                  .clock = system.clock.get(),
                                                  .locale = desktop.locale.get(),
                                                  .history = &history,
                                                  .serverOverride = {},
                                                  .options = {}};
    if (const char* server = std::getenv(brisko::kTestServerVariable)) qualityServices.serverOverride = server;

    brisko::BoostUiQt boostUi(windows, messages);
    brisko::BoostEngine boostEngine({system.processes.get(), system.registry.get(), system.paths.get(),
                                     desktop.pump.get(), system.files.get(), &boostUi, &history,
                                     brisko::BoostLockFile(system.userDataFolder)});
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
    windows.Register("main", [&] { return new brisko::main(shell, mainHandlers); });
    windows.Register("Help", [&] { return new brisko::Help(shell); });
    windows.Register("toptip", [] { return new brisko::toptip(); });
    windows.Register("Formserial", [&] { return new brisko::Formserial(shell); });
    windows.Register("restart", [&] { return new brisko::restart(restartServices); });
    windows.Register("Restart3", [&] { return new brisko::Restart3(restartServices); });
    windows.Register("data", [&] { return new brisko::data(dataServices); });
    windows.Register("frmbrowser", [&] { return new brisko::frmbrowser(webServices); });
    windows.Register("firebrowser", [&] { return new brisko::firebrowser(webServices); });
    windows.Register("history", [&] { return new brisko::history(historyServices); });
    windows.Register("quality", [&] { return new brisko::quality(qualityServices); });

    windows.Show("main");
    return app.exec();
}
