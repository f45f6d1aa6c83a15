// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The web page load test windows: `frmbrowser` (the Internet Explorer engine) and
// `firebrowser` (the Mozilla engine). Both share one layout; the logic is in web_test_logic.h.
#include <memory>
#include <string>

#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/process_start.h"
#include "platform/registry_read.h"
#include "shell/form_window.h"
#include "webtest/web_test_logic.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;

namespace brisko {

class GradientButton;
class WindowInstances;

// The services the test windows borrow; whoever builds the windows owns them.
struct WebTestWindowServices {
    WindowInstances* windows = nullptr;
    MessageBoxService* messages = nullptr;
    ExternalBrowser* externalBrowser = nullptr;
    const Clock* clock = nullptr;
    EventWaiter* waiter = nullptr;
    EventPump* pump = nullptr;
    LocaleService* locale = nullptr;
    BrowserEngines* browserEngines = nullptr;
    SyncHttpClient* syncHttp = nullptr;          // firebrowser's page fetch
    RegistryReader* registry = nullptr;          // firebrowser: profile and Firefox command
    PathMapper* paths = nullptr;
    ProcessStarter* processes = nullptr;         // firebrowser starts Firefox
    HistoryService* history = nullptr;           // gets every timed load; may be null
};

class WebTestWindow : public FormWindow {
    Q_OBJECT
public:
    virtual const BrowserEngine& Engine() const = 0;

protected:
    WebTestWindow(const WebTestWindowServices& services, const QString& objectName, const QString& caption);

    // Builds the controls around the engine's view; engineView may be null (no view).
    void BuildControls(QWidget* engineView, const char* engineName, const QString& engineLabel,
                       const QString& externalTip);
    WebTestServices Services() const;
    WebTestView View();
    // Says why BRISKO_TEST_SERVER was not used for the first address, if it was not.
    void ReportAddressProblem();
    void closeEvent(QCloseEvent* event) override;
    virtual WebTestBase* Test() = 0;

    WebTestWindowServices m_services;
    QLineEdit* m_txtURL = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QLabel* m_picani = nullptr;  // the status line, shown once a timed load can be compared
    GradientButton* m_btnTest = nullptr;
    GradientButton* m_btnRefresh = nullptr;
    GradientButton* m_btnExternal = nullptr;
    QTimer* m_timer3 = nullptr;
    std::string m_addressProblem;
};

class frmbrowser final : public WebTestWindow {
    Q_OBJECT
public:
    explicit frmbrowser(const WebTestWindowServices& services);
    ~frmbrowser() override;
    IeWebTest* Logic() const { return m_test.get(); }
    const BrowserEngine& Engine() const override { return *m_engine; }

protected:
    WebTestBase* Test() override { return m_test.get(); }

private:
    std::unique_ptr<IeBrowserEngine> m_engine;
    std::unique_ptr<IeWebTest> m_test;
};

class firebrowser final : public WebTestWindow {
    Q_OBJECT
public:
    explicit firebrowser(const WebTestWindowServices& services);
    ~firebrowser() override;
    MozillaWebTest* Logic() const { return m_test.get(); }
    const BrowserEngine& Engine() const override { return *m_engine; }

protected:
    WebTestBase* Test() override { return m_test.get(); }

private:
    std::unique_ptr<MozillaBrowserEngine> m_engine;
    std::unique_ptr<MozillaWebTest> m_test;
};

}  // namespace brisko
