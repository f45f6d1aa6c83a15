// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Main window and the information windows on fake services.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>

#include "app/main_window.h"
#include "app/secondary_windows.h"
#include "shell/shell_services.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"
#include "tests/support/fakes.h"

namespace brisko::test {

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        shell = {.windows = &windows, .messages = &messages, .externalBrowser = &browser};
        windows.Register("main", [this] { return new brisko::main(shell, handlers); });
        windows.Register("Help", [this] { return new Help(shell); });
        windows.Register("toptip", [] { return new toptip(); });
        windows.Register("Formserial", [this] { return new Formserial(shell); });
        SetEndProgramHook([this](int code) { endedWith = code; });
    }
    void TearDown() override {
        SetEndProgramHook(nullptr);
        for (const char* name : {"main", "Help", "toptip", "Formserial"}) windows.Unload(name);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    brisko::main* Main() { return static_cast<brisko::main*>(windows.Show("main")); }
    template <class W = QWidget>
    W* Child(QWidget* window, const char* name) {
        W* w = window->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void Trigger(QWidget* window, const char* actionName) { Child<QAction>(window, actionName)->trigger(); }

    FakeMessageBox messages;
    FakeExternalBrowser browser;
    WindowInstances windows;
    ShellServices shell;
    brisko::main::Handlers handlers;
    int endedWith = -1;
};

}  // namespace brisko::test
