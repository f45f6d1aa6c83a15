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
#include "tests/support/fake_message_box.h"
#include "tests/support/local_web_server.h"
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
    std::vector<std::string> texts;
};

TEST_F(EngineTest, InternetExplorerEngineTimesDelayedPartsAndNeverReadsTheCache) {
    Status error;
    std::unique_ptr<IeBrowserEngine> engine = Engines().CreateIeEngine(&error);
    ASSERT_TRUE(engine) << error.text;
    TimedLoad load(clock, waiter);
    BrowserEngineEvents events;
    events.statusTextChange = [&](const std::string& t) { texts.push_back(t); load.EngineEvent(); };
    int downloads = 0;
    events.downloadComplete = [&] { ++downloads; load.EngineEvent(); };
    engine->SetEvents(events);
    dynamic_cast<QtEngineView*>(engine.get())->Widget()->show();

    const std::string page = server.Url(LocalWebServer::PagePath(3, 400));
    for (int run = 1; run <= 2; ++run) {
        texts.clear();
        const TimedLoadResult result = load.Run(*engine, {}, [&] {
            return engine->Navigate(page, kNavNoHistory | kNavNoReadFromCache | kNavNoWriteToCache);
        });
        ASSERT_EQ(result.outcome, TimedLoadResult::Outcome::Completed);
        EXPECT_GE(result.seconds, 0.4f);
        EXPECT_TRUE(Idle(*engine));
        EXPECT_EQ(server.RequestCount("/img/"), 3 * run) << "the images were fetched again";
        bool counted = false;
        for (const auto& t : texts) counted |= t.find(" items remaining)") != std::string::npos && t[0] == '(';
        EXPECT_TRUE(counted) << "no item count among " << texts.size() << " texts";
        EXPECT_EQ(texts.back(), "Done");
    }
    EXPECT_GE(downloads, 2);
    auto* view = dynamic_cast<QtEngineView*>(engine.get());
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->Page()->history()->canGoBack());  // no history kept
}

TEST_F(EngineTest, InternetExplorerWindowLogicShowsTheReadyPageAndReportsTheTime) {
    Status error;
    std::unique_ptr<IeBrowserEngine> engine = Engines().CreateIeEngine(&error);
    WebTestView view;
    std::string address = server.Url(LocalWebServer::PagePath(2, 300));
    view.address = [&] { return address; };
    IeWebTest test(*engine, nullptr, Services(), view);
    test.Load();
    ASSERT_TRUE(WaitUntil([&] { return Idle(*engine); }, 30000));
    QString shown;
    auto* page = dynamic_cast<QtEngineView*>(engine.get())->Page();
    page->toPlainText([&](const QString& text) { shown = text; });
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }));
    EXPECT_TRUE(shown.contains("Ready to test your Web Browsing speed")) << shown.toStdString();

    test.Test();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_GE(SecondsIn(messages.shown[0].text), 0.3) << messages.shown[0].text;
    EXPECT_EQ(messages.shown[0].text.substr(messages.shown[0].text.size() - 17), " seconds to load.");
    EXPECT_GE(test.Bar().max, 1);
    EXPECT_EQ(server.RequestCount("/img/"), 2);

    test.Refresh();
    ASSERT_EQ(messages.shown.size(), 4u);
    EXPECT_GE(SecondsIn(messages.shown[2].text), 0.3) << messages.shown[2].text;
    EXPECT_EQ(server.RequestCount("/img/"), 4);
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

TEST_F(EngineTest, UnreachableAddressEndsTheMozillaTestBeforeAnyTiming) {
    Status error;
    std::unique_ptr<MozillaBrowserEngine> engine = Engines().CreateMozillaEngine(MozillaFolder(), &error);
    SyncHttpQt http;
    WebTestView view;
    const std::string address = "http://127.0.0.1:" + std::to_string(LocalWebServer::ClosedPort()) + "/";
    view.address = [&] { return address; };
    std::vector<bool> cursor;
    view.setWaitCursor = [&](bool wait) { cursor.push_back(wait); };
    MozillaWebTest test(*engine, http, Services(), view);
    test.Test();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Error. Your Internet connection may be down. -2147012867 A connection with the server could not "
              "be established: " + address);
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
    EXPECT_EQ(engine->ReadyState(), kReadyStateUninitialized);  // never asked to load
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
    EXPECT_TRUE(http.Get(server.Url("/fail"), &body).ok());
    EXPECT_EQ(body, "<h1>Server error</h1>");
    server.SetPage("/pics", "<IMG><img>");
    ASSERT_TRUE(http.Get(server.Url("/pics"), &body).ok());
    EXPECT_EQ(body, "<IMG><img>");

    HttpTimeouts quick{100, 100, 100};
    SyncHttpQt impatient(quick);
    const Status timedOut = impatient.Get(server.Url("/hang"), &body);
    EXPECT_EQ(timedOut.code, WinHttpErrorNumber(kWinHttpTimeout));
    EXPECT_EQ(timedOut.text, "The operation timed out");
    EXPECT_EQ(http.Get("ftp://127.0.0.1/x", &body).code, WinHttpErrorNumber(kWinHttpUnrecognizedScheme));
    EXPECT_EQ(http.Get("not an address", &body).code, WinHttpErrorNumber(kWinHttpInvalidUrl));
}

}  // namespace
}  // namespace brisko::test
