// SPDX-License-Identifier: GPL-3.0-or-later
// Test main for widget tests: one QApplication for the whole program.
#include <QApplication>
#include <QFont>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "platform/qt/browser_engine_qt.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    brisko::PrepareBrowserEngineProcess();
    QApplication app(argc, argv);
    // A desktop font of this many points, as a user's desktop settings would give.
    if (const double points = qEnvironmentVariable("BRISKO_TEST_DESKTOP_POINTS").toDouble(); points > 0) {
        QFont font = QApplication::font();
        font.setPointSizeF(points);
        QApplication::setFont(font);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
