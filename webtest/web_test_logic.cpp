// SPDX-License-Identifier: GPL-3.0-or-later
#include "webtest/web_test_logic.h"

#include <cstdlib>

#include "history/history_summary.h"
#include "webtest/web_test_texts.h"

namespace brisko {

WebTestBase::WebTestBase(const char* engine, WebTestServices services, WebTestView view)
    : m_engineName(engine),
      m_services(std::move(services)), m_view(std::move(view)), m_load(*m_services.clock, *m_services.waiter) {}

void WebTestBase::Close() {
    m_closed = true;
    m_load.Cancel();
}

std::string WebTestBase::Address() const { return m_view.address ? m_view.address() : std::string(); }

void WebTestBase::ShowBar() {
    if (m_view.showBar && !m_closed) m_view.showBar(m_bar);
}

void WebTestBase::TimeAndReport(const BrowserEngine& engine, const std::function<Status()>& prepare,
                                const std::function<Status()>& start, bool finalPeriod) {
    m_lastLoad = {};  // refused, until a load has run
    if (m_load.Running() || m_closed) return;
    if (m_view.setTiming) m_view.setTiming(true);
    const TimedLoadResult result = m_load.Run(engine, prepare, start);
    m_lastLoad = result;
    if (m_closed || result.outcome == TimedLoadResult::Outcome::Cancelled) return;
    if (m_view.setTiming) m_view.setTiming(false);
    MessageBoxService& messages = *m_services.messages;
    if (result.outcome == TimedLoadResult::Outcome::Failed) {
        messages.Show(ConnectionErrorMessage(result.error));
        return;
    }
    if (result.outcome != TimedLoadResult::Outcome::Completed) return;
    Record(result.seconds);
    messages.Show(LoadTimeMessage(result.seconds, finalPeriod, m_services.decimalPoint), kAppTitle, true);
    messages.Show(webtext::kApplyBoostMessage);
    if (m_view.showMain && !m_closed) m_view.showMain();
}

void WebTestBase::Record(float seconds) {
    HistoryService* history = m_services.history;
    if (!history) return;
    // The seconds as the message shows them, so the history agrees with what was seen.
    const double shown = std::strtod(FormatSingle(seconds, ".").c_str(), nullptr);
    const std::string address = Address();
    const HistoryRead earlier = history->Read();
    std::string status = LoadComparison(earlier.records, m_engineName, address, shown, m_services.decimalPoint);
    const Status added = history->Append({0, {}, WebTestRecord{m_engineName, address, shown}});
    if (!added.ok()) status += " This load could not be added to the history: " + added.text;
    if (m_view.showStatus && !m_closed) m_view.showStatus(status);
}

IeWebTest::IeWebTest(IeBrowserEngine& engine, ExternalBrowser* external, WebTestServices services, WebTestView view)
    : WebTestBase("ie", std::move(services), std::move(view)), m_engine(engine), m_external(external) {
    BrowserEngineEvents events;
    events.statusTextChange = [this](const std::string& text) { OnStatusText(text); };
    events.downloadComplete = [this] { m_load.EngineEvent(); };
    m_engine.SetEvents(std::move(events));
}

void IeWebTest::Load() {
    m_engine.Navigate(webtext::kReadyPage);
    m_services.pump->PumpOnce();
}

void IeWebTest::Test() {
    TimeAndReport(
        m_engine, [this] { m_rule.Reset(); return Status::Ok(); },
        [this] { return m_engine.Navigate(Address(), kNavNoHistory | kNavNoReadFromCache | kNavNoWriteToCache); },
        true);
}

void IeWebTest::Refresh() {
    TimeAndReport(
        m_engine, [this] { m_rule.Reset(); return Status::Ok(); }, [this] { return m_engine.Refresh(); }, false);
}

void IeWebTest::OpenExternal() {
    if (m_closed || !m_external) return;
    Status error;
    std::unique_ptr<ExternalBrowserWindow> window = m_external->Create(&error);
    if (!window && error.ok()) error = Status::Fail(-1, "The web browser could not be started.");
    if (window) error = window->SetVisible(true);
    m_rule.Reset();
    if (error.ok()) error = window->Navigate(Address());
    if (!error.ok()) {
        m_services.messages->Show(std::string(webtext::kExternalErrorPrefix) + std::to_string(error.code) + " " +
                                  error.text);
        return;
    }
    // While a load is being timed the window opens all the same, without waiting for it.
    if (!m_load.Running())
        m_load.WaitUntil([&] { return !window->Busy() && window->ReadyState() == kReadyStateComplete; });
}  // the external window stays open on its own

void IeWebTest::OnStatusText(const std::string& text) {
    if (m_rule.Apply(text, m_bar)) ShowBar();
    m_load.EngineEvent();
}

MozillaWebTest::MozillaWebTest(MozillaBrowserEngine& engine, SyncHttpClient& http, WebTestServices services,
                               WebTestView view)
    : WebTestBase("mozilla", std::move(services), std::move(view)), m_engine(engine), m_http(http) {
    BrowserEngineEvents events;
    events.statusTextChange = [this](const std::string& text) { OnStatusText(text); };
    events.navigateComplete2 = [this](const std::string&) { OnNavigateComplete(); };
    m_engine.SetEvents(std::move(events));
}

void MozillaWebTest::Load() { m_engine.Navigate(webtext::kBlankPage); }

Status MozillaWebTest::CountPageImages(const std::string& address) {
    if (m_view.setWaitCursor) m_view.setWaitCursor(true);
    std::string text;
    const Status status = m_http.Get(address, &text);
    if (m_view.setWaitCursor && !m_closed) m_view.setWaitCursor(false);
    if (!status.ok()) return PageLoadFailure(status, address);
    ApplyImageCount(CountImageTags(text), m_bar);
    ShowBar();
    return Status::Ok();
}

void MozillaWebTest::Test() {
    TimeAndReport(
        m_engine,
        [this] {
            const Status counted = CountPageImages(Address());
            if (counted.ok()) m_services.pump->PumpOnce();
            return counted;
        },
        // From the network, as the button's tip promises: the page and its parts may
        // still lie in the engine's cache from the last load.
        [this] { return m_engine.Navigate(Address(), kNavNoReadFromCache | kNavNoWriteToCache); }, true);
}

void MozillaWebTest::Refresh() {
    TimeAndReport(
        m_engine,
        [this] {
            const Status blank = m_engine.Navigate(webtext::kBlankPage);
            m_rule.Reset();
            return blank;
        },
        [this] { return m_engine.Refresh2(kRefreshCompletely); }, false);
}

void MozillaWebTest::OnStatusText(const std::string& text) {
    if (m_rule.Apply(text, m_bar)) ShowBar();
    m_load.EngineEvent();
}

void MozillaWebTest::OnNavigateComplete() {
    ApplyNavigateComplete(m_bar);
    ShowBar();
    m_load.EngineEvent();
}

}  // namespace brisko
