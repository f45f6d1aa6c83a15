// SPDX-License-Identifier: GPL-3.0-or-later
// The real engines and the synchronous fetch against brisko-testserver.
#include <gtest/gtest.h>

#include <QDir>
#include <QWidget>
#include <QTemporaryDir>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <cstdio>
#include <optional>

#include "platform/qt/browser_engine_qt.h"
#include "platform/qt/event_pump_qt.h"
#include "platform/qt/event_wait_qt.h"
#include "platform/qt/sync_http_qt.h"
#include "tests/support/fakes.h"
#include "tests/support/qt/test_server.h"
#include "tests/support/qt/wait.h"
#include "webtest/timed_load.h"
#include "webtest/web_test_logic.h"
#include "webtest/web_test_texts.h"

namespace brisko::test {
namespace {

// One set of engine profiles for the whole program, in a folder of its own (test
// programs run side by side), ended before the application.
struct Profiles {
    QTemporaryDir storage;
    BrowserEnginesQt engines{(storage.path() + "/WebBrowser1").toStdString()};
    std::string mozillaFolder = (storage.path() + "/control/x.slt").toStdString();
};
std::unique_ptr<Profiles> g_profiles;
class EnginesEnvironment : public ::testing::Environment {
    void SetUp() override { g_profiles = std::make_unique<Profiles>(); }
    void TearDown() override { g_profiles.reset(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new EnginesEnvironment);

bool Idle(const BrowserEngine& e) { return e.ReadyState() == kReadyStateComplete && !e.Busy(); }

class EngineTest : public ::testing::Test {
protected:
    EngineTest() { view.address = [this] { return address; }; }
    void SetUp() override { ASSERT_TRUE(ie && mozilla) << error.text; }
    WebTestServices Services() { return {&clock, &waiter, &pump, &messages}; }
    // The load time in the message "This page took X seconds to load.".
    static double SecondsIn(const std::string& message) {
        double seconds = -1;
        return std::sscanf(message.c_str(), "This page took %lf", &seconds) == 1 ? seconds : -1;
    }
    std::string Url(const std::string& path) {
        return "http://" + server->Address().toStdString() + path;
    }
    int Requests(const QString& what) { return server->Log().count("GET " + what); }
    // The server anew on the same port, with these options.
    void Restart(const QStringList& options) {
        const QString port = QString::number(server->Port());
        server.emplace(QStringList{"--port", port} + options);
        ASSERT_TRUE(server->Started());
    }

    std::optional<TestServerProcess> server{std::in_place};
    SystemClock clock;
    EventWaiterQt waiter;
    EventPumpQt pump;
    FakeMessageBox messages;
    SyncHttpQt http;
    Status error;
    std::unique_ptr<IeBrowserEngine> ie = g_profiles->engines.CreateIeEngine(&error);
    std::unique_ptr<MozillaBrowserEngine> mozilla =
        g_profiles->engines.CreateMozillaEngine(g_profiles->mozillaFolder, &error);
    std::string address;
    WebTestView view;
};

// The Internet Explorer-style test on the real engine: the ready page shows, and every
// load waits for the late images, which it fetches anew each time though it may keep
// them for an hour (no cache, no history).
TEST_F(EngineTest, InternetExplorerTestTimesDelayedImagesAndNeverReadsTheCache) {
    auto* engineView = dynamic_cast<QtEngineView*>(ie.get());
    engineView->Widget()->show();
    address = Url("/default.html?images=3&delay=300&max-age=3600");
    IeWebTest test(*ie, nullptr, Services(), view);
    test.Load();
    ASSERT_TRUE(WaitUntil([&] { return Idle(*ie); }, 30000));
    QString shown;
    engineView->Page()->toPlainText([&](const QString& text) { shown = text; });
    EXPECT_TRUE(WaitUntil([&] { return shown.contains("Ready to test your Web Browsing speed"); }))
        << shown.toStdString();

    test.Test();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_GE(SecondsIn(messages.shown[0].text), 0.3) << messages.shown[0].text;
    EXPECT_LE(test.Bar().max, 3);  // 100 until the engine's first "(N items remaining)"

    test.Test();
    test.Refresh();
    ASSERT_EQ(messages.shown.size(), 6u);
    EXPECT_GE(SecondsIn(messages.shown[4].text), 0.3) << messages.shown[4].text;
    EXPECT_EQ(Requests("/images/"), 9) << "the images were read from a cache";
    EXPECT_FALSE(engineView->Page()->history()->canGoBack());
}

TEST_F(EngineTest, MozillaEngineReportsTransfersAndRefreshBypassesTheCache) {
    address = Url("/default.html?images=4&delay=300&max-age=3600");
    MozillaWebTest test(*mozilla, http, Services(), view);
    test.Load();
    ASSERT_TRUE(WaitUntil([&] { return Idle(*mozilla); }, 30000));

    test.Test();
    ASSERT_EQ(messages.shown.size(), 2u) << messages.shown[0].text;
    EXPECT_GE(SecondsIn(messages.shown[0].text), 0.3) << messages.shown[0].text;
    EXPECT_EQ(test.Bar().max, 4);
    EXPECT_GE(test.TransferCount(), 4);  // one per image at least

    // The images may be cached for an hour; a complete reload fetches them anyway.
    test.Refresh();
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(Requests("/images/"), 8);
    EXPECT_TRUE(QDir(QString::fromStdString(g_profiles->mozillaFolder)).exists());
}

// A page that never came is reported with its address and reason, without a time, and
// the next test runs as usual (the good load before each refresh): both engines.
TEST_F(EngineTest, FailedLoadsAreReportedWithoutATime) {
    const std::string prefix = webtext::kConnectionErrorPrefix;
    const std::string good = Url("/default.html?images=1&delay=0");
    const std::string missing = Url("/missing");
    const std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";
    const std::string unknown = "http://brisko-test-nohost.invalid/";
    const std::string refused = "-2147012867 A connection with the server could not be established: ";
    const std::string unresolved = "-2147012889 The server name or address could not be resolved: ";
    const struct {
        bool mozilla;
        bool refresh;  // of the page loaded from address, which the server then answers with 500
        std::string address, message;
    } cases[] = {
        {false, false, closed, prefix + refused + closed},
        {false, false, unknown, prefix + unresolved + unknown},
        {false, false, missing, prefix + "404 The server answered with HTTP status 404: " + missing},
        {false, true, good, prefix + "500 The server answered with HTTP status 500: " + good},
        {true, false, unknown, prefix + unresolved + unknown},  // the image count fails first
        {true, false, missing, prefix + "404 The server answered with HTTP status 404: " + missing},
        {true, true, good, prefix + "500 The server answered with HTTP status 500: " + good},
    };
    int mainShown = 0;
    view.showMain = [&] { ++mainShown; };
    IeWebTest ieTest(*ie, nullptr, Services(), view);
    MozillaWebTest mozillaTest(*mozilla, http, Services(), view);
    const auto press = [&](bool onMozilla) {
        messages.shown.clear();
        onMozilla ? mozillaTest.Test() : ieTest.Test();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mozilla ? "mozilla " : "ie ") + (c.refresh ? "refresh " : "") + c.address);
        address = c.address;
        press(c.mozilla);
        if (c.refresh) {
            ASSERT_EQ(messages.shown.size(), 2u) << messages.shown[0].text;
            EXPECT_GE(SecondsIn(messages.shown[0].text), 0) << messages.shown[0].text;
            messages.shown.clear();
            Restart({"--status", "500"});
            c.mozilla ? mozillaTest.Refresh() : ieTest.Refresh();
            Restart({});
        }
        ASSERT_EQ(messages.Texts(), std::vector<std::string>{c.message});
        const WebTestBase& test = c.mozilla ? static_cast<WebTestBase&>(mozillaTest) : ieTest;
        EXPECT_EQ(test.LastLoad().outcome, TimedLoadResult::Outcome::Failed);
        EXPECT_FALSE(test.Timing());
    }
    EXPECT_EQ(mainShown, 2);  // only after the loads that the refreshes then repeated
}

TEST_F(EngineTest, SynchronousFetchTakesAnyAnswerAndTimesOut) {
    std::string body;
    EXPECT_TRUE(http.Get(Url("/missing"), &body).ok());  // an error status is an answer too
    EXPECT_EQ(body, "404 Not Found\r\n");
    TestServerProcess silent({"--silent"});
    ASSERT_TRUE(silent.Started());
    SyncHttpQt impatient(HttpTimeouts{100, 100, 100});
    const Status timedOut = impatient.Get("http://" + silent.Address().toStdString() + "/", &body);
    EXPECT_EQ(timedOut.code, WinHttpErrorNumber(kWinHttpTimeout));
    EXPECT_EQ(timedOut.text, "The operation timed out");
    EXPECT_EQ(http.Get("ftp://127.0.0.1/x", &body).code, WinHttpErrorNumber(kWinHttpUnrecognizedScheme));
    EXPECT_EQ(http.Get("not an address", &body).code, WinHttpErrorNumber(kWinHttpInvalidUrl));
}

}  // namespace
}  // namespace brisko::test
