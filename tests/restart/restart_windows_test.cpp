#include "restart/restart_windows.h"

#include <QGroupBox>
#include <QLabel>
#include <gtest/gtest.h>

#include "app/gradient_button.h"
#include "app/uncaught_error.h"
#include "app/window_instances.h"
#include "restart/reboot.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/fake_shutdown_api.h"

namespace brisko {
namespace {

class FakeProcessStarter final : public ProcessStarter {
public:
    Status Start(const std::string& commandLine, WindowState state) override {
        started.push_back({commandLine, state});
        return result;
    }
    std::vector<std::pair<std::string, WindowState>> started;
    Status result;
};

class FakePathMapper final : public PathMapper {
public:
    std::string ToNative(const std::string& p) const override { return p; }
    std::string ToWindows(const std::string& p) const override { return p; }
    std::string ProgramFolder() const override { return "/opt/brisko"; }
    char Separator() const override { return '/'; }
};

const std::vector<std::string> kOthers = {"main", "Formserial", "toptip", "frmbrowser", "Help", "data", "firebrowser"};

class RestartPrompts : public ::testing::Test {
protected:
    void SetUp() override {
        m_context.windows = &m_windows;
        m_context.messages = &m_messages;
        m_context.processes = &m_processes;
        m_context.paths = &m_paths;
        m_context.shutdown = &m_shutdown;
        m_windows.Register("restart", [this] { return new restart(m_context); });
        m_windows.Register("Restart3", [this] { return new Restart3(m_context); });
        for (const std::string& name : kOthers)
            m_windows.Register(name, [name] { return new FormWindow(QString::fromStdString(name)); });
        SetEndProgramHook([this](int code) { m_ended.push_back(code); });
    }

    void TearDown() override {
        SetEndProgramHook(nullptr);
        for (const char* name : {"restart", "Restart3"}) m_windows.Unload(name);
        for (const std::string& name : kOthers) m_windows.Unload(name);
    }

    // Shows the windows and notes the order in which they are unloaded.
    void Open(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            FormWindow* window = m_windows.Show(name);
            QObject::connect(window, &FormWindow::Unloaded, [this, name] { m_closed.push_back(name); });
        }
    }

    void Click(const std::string& window, const char* button) {
        FormWindow* w = m_windows.Find(window);
        ASSERT_NE(w, nullptr) << window;
        auto* b = w->findChild<GradientButton*>(button);
        ASSERT_NE(b, nullptr) << button;
        b->click();
    }

    std::vector<std::string> Loaded() const {
        std::vector<std::string> loaded;
        for (const char* name : {"restart", "Restart3"})
            if (m_windows.IsLoaded(name)) loaded.push_back(name);
        for (const std::string& name : kOthers)
            if (m_windows.IsLoaded(name)) loaded.push_back(name);
        return loaded;
    }

    test::FakeShutdownApi m_api;
    reboot m_shutdown{m_api, "/opt/brisko/brisko"};
    test::FakeMessageBox m_messages;
    FakeProcessStarter m_processes;
    FakePathMapper m_paths;
    WindowInstances m_windows;
    AppContext m_context;
    std::vector<int> m_ended;
    std::vector<std::string> m_closed;
};

struct Text {
    const char* text;
    double points;
    bool bold;
};

void ExpectTexts(QWidget* window, const std::vector<Text>& expected) {
    const auto labels = window->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ(labels[i]->text().toStdString(), expected[i].text);
        EXPECT_EQ(labels[i]->font().family(), "MS Sans Serif");
        EXPECT_DOUBLE_EQ(labels[i]->font().pointSizeF(), expected[i].points);
        EXPECT_EQ(labels[i]->font().bold(), expected[i].bold);
        if (i > 0) {
            EXPECT_GT(labels[i]->y(), labels[i - 1]->y());
        }
    }
}

struct ButtonSpec {
    const char* name;
    const char* caption;
    const char* tip;
    bool bold;
};

void ExpectButtons(QWidget* window, double groupPoints, bool groupBold, const std::vector<ButtonSpec>& expected) {
    auto* box = window->findChild<QGroupBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->title(), "Restart?");
    EXPECT_DOUBLE_EQ(box->font().pointSizeF(), groupPoints);
    EXPECT_EQ(box->font().bold(), groupBold);
    ASSERT_EQ(box->findChildren<GradientButton*>().size(), static_cast<qsizetype>(expected.size()));
    int left = -1;
    for (const ButtonSpec& spec : expected) {
        SCOPED_TRACE(spec.name);
        auto* button = box->findChild<GradientButton*>(spec.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), spec.caption);
        EXPECT_EQ(button->toolTip().toStdString(), spec.tip);
        EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 8.25);
        EXPECT_EQ(button->font().bold(), spec.bold);
        EXPECT_GT(button->x(), left);
        left = button->x();
    }
}

const ButtonSpec kLater = {"btnRestartLater", "Restart PC Later", "Restart your machine later in your own time.", false};
const ButtonSpec kNow = {"btnRestartNow", "Restart PC Right Now", "Restart your machine immediately.", false};

