// SPDX-License-Identifier: GPL-3.0-or-later
// The test windows' handlers on scripted engines: messages, timing, guards and errors.
#include <gtest/gtest.h>

#include "tests/support/fake_browser_engine.h"
#include "tests/support/fakes.h"
#include "webtest/web_test_logic.h"
#include "webtest/web_test_texts.h"

namespace brisko::test {
namespace {

class WebTestLogic : public ::testing::Test {
protected:
    WebTestServices Services() {
        return {.clock = &clock, .waiter = &waiter, .pump = &pump, .messages = &messages,
                .history = &history};
    }
    WebTestView View() {
        WebTestView v;
        v.address = [this] { return address; };
        v.setTiming = [this](bool timing) { timingChanges.push_back(timing); };
        v.setWaitCursor = [this](bool wait) { cursor.push_back(wait); };
        v.showStatus = [this](const std::string& text) { statusLines.push_back(text); };
        return v;
    }

    FakeClock clock;
    FakeEventWaiter waiter;
    NoEventPump pump;
    FakeMessageBox messages;
    std::string address = "http://127.0.0.1:1/page";
    std::vector<bool> timingChanges;
    std::vector<bool> cursor;
    std::vector<std::string> statusLines;
    FakeHistory history;
};

// A load the engine will not start takes the error path; a timed one is reported in front,
// is set against the same page before the latest boost and is kept; clicks during its wait
// start nothing.
TEST_F(WebTestLogic, TimedTestIsReportedInFrontComparedAndKept) {
    // The page took a second in this engine before a boost; each load is set against that
    // in the status line, the loads after the boost counted too.
    history.Append({0, {}, WebTestRecord{"ie", address, 1}});
    history.Append({0, {}, WebTestRecord{"ie", "http://elsewhere/", 9}});
    history.Append({0, {}, BoostRecord{"boost", {"web.reg"}, {}, {}, {}}});
    FakeIeEngine engine;
    IeWebTest test(engine, nullptr, Services(), View());
    engine.failNext = Status::Fail(-2147221020, "Invalid syntax");
    test.Test();
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{webtext::kConnectionErrorPrefix +
                                                          std::string("-2147221020 Invalid syntax")}));
    messages.shown.clear();

    // The load spans midnight on the time-of-day clock; the monotonic one keeps it positive.
    clock.SetMidnightSeconds(86399.9);
    waiter.steps = {[&] {
                        clock.Advance(0.25);
                        engine.ShowStatus("(3 items remaining) Downloading");
                        test.Test();
                        test.Refresh();
                    },
                    [&] {
                        clock.Advance(0.203125);
                        engine.ShowStatus("(1 items remaining)");
                    },
                    [&] { engine.Complete(); }};
    test.Test();

    EXPECT_EQ(engine.requests.size(), 2u);  // the refused one and this: clicks in the wait start nothing
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"This page took 0.453125 seconds to load.",
                                                          webtext::kApplyBoostMessage}));
    EXPECT_TRUE(messages.shown[0].foreground);
    EXPECT_EQ(messages.shown[0].title, "Brisko");
    EXPECT_EQ(timingChanges, (std::vector<bool>{true, false, true, false}));  // usable after the failure

    // The refresh starts a new count and its message has no final period.
    waiter.steps = {[&] {
                        clock.Advance(2.5);
                        engine.ShowStatus("(2 items remaining)");
                    },
                    [&] { engine.Complete(); }};
    test.Refresh();
    EXPECT_EQ(test.Bar().max, 2);
    EXPECT_EQ(messages.Texts()[2], "This page took 2.5 seconds to load");

    EXPECT_EQ(statusLines, (std::vector<std::string>{
                               "This page across the latest boost: 1 -> 0.45 s (-54.7%, 2 more tests before the "
                               "boost and 4 more after it would let Brisko judge: 1 test each side).",
                               "This page across the latest boost: 1 -> 1.48 s (+47.7%, 2 more tests before the "
                               "boost and 3 more after it would let Brisko judge: 1 test before, 2 after)."}));
    ASSERT_EQ(history.Records().size(), 5u);
    const WebTestRecord* kept = history.Records()[3].Web();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(std::tie(kept->engine, kept->address, kept->seconds), std::make_tuple("ie", address, 0.453125));
}

TEST_F(WebTestLogic, MozillaTestFetchesThePageBeforeTimingAndFailsBeforeAnyLoad) {
    FakeMozillaEngine engine;
    FakeSyncHttp http;
    MozillaWebTest test(engine, http, Services(), View());
    http.result = WinHttpFailure(kWinHttpCannotConnect);
    test.Test();
    EXPECT_TRUE(engine.requests.empty());  // nothing navigated, nothing timed
    EXPECT_EQ(cursor, (std::vector<bool>{true, false}));  // the pointer is back after the failure

    http.result = Status::Ok();
    waiter.steps = {[&] { for (int i = 0; i < 5; ++i) engine.ShowStatus("Transferring data from h"); },
                    [&] { engine.Complete(); }};
    test.Test();
    EXPECT_EQ(test.TransferCount(), 5);

    // The refresh goes blank first, resets the count and reloads completely.
    waiter.steps = {[&] { engine.ShowStatus("Transferring data"); }, [&] { engine.Complete(); }};
    test.Refresh();
    EXPECT_EQ(engine.requests,
              (std::vector<std::string>{"navigate " + address + " 12", "navigate about:blank", "refresh2 3"}));
    EXPECT_EQ(test.TransferCount(), 1);
    EXPECT_EQ(http.fetched, (std::vector<std::string>{address, address}));  // no count for a refresh
    EXPECT_EQ(messages.Texts()[3], "This page took 0 seconds to load");
}

}  // namespace
}  // namespace brisko::test
