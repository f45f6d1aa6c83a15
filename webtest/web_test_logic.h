// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the two web test windows do, apart from their widgets: the timed test, the
// refresh, the external window, and the progress bar fed by the engine's status texts.
#include <functional>
#include <string>

#include "history/history_file.h"
#include "platform/browser_engine.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/event_wait.h"
#include "platform/external_browser.h"
#include "platform/message_box.h"
#include "platform/sync_http.h"
#include "webtest/timed_load.h"
#include "webtest/web_test_rules.h"

namespace brisko {

struct WebTestServices {
    const Clock* clock = nullptr;
    EventWaiter* waiter = nullptr;
    EventPump* pump = nullptr;
    MessageBoxService* messages = nullptr;
    std::string decimalPoint = ".";  // the user's decimal separator
    HistoryService* history = nullptr;  // gets every timed load; may be null
};

// The window side, as callbacks; any may be left empty.
struct WebTestView {
    std::function<std::string()> address;                 // the txtURL text
    std::function<void(const ProgressBarModel&)> showBar;  // ProgressBar1 changed
    std::function<void(bool timing)> setTiming;            // test buttons off while a load is timed
    std::function<void()> showMain;                        // bring the main window forward
    std::function<void(bool wait)> setWaitCursor;          // hourglass during the image count
    // After a timed load: how it compares with the same page before the latest boost.
    std::function<void(const std::string& text)> showStatus;
};

// Shared by both windows: the messages after a timed load and the closing of a window.
class WebTestBase {
public:
    const ProgressBarModel& Bar() const { return m_bar; }
    bool Timing() const { return m_load.Running(); }
    // How the last timed load ended, with its seconds, for front ends that keep them.
    const TimedLoadResult& LastLoad() const { return m_lastLoad; }
    // The window is closing: a wait in progress ends and nothing more is shown.
    void Close();

protected:
    // engine: "ie" or "mozilla", as the history names it.
    WebTestBase(const char* engine, WebTestServices services, WebTestView view);
    std::string Address() const;
    void ShowBar();
    // Runs a timed load with the buttons off, then reports it as the windows do.
    void TimeAndReport(const BrowserEngine& engine, const std::function<Status()>& prepare,
                       const std::function<Status()>& start, bool finalPeriod);
    void Record(float seconds);

    const char* m_engineName;
    WebTestServices m_services;
    WebTestView m_view;
    ProgressBarModel m_bar;
    TimedLoad m_load;
    TimedLoadResult m_lastLoad;
    bool m_closed = false;
};

class IeWebTest final : public WebTestBase {
public:
    // external may be null when no external browser exists.
    IeWebTest(IeBrowserEngine& engine, ExternalBrowser* external, WebTestServices services, WebTestView view);

    void Load();          // shows the ready page
    void Test();          // btnOpenURLInWebbrowserControl
    void Refresh();       // btnrefresh
    void OpenExternal();  // btnExternal
    void OnStatusText(const std::string& text);
    int ItemsRemaining() const { return m_rule.ItemsRemaining(); }

private:
    IeBrowserEngine& m_engine;
    ExternalBrowser* m_external;
    ItemsRemainingRule m_rule;
};

class MozillaWebTest final : public WebTestBase {
public:
    MozillaWebTest(MozillaBrowserEngine& engine, SyncHttpClient& http, WebTestServices services, WebTestView view);

    void Load();     // shows the blank page
    void Test();     // btnOpenURLInWebbrowserControl
    void Refresh();  // btnrefresh
    void OnStatusText(const std::string& text);
    void OnNavigateComplete();
    int TransferCount() const { return m_rule.TransferCount(); }
    // Fetches the page and sets the bar's range from its image count.
    Status CountPageImages(const std::string& address);

private:
    MozillaBrowserEngine& m_engine;
    SyncHttpClient& m_http;
    TransferRule m_rule;
};

}  // namespace brisko
