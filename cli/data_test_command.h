// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The download test from a terminal: the Data Speed Tests window's own test run,
// shown through a view that prints instead of drawing.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_arguments.h"
#include "cli/progress_line.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/tcp_socket.h"
#include "speedtest/report.h"
#include "speedtest/download_run.h"

namespace brisko::cli {

struct DataTestHooks {
    std::function<void(bool enabled)> setTimer;  // the 500 ms progress timer on or off
    std::function<void()> done;                  // the test has finished or failed
};

class CliDataTest final : private DataTestView, private MessageBoxService {
public:
    static constexpr double kStallSeconds = DataSpeedTest::kStallSeconds;

    CliDataTest(TcpSocket& socket, const Clock& clock, const LocaleService& locale, ProgressLine& progress,
                std::string testUrl, DataTestHooks hooks, double stallSeconds = kStallSeconds,
                HistoryService* history = nullptr);
    ~CliDataTest() override;
    CliDataTest(const CliDataTest&) = delete;
    CliDataTest& operator=(const CliDataTest&) = delete;

    // The unit of the progress line and the results; KB/s, as the window's, until set.
    void SetUnit(SpeedUnit unit) { m_unit = unit; }
    SpeedUnit Unit() const { return m_unit; }

    void Start();
    void OnTimer();  // a tick of the progress timer
    // Called regularly from Start to the end, before the first tick too: ends a
    // test that has stalled.
    void Watch();

    bool Done() const { return m_done; }
    bool Succeeded() const { return m_done && m_failure.empty(); }
    // The message that ended the test, as the window shows it; empty after a success.
    const std::string& Failure() const { return m_failure; }
    const DataSpeedTest& Test() const { return *m_test; }
    const std::string& TestUrl() const { return m_testUrl; }
    // The speed of every tick that showed one, KB/s.
    const std::vector<std::int64_t>& TickSpeeds() const { return m_test->TickSpeeds(); }
    // What a control of the window would show now; empty when never set.
    std::string Text(const std::string& control) const;
    // The same in the unit set: the window's speeds in Mbit/s with mbit, where "Est"
    // (the window's own rough megabits) has nothing to add and is left empty.
    std::string TextInUnit(const std::string& control) const;

private:
    // DataTestView
    void SetText(DataControl control, const std::string& text) override;
    void SetProgressBar(int) override {}
    void SetTimerEnabled(bool enabled) override;
    int TimerInterval() const override { return kTimerIntervalMs; }
    void SetSaveEnabled(bool) override {}
    void SetResultsVisible(bool) override {}
    void SetWindowHeight(int) override {}
    std::string SelectedTestUrl() const override { return m_testUrl; }
    // MessageBoxService
    void Show(const std::string& text, const std::string& title, bool foreground) override;

    void Fail(const std::string& message);
    void End();

    ProgressLine& m_progress;
    std::string m_testUrl;
    DataTestHooks m_hooks;
    std::unique_ptr<DataSpeedTest> m_test;

    SpeedUnit m_unit = SpeedUnit::Kb;
    const LocaleService& m_locale;
    std::map<std::string, std::string> m_texts;
    bool m_done = false;
    std::string m_failure;
};

// The results panel's heading and figures, one per line, with the panel's captions,
// speeds in the test's unit.
std::string ResultsText(const CliDataTest& test);
// {"url", "bytes", "seconds", "average_kb_s", "average_mbit_s", "max_kb_s", "max_mbit_s",
// "min_kb_s", "min_mbit_s", "speeds_kb_s", "speeds_mbit_s"}, whatever the unit.
std::string ResultsJson(const CliDataTest& test);
// The report Save As writes for this test, its comments empty.
ReportFields ResultsReportFields(const CliDataTest& test);

// After the test: prints the results (or the JSON) on out, appends the report when
// reportFile is not empty, and says what failed on err. Returns the exit status.
int FinishDataTest(const CliDataTest& test, const std::string& reportFile, bool json, const LocaleService& locale,
                   std::ostream& out, std::ostream& err);

// After several tests, the median and spread of their average speeds (KB/s) as web-test
// gives its loads': "Median: 1190 KB/s", then "Spread: 40 KB/s (from 1170 to 1210 KB/s)".
std::string SpeedSpreadText(const std::vector<std::int64_t>& averageSpeeds, const std::string& decimalPoint,
                            SpeedUnit unit = SpeedUnit::Kb);

}  // namespace brisko::cli
