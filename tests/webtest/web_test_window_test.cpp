// The two test windows and their launchers, on scripted engines.
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>

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

const char* const kBoostControls[] = {"btnProBoost", "Frame1",  "Frame4",  "Check1",  "Frame9",
                                      "btnRestore",  "btnBoost", "Label12", "Label3",  "Label23",
                                      "Label24",     "Label19",  "Label20"};

class WebTestWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        paths = std::make_unique<PathMapperPosix>(root.Path().string() + "/system", root.Path().string() + "/bin");
        registry.Set(kHkeyCurrentUser, "Volatile Environment", "HOMEPATH", "\\Users\\ann");
        services = {.windows = &windows, .messages = &messages, .externalBrowser = &browser, .clock = &clock,
                    .waiter = &waiter, .pump = &pump, .locale = &locale, .browserEngines = &engines,
                    .syncHttp = &http, .registry = &registry, .paths = paths.get(), .processes = &processes};
        handlers.command1 = [this] { return LaunchWebTest(windows, messages, WebTestKind::InternetExplorer); };
        handlers.btnfire = [this] { return LaunchWebTest(windows, messages, WebTestKind::Firefox); };
        windows.Register("frmbrowser", [this] { return new frmbrowser(services); });
        windows.Register("firebrowser", [this] { return new firebrowser(services); });
    }
    void TearDown() override {
        windows.Unload("frmbrowser");
        windows.Unload("firebrowser");
        AppFixture::TearDown();
    }

    WebTestWindowServices services;
    TempFolder root;
    std::unique_ptr<PathMapperPosix> paths;
    FakeStringRegistry registry;
    FakeProcessStarter processes;
    FakeBrowserEngines engines;
    FakeSyncHttp http;
    FakeEventWaiter waiter;
    FakeLocale locale;
};

TEST_F(WebTestWindowTest, EitherLauncherEnablesExactlyTheThirteenControlsAndOpensOneTestWindow) {
    for (const char* launcher : {"Command1", "btnfire"}) {
        brisko::main* w = Main();
        windows.Unload("main");
        w = Main();
        QWidget* client = w->centralWidget();
        std::vector<QWidget*> others;
        for (QWidget* child : client->findChildren<QWidget*>())
            if (!child->objectName().isEmpty() && child->isEnabled()) others.push_back(child);
        Child<QPushButton>(w, launcher)->click();
        for (const char* name : kBoostControls) EXPECT_TRUE(Child(w, name)->isEnabled()) << name;
        int newlyEnabled = 0;
        for (QWidget* child : client->findChildren<QWidget*>())
            if (!child->objectName().isEmpty() && child->isEnabled() &&
                std::find(others.begin(), others.end(), child) == others.end())
                ++newlyEnabled;
        EXPECT_EQ(newlyEnabled, 13) << launcher;
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
            if (c.server)
                qputenv(kTestServerVariable, c.server);
            else
                qunsetenv(kTestServerVariable);
            messages.shown.clear();
            QWidget* w = windows.Show(name);
            QApplication::processEvents();
            EXPECT_EQ(Child<QLineEdit>(w, "txtURL")->text().toStdString(), c.address);
            ASSERT_EQ(messages.shown.size(), c.problem ? 1u : 0u);
            if (c.problem) EXPECT_NE(messages.shown[0].text.find("BRISKO_TEST_SERVER"), std::string::npos);
            windows.Unload(name);
        }
    qunsetenv(kTestServerVariable);
}

TEST_F(WebTestWindowTest, ButtonsAreOffWhileALoadIsTimedAndClosingEndsTheWait) {
    auto* w = static_cast<frmbrowser*>(windows.Show("frmbrowser"));
    FakeIeEngine* engine = engines.ie;
    auto* test = Child<QPushButton>(w, "btnOpenURLInWebbrowserControl");
    auto* refresh = Child<QPushButton>(w, "btnrefresh");
    auto* bar = Child<QProgressBar>(w, "ProgressBar1");
    Child<QLineEdit>(w, "txtURL")->setText("http://127.0.0.1:9/x");
    waiter.steps = {[&] {
                        EXPECT_FALSE(test->isEnabled());
                        EXPECT_FALSE(refresh->isEnabled());
                        test->click();  // ignored: it is off
                        engine->ShowStatus("(4 items remaining)");
                        engine->ShowStatus("(1 items remaining)");
                    },
                    [&] { engine->Complete(); }};
    test->click();
    EXPECT_EQ(engine->requests.back(), "navigate http://127.0.0.1:9/x 14");
    EXPECT_EQ(engine->requests.size(), 2u);
    EXPECT_EQ(bar->maximum(), 4);
    EXPECT_EQ(bar->value(), 4);
    EXPECT_TRUE(test->isEnabled());
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, "This page took 0 seconds to load.");

    // A window closed mid-wait ends the wait and shows nothing more.
    QPointer<frmbrowser> window = w;
    waiter.steps.clear();
    waiter.waits = 0;
    waiter.onEveryWait = [&] { windows.Unload("frmbrowser"); };
    refresh->click();
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(windows.IsLoaded("frmbrowser"));
    EXPECT_EQ(waiter.waits, 1);
}

// The window opens on the ready page; Return in the address box runs the test once; on
// another button it presses that one.
TEST_F(WebTestWindowTest, ReturnRunsTheTestFromTheAddressBox) {
    auto* w = static_cast<frmbrowser*>(windows.Show("frmbrowser"));
    FakeIeEngine* engine = engines.ie;
    auto* address = Child<QLineEdit>(w, "txtURL");
    address->setText("http://127.0.0.1:9/x");
    waiter.onEveryWait = [&] { engine->Complete(); };
    address->setFocus();
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(engine->requests, (std::vector<std::string>{std::string("navigate ") + webtext::kReadyPage + " 0",
                                                          "navigate http://127.0.0.1:9/x 14"}));
    auto* refresh = Child<QPushButton>(w, "btnrefresh");
    refresh->setFocus();
    QTest::keyClick(refresh, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(engine->requests.size(), 3u);
    EXPECT_EQ(engine->requests[2].rfind("refresh", 0), 0u) << engine->requests[2];
}

TEST_F(WebTestWindowTest, FirefoxWindowSwitchesBackAndReportsAMissingFirefox) {
    windows.Show("frmbrowser");
    Trigger(windows.Find("frmbrowser"), "firefoxspeed");
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
