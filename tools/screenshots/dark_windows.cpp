// SPDX-License-Identifier: GPL-3.0-or-later
// For the README's pictures: the main window and the History window (on the user's
// history) as a dark desktop palette shows them, open until closed. Started and
// photographed by scripts/screenshots.sh.
#include <QApplication>

#include "app/main_window.h"
#include "history/history_file.h"
#include "history/history_window.h"
#include "platform/services.h"
#include "shell/window_instances.h"

int main(int argc, char** argv) {
    const brisko::SystemServices system = brisko::CreateSystemServices();
    brisko::PrepareDesktopProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Brisko");
    // About what a dark desktop theme gives.
    const QColor window(0x31, 0x36, 0x3b), text(0xef, 0xf0, 0xf1);
    QPalette dark(window, window);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, text);
    dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
    QApplication::setPalette(dark);
    const brisko::DesktopServices desktop = brisko::CreateDesktopServices();

    brisko::WindowInstances windows;
    brisko::HistoryFile history(system.userDataFolder, "brisko");
    const brisko::ShellServices shell{&windows, desktop.messages.get(), desktop.externalBrowser.get()};
    const brisko::HistoryWindowServices historyServices{&history, desktop.saveDialog.get(), desktop.messages.get(),
                                                        desktop.locale.get()};
    windows.Register("main", [&] { return new brisko::main(shell, {}); });
    windows.Register("history", [&] { return new brisko::history(historyServices); });
    windows.Show("main");
    windows.Show("history");
    return app.exec();
}
