// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Network Quality window `quality`: starts and stops a quality run against the
// test server, fills in its figures as they are measured, charts every latency probe
// (idle, under load, on a loaded connection), and says plainly when a run failed and
// in which phase. Opened from the main window's Data Speed Tests menu.
#include <memory>
#include <string>

#include "history/history_file.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/locale.h"
#include "platform/tcp_socket.h"
#include "quality/quality_test.h"
#include "shell/form_window.h"

class QChartView;
class QGroupBox;
class QLabel;
class QPushButton;
class QScatterSeries;
class QValueAxis;

namespace brisko {

// The services the window borrows; whoever builds the window owns them.
struct QualityWindowServices {
    EventLoop* loop = nullptr;
    TcpSocketFactory* sockets = nullptr;
    const Clock* clock = nullptr;
    LocaleService* locale = nullptr;
    HistoryService* history = nullptr;  // gets every run that measured anything; may be null
    // The value of BRISKO_TEST_SERVER ("host[:port]" or "[v6][:port]"); empty for the data test's host.
    std::string serverOverride;
    QualityOptions options;  // length of a phase and streams; host and port come from above
};

// Where the run goes: the data test's server, or the override; problem says why an
// override that is not a server was not used.
struct QualityServerChoice {
    std::string host;
    std::uint16_t port = 80;
    std::string problem;
};
QualityServerChoice ChooseQualityServer(const std::string& serverOverride);

// What the message line says about a run that ended early; empty for a whole run.
std::string QualityFailureText(const QualityResult& result);

class quality final : public FormWindow {
    Q_OBJECT
public:
    explicit quality(const QualityWindowServices& services);
    ~quality() override;

    void StartOrStop();
    const QualityResult& Result() const { return m_test->Result(); }

protected:
    // Closing the window ends the run; what it measured is kept, marked incomplete.
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildControls();
    void Show(const QualityResult& result, bool finished);
    void ShowChart(const QualityResult& result);

    QualityWindowServices m_services;
    std::unique_ptr<QualityTest> m_test;
    QPushButton* m_start = nullptr;
    QLabel* m_phase = nullptr;
    QLabel* m_message = nullptr;
    QGroupBox* m_figures = nullptr;
    QChartView* m_chart = nullptr;
    QScatterSeries* m_idle = nullptr;
    QScatterSeries* m_loaded = nullptr;
    QScatterSeries* m_onLoad = nullptr;
    QValueAxis* m_timeAxis = nullptr;
    QValueAxis* m_msAxis = nullptr;
};

}  // namespace brisko
