#pragma once
// Main window and the information windows on fake services.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>

#include "shell/app_context.h"
#include "app/main_window.h"
#include "app/secondary_windows.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_external_browser.h"
#include "tests/support/fake_message_box.h"

namespace brisko::test {

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        context.windows = &windows;
        context.clock = &clock;
        context.pump = &pump;
        context.messages = &messages;
        context.externalBrowser = &browser;
        windows.Register("main", [this] { return new brisko::main(context, handlers); });
        windows.Register("Help", [this] { return new Help(context); });
        windows.Register("toptip", [] { return new toptip(); });
        windows.Register("Formserial", [this] { return new Formserial(context); });
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

    FakeClock clock;
    NoEventPump pump;
    FakeMessageBox messages;
    FakeExternalBrowser browser;
    WindowInstances windows;
    AppContext context;
    brisko::main::Handlers handlers;
    int endedWith = -1;
};

}  // namespace brisko::test
