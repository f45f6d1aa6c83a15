// SPDX-License-Identifier: GPL-3.0-or-later
// The two test windows and their launchers, on scripted engines.
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <set>

#include "platform/event_pump.h"
#include "platform/posix/paths_posix.h"
#include "tests/app/app_fixture.h"
#include "tests/support/fake_browser_engine.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"
#include "speedtest/download_files.h"
#include "webtest/web_test_launch.h"
#include "webtest/start_page.h"
#include "webtest/web_test_texts.h"
#include "webtest/web_test_window.h"

namespace brisko::test {
namespace {

const std::set<std::string> kBoostControls = {"btnProBoost", "Frame1",  "Frame4",  "Check1",  "Frame9",
                                               "btnRestore",  "btnBoost", "Label12", "Label3",  "Label23",
                                               "Label24",     "Label19",  "Label20"};

class WebTestWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", "\\Users\\ann");
        services = {.windows = &windows, .messages = &messages, .externalBrowser = &browser, .clock = &clock,
                    .waiter = &waiter, .pump = &pump, .locale = &locale, .browserEngines = &engines,
                    .syncHttp = &http, .registry = &registry, .paths = &paths, .processes = &processes};
        handlers.command1 = [this] { return LaunchWebTest(windows, messages, WebTestKind::InternetExplorer); };
        handlers.btnfire = [this] { return LaunchWebTest(windows, messages, WebTestKind::Firefox); };
        windows.Register("frmbrowser", [this] { return new frmbrowser(services); });
        windows.Register("firebrowser", [this] { return new firebrowser(services); });
    }
    void TearDown() override {
        for (const char* name : {"frmbrowser", "firebrowser"}) windows.Unload(name);
        AppFixture::TearDown();
    }

    WebTestWindowServices services;
    TempFolder root;
    PathMapperPosix paths{root.Path().string() + "/system", root.Path().string() + "/bin"};
    FakeStringRegistry registry;
    FakeProcessStarter processes;
    FakeBrowserEngines engines;
    FakeSyncHttp http;
    FakeEventWaiter waiter;
    FakeClock clock;
    NoEventPump pump;
    FakeLocale locale;
};

TEST_F(WebTestWindowTest, EitherLauncherEnablesExactlyTheThirteenControlsAndOpensOneTestWindow) {
    for (const char* launcher : {"Command1", "btnfire"}) {
        windows.Unload("main");
        brisko::main* w = Main();
        const auto enabled = [&] {
            std::set<std::string> names;
            for (QWidget* child : w->centralWidget()->findChildren<QWidget*>())
                if (!child->objectName().isEmpty() && child->isEnabled())
                    names.insert(child->objectName().toStdString());
            return names;
        };
        const std::set<std::string> before = enabled();
        Child<QPushButton>(w, launcher)->click();
        std::set<std::string> newly = enabled();
        for (const std::string& name : before) newly.erase(name);
        EXPECT_EQ(newly, kBoostControls) << launcher;
    }
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{webtext::kCommand1Message, webtext::kBtnfireMessage}));
    EXPECT_TRUE(windows.IsLoaded("firebrowser"));
    EXPECT_FALSE(windows.IsLoaded("frmbrowser"));  // the other one went
}

// The first address is one that can load: the test server's page when one is named, else
// a public page (never a name reserved for examples, which no name server resolves).
TEST_F(WebTestWindowTest, FirstAddressIsTheTestServersPageOrAPublicOne) {
    const struct {
        const char* server;
        std::string address;
        bool problem;
    } cases[] = {
        {nullptr, kPublicTestPage, false},
        {"", kPublicTestPage, false},
        {"127.0.0.1:8080", "http://127.0.0.1:8080/default.html", false},
        {"lan-box", "http://lan-box/default.html", false},
        {"http://192.168.1.10", kPublicTestPage, true},
    };
    const std::string publicPage = kPublicTestPage;
    EXPECT_EQ(publicPage.rfind("https://", 0), 0u);
    EXPECT_EQ(publicPage.find(".example"), std::string::npos);
    for (const auto& c : cases)
        for (const char* name : {"frmbrowser", "firebrowser"}) {
            SCOPED_TRACE(std::string(name) + " " + (c.server ? c.server : "(unset)"));
            c.server ? qputenv(kTestServerVariable, c.server) : qunsetenv(kTestServerVariable);
            messages.shown.clear();
            QWidget* w = windows.Show(name);
            QApplication::processEvents();
            EXPECT_EQ(Child<QLineEdit>(w, "txtURL")->text().toStdString(), c.address);
            ASSERT_EQ(messages.shown.size(), c.problem ? 1u : 0u);
            if (c.problem) {
                EXPECT_NE(messages.shown[0].text.find("BRISKO_TEST_SERVER"), std::string::npos);
            }
            windows.Unload(name);
        }
    qunsetenv(kTestServerVariable);
}

