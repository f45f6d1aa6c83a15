// SPDX-License-Identifier: GPL-3.0-or-later
#include "restart/restart_windows.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "shell/gradient_button.h"
#include "shell/uncaught_error.h"
#include "shell/window_instances.h"
#include "platform/posix/paths_posix.h"
#include "platform/qt/shutdown_api_dbus.h"
#include "restart/reboot.h"
#include "tests/support/fakes.h"
#include "tests/support/qt/fake_logind.h"

namespace brisko::test {
namespace {

// The two prompts first, then every window the prompts may close.
const std::vector<std::string> kWindows = {"restart", "Restart3", "main", "Formserial",
                                           "toptip", "frmbrowser", "Help", "data", "firebrowser"};

class RestartPrompts : public ::testing::Test {
protected:
    void SetUp() override {
        m_windows.Register("restart", [this] { return new restart(m_context); });
        m_windows.Register("Restart3", [this] { return new Restart3(m_context); });
        for (const std::string& name : std::vector(kWindows.begin() + 2, kWindows.end()))
            m_windows.Register(name, [name] { return new FormWindow(QString::fromStdString(name)); });
        SetEndProgramHook([this](int code) { m_ended.push_back(code); });
    }
    void TearDown() override {
        SetEndProgramHook(nullptr);
        for (const std::string& name : Loaded()) m_windows.Unload(name);
    }

    // Shows the windows and notes the order in which they are unloaded.
    void Open(const std::vector<std::string>& names) {
        m_closed.clear();
        for (const std::string& name : names) {
            const bool fresh = !m_windows.IsLoaded(name);
            FormWindow* window = m_windows.Show(name);
            if (fresh) QObject::connect(window, &FormWindow::Unloaded, [this, name] { m_closed.push_back(name); });
        }
    }
    void Click(const std::string& window, const char* button) {
        ASSERT_TRUE(m_windows.IsLoaded(window)) << window;
        m_windows.Find(window)->findChild<GradientButton*>(button)->click();
    }
    std::vector<std::string> Loaded() const {
        std::vector<std::string> loaded;
        for (const std::string& name : kWindows)
            if (m_windows.IsLoaded(name)) loaded.push_back(name);
        return loaded;
    }

    FakeMessageBox m_messages;
    FakeProcessStarter m_processes;
    PathMapperPosix m_paths{"/nonexistent", "/opt/brisko"};
    WindowInstances m_windows;
    RestartServices m_context{&m_windows, &m_messages, &m_processes, &m_paths, {}, nullptr};
    std::vector<int> m_ended;
    std::vector<std::string> m_closed;
};

// Later closes only its own prompt, also by Return. Show closes the open windows in
// order either way; a reopener that cannot start is told before the end.
TEST_F(RestartPrompts, LaterClosesItsOwnPromptShowClosesAllStartsReopenerAndEnds) {
    for (const char* prompt : {"restart", "Restart3"}) {
        Open({"main", "Help", "restart", "Restart3"});
        QWidget* later = m_windows.Find(prompt)->findChild<GradientButton*>("btnRestartLater");
        later->setFocus();
        QTest::keyClick(later, Qt::Key_Return);
        EXPECT_EQ(m_closed, std::vector<std::string>{prompt});
    }
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_TRUE(m_ended.empty());

    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        m_processes.failOn = [fails](const std::string&) { return fails; };
        Open({"main", "data", "restart", "Help", "toptip"});
        Click("restart", "btnshow");
        EXPECT_EQ(m_closed, (std::vector<std::string>{"toptip", "restart", "Help", "data", "main"}));
    }
    ASSERT_EQ(m_processes.started.size(), 1u);
    EXPECT_EQ(m_processes.started[0].commandLine, "/opt/brisko/reopener");
    EXPECT_EQ(m_processes.started[0].state, WindowState::MinimizedActive);
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, "Can't start /opt/brisko/reopener: The system cannot find the file specified.");
    EXPECT_EQ(m_ended, (std::vector<int>{0, 1}));
}

// logind may ask for a password before it restarts. Meanwhile the windows stay live (a
// timer fires) and further clicks on either prompt ask nothing more. A refusal is told
// and the program goes on with the prompt open; a fault ends it; consent closes all
// windows but the main one. Without the right nothing is asked: it is told and ends.
TEST_F(RestartPrompts, RightNowWaitingForThePasswordKeepsTheWindowsLive) {
    FakeLogind logind;
    ASSERT_FALSE(logind.Address().isEmpty()) << logind.Error().toStdString();
    logind.HoldReboot();
    ShutdownApiDbus api(logind.Address());
    reboot service(api, "/opt/brisko/brisko");
    m_context.shutdown = &service;
    Open({"main", "Formserial", "firebrowser", "restart", "Restart3"});
    auto ask = [&](const std::string& prompt, const std::string& other) {
        auto* now = m_windows.Find(prompt)->findChild<GradientButton*>("btnRestartNow");
        Click(prompt, "btnRestartNow");
        EXPECT_FALSE(now->isEnabled());
        bool ticked = false;
        QTimer::singleShot(1, [&] { ticked = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return ticked && logind.HeldCount() == 1; }));
        Click(other, "btnRestartNow");  // ignored while the first waits
        QTest::qWait(50);
        EXPECT_EQ(logind.HeldCount(), 1);
        return now;
    };

    GradientButton* now = ask("restart", "Restart3");
    logind.AnswerHeld("org.freedesktop.DBus.Error.AccessDenied", "Access denied");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_messages.shown.size() == 1; }));
    EXPECT_EQ(m_messages.shown[0].text,
              "ShutdownSystem failed: Access denied (org.freedesktop.DBus.Error.AccessDenied)\r\n");
    EXPECT_TRUE(m_ended.empty());
    EXPECT_TRUE(m_closed.empty());
    EXPECT_TRUE(now->isEnabled());

    ask("Restart3", "restart");
    logind.AnswerHeld("org.freedesktop.DBus.Error.Failed", "Reboot failed");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_messages.shown.size() == 2; }));
    EXPECT_EQ(m_messages.shown[1].text,
              "ShutdownSystem failed: Reboot failed (org.freedesktop.DBus.Error.Failed)\r\n");
    EXPECT_EQ(m_ended, std::vector<int>{1});

    ask("Restart3", "restart");
    logind.AnswerHeld();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_closed.empty(); }));
    EXPECT_EQ(m_closed, (std::vector<std::string>{"Formserial", "restart", "Restart3", "firebrowser"}));
    EXPECT_EQ(Loaded(), std::vector<std::string>{"main"});
    EXPECT_EQ(logind.TakeCalls().count("Reboot true"), 3);

    logind.SetCanReboot("no");
    Open({"Help", "Restart3"});
    Click("Restart3", "btnRestartNow");
    ASSERT_EQ(m_messages.shown.size(), 3u);
    EXPECT_EQ(m_messages.shown[2].text.rfind("Can't enable shutdown: You do not have the privileges", 0), 0u);
    EXPECT_EQ(m_ended, (std::vector<int>{1, 1}));
    EXPECT_EQ(Loaded().size(), 3u);
    EXPECT_EQ(logind.TakeCalls(), QStringList{"CanReboot"});
}

}  // namespace
}  // namespace brisko::test
