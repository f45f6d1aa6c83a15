// The real engines and the synchronous fetch against the local web server.
#include <gtest/gtest.h>

#include <QDir>
#include <QWidget>
#include <QTemporaryDir>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <cstdlib>

#include "platform/qt/browser_engine_qt.h"
#include "platform/qt/event_pump_qt.h"
#include "platform/qt/event_wait_qt.h"
#include "platform/qt/sync_http_qt.h"
#include "tests/support/fakes.h"
#include "tests/support/local_web_server.h"
#include "tests/support/qt/test_server.h"
#include "tests/support/qt/wait.h"
#include "webtest/timed_load.h"
#include "webtest/web_test_logic.h"
#include "webtest/web_test_texts.h"

namespace brisko::test {
namespace {

// One set of engine profiles for the whole program, in a folder of its own (test
// programs run side by side), ended before the application.
BrowserEnginesQt* g_engines = nullptr;
QTemporaryDir* g_storage = nullptr;
class EnginesEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete g_engines;
        g_engines = nullptr;
        delete g_storage;
        g_storage = nullptr;
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new EnginesEnvironment);

BrowserEnginesQt& Engines() {
    if (!g_engines) {
        g_storage = new QTemporaryDir();
        g_engines = new BrowserEnginesQt((g_storage->path() + "/WebBrowser1").toStdString());
    }
    return *g_engines;
}

std::string MozillaFolder() {
    Engines();
    return (g_storage->path() + "/control/x.slt").toStdString();
}

bool Idle(const BrowserEngine& engine) { return engine.ReadyState() == kReadyStateComplete && !engine.Busy(); }

class EngineTest : public ::testing::Test {
protected:
    WebTestServices Services() {
        WebTestServices s;
        s.clock = &clock;
        s.waiter = &waiter;
        s.pump = &pump;
        s.messages = &messages;
        return s;
    }
    // The load time in the message "This page took X seconds to load.".
    static double SecondsIn(const std::string& message) {
        const std::string prefix = "This page took ";
        if (message.rfind(prefix, 0) != 0) return -1;
        return std::atof(message.c_str() + prefix.size());
    }

    LocalWebServer server;
    SystemClock clock;
    EventWaiterQt waiter;
    EventPumpQt pump;
    FakeMessageBox messages;
};

// The Internet Explorer-style test on the real engine: the ready page shows, and every
// load waits for the late images, which it fetches anew each time (no cache, no history).
TEST_F(EngineTest, InternetExplorerTestTimesDelayedImagesAndNeverReadsTheCache) {
    Status error;
    std::unique_ptr<IeBrowserEngine> engine = Engines().CreateIeEngine(&error);
    ASSERT_TRUE(engine) << error.text;
    auto* view = dynamic_cast<QtEngineView*>(engine.get());
    view->Widget()->show();
    WebTestView window;
    const std::string address = server.Url(LocalWebServer::PagePath(3, 300));
    window.address = [&] { return address; };
    IeWebTest test(*engine, nullptr, Services(), window);
    test.Load();
    ASSERT_TRUE(WaitUntil([&] { return Idle(*engine); }, 30000));
    QString shown;
    view->Page()->toPlainText([&](const QString& text) { shown = text; });
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }));
    EXPECT_TRUE(shown.contains("Ready to test your Web Browsing speed")) << shown.toStdString();

    test.Test();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_GE(SecondsIn(messages.shown[0].text), 0.3) << messages.shown[0].text;
    EXPECT_GE(test.Bar().max, 1);  // the engine's "(N items remaining)" texts came through
    EXPECT_TRUE(Idle(*engine));
    EXPECT_EQ(server.RequestCount("/img/"), 3);

    test.Test();
    test.Refresh();
    ASSERT_EQ(messages.shown.size(), 6u);
    EXPECT_GE(SecondsIn(messages.shown[4].text), 0.3) << messages.shown[4].text;
    EXPECT_EQ(server.RequestCount("/img/"), 9) << "the images were read from a cache";
    EXPECT_FALSE(view->Page()->history()->canGoBack());
}