// The window opens on the ready page; Return in the address box runs the test once, with the
// buttons off while it is timed; Enter on another button presses that one; closing the
// window mid-wait ends the wait and shows nothing more.
TEST_F(WebTestWindowTest, ReturnRunsTheTestFromTheAddressBox) {
    QWidget* w = windows.Show("frmbrowser");
    FakeIeEngine* engine = engines.ie;
    auto* address = Child<QLineEdit>(w, "txtURL");
    auto* test = Child<QPushButton>(w, "btnOpenURLInWebbrowserControl");
    auto* refresh = Child<QPushButton>(w, "btnrefresh");
    address->setText("http://127.0.0.1:9/x");
    waiter.steps = {[&] {
                        EXPECT_FALSE(test->isEnabled());
                        EXPECT_FALSE(refresh->isEnabled());
                        test->click();  // ignored: it is off
                        engine->ShowStatus("(4 items remaining)");
                        engine->ShowStatus("(1 items remaining)");
                    },
                    [&] { engine->Complete(); }};
    waiter.onEveryWait = [&] { engine->Complete(); };  // a second run would end too, and show
    address->setFocus();
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(engine->requests, (std::vector<std::string>{std::string("navigate ") + webtext::kReadyPage + " 0",
                                                          "navigate http://127.0.0.1:9/x 14"}));
    EXPECT_EQ(Child<QProgressBar>(w, "ProgressBar1")->value(), 4);
    EXPECT_TRUE(test->isEnabled());
    EXPECT_EQ(messages.shown.size(), 2u);

    std::vector<std::string> requests;
    waiter.waits = 0;
    waiter.onEveryWait = [&] {
        requests = engine->requests;
        windows.Unload("frmbrowser");
    };
    refresh->setFocus();
    QTest::keyClick(refresh, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].rfind("refresh", 0), 0u) << requests[2];
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(windows.IsLoaded("frmbrowser"));
    EXPECT_EQ(waiter.waits, 1);
}

TEST_F(WebTestWindowTest, FirefoxWindowSwitchesBackAndReportsAMissingFirefox) {
    Trigger(windows.Show("frmbrowser"), "firefoxspeed");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(windows.IsLoaded("firebrowser"));
    EXPECT_FALSE(windows.IsLoaded("frmbrowser"));
    auto* w = windows.Find("firebrowser");
    EXPECT_EQ(engines.mozilla->requests, (std::vector<std::string>{"navigate about:blank"}));
    // The engine's profile is where the boost looks for it.
    EXPECT_NE(engines.mozillaProfile.find("/drive_c/Users/ann/application data/mozillaControl/profiles/mozillaControl/"),
              std::string::npos)
        << engines.mozillaProfile;

    Child<QPushButton>(w, "btnExternal")->click();
    EXPECT_TRUE(processes.started.empty());
    EXPECT_EQ(messages.Texts().back(), webtext::kFirefoxNotRegisteredMessage);

    Trigger(w, "IEspeedtest");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(windows.IsLoaded("frmbrowser"));
    EXPECT_FALSE(windows.IsLoaded("firebrowser"));
    Trigger(windows.Find("frmbrowser"), "mnuExit");
    EXPECT_FALSE(windows.IsLoaded("frmbrowser"));
}

}  // namespace
}  // namespace brisko::test