TEST_F(RestartPrompts, BoostPromptShowsItsTextsAndThreeButtons) {
    FormWindow* w = m_windows.Show("restart");
    EXPECT_EQ(w->windowTitle(), "Restart");
    ExpectTexts(w, {
        {"Done!", 13.5, false},
        {"Your machine is now optimized for the fastest possible Internet speed.", 9.75, true},
        {"*  See your Web speed gains right now!   Simply follow these 3 steps: *", 9.75, true},
        {"1. Click the 'Show My Speed Improvements Now!' button below", 8.25, false},
        {"2. When Brisko re-opens click the button to choose your Browser", 8.25, false},
        {"3. Do the Web speed test again by clicking the 'Web Speed Test' button on the Browser window", 8.25, false},
        {"NOTE - You will have to restart your machine to invoke all the other speed improvement changes.", 8.25,
         false},
    });
    ExpectButtons(w, 9.75, true,
                  {{"btnshow", "Show My Speed Improvements Now!",
                    "See your Web speed improvements. No restart is required for this test.", true},
                   kLater, kNow});
}

TEST_F(RestartPrompts, RestorePromptShowsItsTextsAndTwoButtons) {
    FormWindow* w = m_windows.Show("Restart3");
    EXPECT_EQ(w->windowTitle(), "Restart");
    ExpectTexts(w, {
        {"Done!", 13.5, false},
        {"Your machine has been set back to it's original settings.", 8.25, true},
        {"NOTE - You will have to restart your machine to invoke the all the changes.", 8.25, false},
    });
    ExpectButtons(w, 8.25, false, {kNow, kLater});
}

TEST_F(RestartPrompts, LaterClosesOnlyItsOwnPrompt) {
    for (const char* prompt : {"restart", "Restart3"}) {
        SCOPED_TRACE(prompt);
        Open({"main", "Help", "restart", "Restart3"});
        Click(prompt, "btnRestartLater");
        EXPECT_FALSE(m_windows.IsLoaded(prompt));
        EXPECT_EQ(Loaded().size(), 3u);
        EXPECT_TRUE(m_messages.shown.empty());
        EXPECT_TRUE(m_ended.empty());
        EXPECT_TRUE(m_api.calls.empty());
    }
}

TEST_F(RestartPrompts, ShowClosesTheOpenWindowsInOrderStartsReopenerAndEnds) {
    Open({"main", "data", "restart", "Help", "toptip"});
    Click("restart", "btnshow");
    EXPECT_EQ(m_closed, (std::vector<std::string>{"toptip", "restart", "Help", "data", "main"}));
    EXPECT_TRUE(Loaded().empty());
    ASSERT_EQ(m_processes.started.size(), 1u);
    EXPECT_EQ(m_processes.started[0].first, "/opt/brisko/reopener");
    EXPECT_EQ(m_processes.started[0].second, WindowState::MinimizedActive);
    EXPECT_EQ(m_ended, std::vector<int>{0});
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(RestartPrompts, ShowEndsAfterAMessageWhenReopenerCannotStart) {
    m_processes.result = Status::Fail(2, "No such file or directory");
    Open({"main", "restart"});
    Click("restart", "btnshow");
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, "Can't start /opt/brisko/reopener: No such file or directory");
    EXPECT_EQ(m_messages.shown[0].title, "Brisko");
    ASSERT_EQ(m_ended.size(), 1u);
    EXPECT_NE(m_ended[0], 0);
    EXPECT_TRUE(Loaded().empty());
}

TEST_F(RestartPrompts, RightNowRestartsThenClosesAllButTheMainWindow) {
    for (const char* prompt : {"restart", "Restart3"}) {
        SCOPED_TRACE(prompt);
        m_api.calls.clear();
        m_closed.clear();
        Open({"main", "Formserial", "firebrowser", prompt});
        Click(prompt, "btnRestartNow");
        EXPECT_EQ(m_api.Count("ExitWindowsEx 2 "), 1);
        EXPECT_EQ(m_closed, (std::vector<std::string>{"Formserial", prompt, "firebrowser"}));
        EXPECT_EQ(Loaded(), std::vector<std::string>{"main"});
        EXPECT_TRUE(m_ended.empty());
    }
}

TEST_F(RestartPrompts, RightNowWithoutTheShutdownRightShowsWhyAndEnds) {
    m_api.adjust = {false, 1314};
    m_api.texts[1314] = "A required privilege is not held by the client.\r\n";
    Open({"main", "Help", "Restart3"});
    Click("Restart3", "btnRestartNow");
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text,
              "Can't enable shutdown: You do not have the privileges to shutdown this system. "
              "[A required privilege is not held by the client.\r\n]");
    EXPECT_EQ(m_messages.shown[0].title, "Brisko");
    EXPECT_EQ(m_ended, std::vector<int>{1});
    EXPECT_EQ(m_api.Count("ExitWindowsEx"), 0);
    EXPECT_EQ(Loaded().size(), 3u);  // not closed one by one
}

}  // namespace
}  // namespace brisko