TEST_F(EngineTest, MozillaEngineReportsTransfersAndRefreshBypassesTheCache) {
    Status error;
    std::unique_ptr<MozillaBrowserEngine> engine = Engines().CreateMozillaEngine(MozillaFolder(), &error);
    ASSERT_TRUE(engine) << error.text;
    SyncHttpQt http;
    WebTestView view;
    std::string address = server.Url(LocalWebServer::PagePath(4, 300));
    view.address = [&] { return address; };
    MozillaWebTest test(*engine, http, Services(), view);
    test.Load();
    ASSERT_TRUE(WaitUntil([&] { return Idle(*engine); }, 30000));

    test.Test();
    ASSERT_EQ(messages.shown.size(), 2u) << messages.shown[0].text;
    EXPECT_GE(SecondsIn(messages.shown[0].text), 0.3) << messages.shown[0].text;
    EXPECT_EQ(test.Bar().max, 4);
    EXPECT_GE(test.TransferCount(), 4);  // one per image at least
    EXPECT_EQ(test.Bar().value, 3);      // one short of Max
    EXPECT_EQ(server.RequestCount("/page"), 2);  // the count, then the timed load

    // The images may be cached for an hour; a complete reload fetches them anyway.
    test.Refresh();
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_EQ(server.RequestCount("/img/"), 8);
    EXPECT_GE(test.TransferCount(), 4);
    EXPECT_TRUE(QDir(QString::fromStdString(MozillaFolder())).exists());
}

// A page that never came is reported with its address and reason, without a time, and
// the next test runs as usual: the test and refresh of both engines.
TEST_F(EngineTest, FailedLoadsAreReportedWithoutATime) {
    const std::string prefix = webtext::kConnectionErrorPrefix;
    const std::string good = server.Url(LocalWebServer::PagePath(1, 0));
    const std::string missing = server.Url("/missing");
    const std::string closed = "http://127.0.0.1:" + std::to_string(LocalWebServer::ClosedPort()) + "/";
    const std::string unknown = "http://brisko-test-nohost.invalid/";
    const std::string failed = server.Url(LocalWebServer::PagePath(1, 0));  // answers 500 on the refresh
    const std::string refused = "-2147012867 A connection with the server could not be established: ";
    const std::string unresolved = "-2147012889 The server name or address could not be resolved: ";
    const struct {
        bool mozilla;
        bool refresh;  // of the page loaded from address, which then fails
        std::string address, message;
    } cases[] = {
        {false, false, closed, prefix + refused + closed},
        {false, false, unknown, prefix + unresolved + unknown},
        {false, false, missing, prefix + "404 The server answered with HTTP status 404: " + missing},
        {false, true, failed, prefix + "500 The server answered with HTTP status 500: " + failed},
        {true, false, unknown, prefix + unresolved + unknown},  // the image count fails first
        {true, false, missing, prefix + "404 The server answered with HTTP status 404: " + missing},
        {true, true, failed, prefix + "500 The server answered with HTTP status 500: " + failed},
    };
    Status error;
    std::unique_ptr<IeBrowserEngine> ieEngine = Engines().CreateIeEngine(&error);
    std::unique_ptr<MozillaBrowserEngine> mozillaEngine = Engines().CreateMozillaEngine(MozillaFolder(), &error);
    ASSERT_TRUE(ieEngine && mozillaEngine);
    SyncHttpQt http;
    std::string address;
    int mainShown = 0;
    WebTestView view;
    view.address = [&] { return address; };
    view.showMain = [&] { ++mainShown; };
    IeWebTest ie(*ieEngine, nullptr, Services(), view);
    MozillaWebTest mozilla(*mozillaEngine, http, Services(), view);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mozilla ? "mozilla " : "ie ") + (c.refresh ? "refresh " : "test ") + c.address);
        WebTestBase& test = c.mozilla ? static_cast<WebTestBase&>(mozilla) : ie;
        const auto press = [&] { c.mozilla ? mozilla.Test() : ie.Test(); };
        address = c.address;
        messages.shown.clear();
        if (c.refresh) {
            press();
            ASSERT_EQ(messages.shown.size(), 2u) << messages.shown[0].text;
            messages.shown.clear();
            server.SetFailAll(true);
            c.mozilla ? mozilla.Refresh() : ie.Refresh();
            server.SetFailAll(false);
        } else {
            press();
        }
        ASSERT_EQ(messages.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(test.LastLoad().outcome, TimedLoadResult::Outcome::Failed);
        EXPECT_FALSE(test.Timing());
    }
    EXPECT_EQ(mainShown, 2);  // only after the loads that the refreshes then repeated

    for (WebTestBase* test : std::initializer_list<WebTestBase*>{&ie, &mozilla}) {
        address = good;
        messages.shown.clear();
        test == &ie ? ie.Test() : mozilla.Test();
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_GE(SecondsIn(messages.shown[0].text), 0) << messages.shown[0].text;
    }
}

TEST_F(EngineTest, SynchronousFetchTakesAnyAnswerAndTimesOut) {
    SyncHttpQt http;
    std::string body;
    EXPECT_TRUE(http.Get(server.Url("/missing"), &body).ok());  // an error status is an answer too
    EXPECT_EQ(body, "<h1>Not found</h1>");
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
