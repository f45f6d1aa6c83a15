// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// web-test from a terminal: the test windows' own timed loads, one after another.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/browser_engine.h"
#include "platform/message_box.h"
#include "webtest/timed_load.h"
#include "webtest/web_test_logic.h"

namespace brisko::cli {

// A window waits for as long as its user does; a script is given an answer after this.
inline constexpr int kLoadLimitSeconds = 120;

// What the test windows would have shown in message boxes, in order.
class RecordedMessages final : public MessageBoxService {
public:
    void Show(const std::string& text, const std::string&, bool) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// Waits, as the window's user does, until the engine shows its first page: a load
// asked for while that page still loads may never be reported complete. False when
// the wait was cancelled.
bool WaitForFirstPage(TimedLoad& wait, const BrowserEngine& engine);

struct LoadSpread {
    double median = 0;
    double fastest = 0;
    double slowest = 0;
    double Spread() const { return slowest - fastest; }
};
// seconds must not be empty.
LoadSpread Summarize(std::vector<double> seconds);

struct WebTestRequest {
    std::string address;
    std::string engine;  // "ie" or "mozilla", for the JSON
    int runs = 1;
    bool json = false;
    std::string decimalPoint = ".";
};

// Presses the test button (press) runs times, as a user of test's window would,
// waiting for each load. Prints each load's message as the window words it, then with
// more than one run the median and the spread; with json one object instead (the
// messages then go to err). A failed load ends it with the window's message on err.
// Returns the exit status.
int RunWebTests(const WebTestBase& test, const std::function<void()>& press, const RecordedMessages& messages,
                const WebTestRequest& request, std::ostream& out, std::ostream& err);

}  // namespace brisko::cli
