// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/data_test_command.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "cli/cli_arguments.h"
#include "cli/speed_unit.h"
#include "cli/web_test_command.h"
#include "speedtest/download_client.h"
#include "speedtest/number_format.h"

namespace brisko::cli {

CliDataTest::CliDataTest(TcpSocket& socket, const Clock& clock, const LocaleService& locale,
                         ProgressLine& progress, std::string testUrl, DataTestHooks hooks, double stallSeconds,
                         HistoryService* history)
    : m_progress(progress),
      m_testUrl(std::move(testUrl)),
      m_hooks(std::move(hooks)),
      m_locale(locale) {
    DataTestView& view = *this;
    MessageBoxService& messages = *this;
    m_test = std::make_unique<DataSpeedTest>(socket, clock, locale, messages, view, history);
    m_test->SetStallSeconds(stallSeconds);
}

CliDataTest::~CliDataTest() = default;

std::string CliDataTest::Text(const std::string& control) const {
    const auto it = m_texts.find(control);
    return it == m_texts.end() ? std::string() : it->second;
}

std::string CliDataTest::TextInUnit(const std::string& control) const {
    if (m_unit == SpeedUnit::Mbit && control == ControlName(DataControl::lblMBEst)) return {};
    return WindowTextIn(Text(control), m_unit, m_locale.DecimalSeparator());
}

void CliDataTest::SetText(DataControl control, const std::string& text) { m_texts[ControlName(control)] = text; }

void CliDataTest::SetTimerEnabled(bool enabled) {
    if (m_hooks.setTimer) m_hooks.setTimer(enabled);
}

void CliDataTest::Start() {
    m_test->StartTest();
}

void CliDataTest::OnTimer() {
    if (m_done) return;
    m_test->Tick();
    if (m_test->Finished()) {
        End();
        return;
    }
    m_progress.Show(DownloadProgressText([this](const std::string& control) { return TextInUnit(control); }));
}

void CliDataTest::Watch() {
    if (!m_done) m_test->Watch();  // a stall arrives as the window's message
}

void CliDataTest::Show(const std::string& text, const std::string&, bool) {
    // The window's closing message is no failure: the results follow.
    if (text == kDoneText) return;
    Fail(text);
}

void CliDataTest::Fail(const std::string& message) {
    if (m_done) return;
    m_failure = message;
    m_test->Shutdown();
    End();
}

void CliDataTest::End() {
    m_done = true;
    m_progress.End();
    if (m_hooks.done) m_hooks.done();
}

std::string ResultsText(const CliDataTest& test) {
    const std::pair<const char*, const char*> rows[] = {
        {kFileSizeCaption, "lblFileSize"},           {kTotalTimeCaption, "lblTotalTime"},
        {kAverageSpeedCaption, "lblAverageSpeed"}, {kMaximumSpeedCaption, "lblMaximumSpeed"},
        {kMinimumSpeedCaption, "lblMinimumSpeed"},
    };
    std::string text = std::string(kResultsHeading) + "\n";
    for (const auto& [caption, control] : rows) text += std::string(caption) + " " + test.TextInUnit(control) + "\n";
    return text;
}

std::string ResultsJson(const CliDataTest& test) {
    const DataTestResults& r = test.Test().Results();
    std::vector<double> mbit;
    for (std::int64_t speed : test.TickSpeeds()) mbit.push_back(KbToMbit(static_cast<double>(speed)));
    const nlohmann::ordered_json json = {
        {"url", test.TestUrl()},
        {"bytes", r.totalBytes},
        {"seconds", r.elapsedSeconds},
        {"average_kb_s", r.averageSpeed},
        {"average_mbit_s", KbToMbit(static_cast<double>(r.averageSpeed))},
        {"max_kb_s", r.maximumSpeed},
        {"max_mbit_s", KbToMbit(static_cast<double>(r.maximumSpeed))},
        {"min_kb_s", r.minimumSpeed},
        {"min_mbit_s", KbToMbit(static_cast<double>(r.minimumSpeed))},
        {"speeds_kb_s", test.TickSpeeds()},
        {"speeds_mbit_s", mbit},
    };
    // The address comes from the environment: bytes that are not UTF-8 must not end the output.
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

ReportFields ResultsReportFields(const CliDataTest& test) {
    // txtComments has never been set, so the comment stays empty.
    return ReadReportFields([&test](const std::string& control) { return test.Text(control); });
}

int FinishDataTest(const CliDataTest& test, const std::string& reportFile, bool json, const LocaleService& locale,
                   std::ostream& out, std::ostream& err) {
    if (!test.Succeeded()) {
        err << (test.Failure().empty() ? std::string("The test did not finish.") : test.Failure()) << '\n';
        return kExitFailed;
    }
    out << (json ? ResultsJson(test) : ResultsText(test)) << std::flush;
    if (reportFile.empty()) return kExitOk;
    const Status written = AppendToFile(
        reportFile, BuildReport(ResultsReportFields(test), locale.ShortDateToday(), locale.LongTimeNow()));
    if (!written.ok()) {
        err << ReportNotSavedText(reportFile, written) << '\n';
        return kExitFailed;
    }
    if (!json) out << kSavedText << '\n';
    return kExitOk;
}

std::string SpeedSpreadText(const std::vector<std::int64_t>& averageSpeeds, const std::string& decimalPoint,
                            SpeedUnit unit) {
    const LoadSpread s = Summarize(std::vector<double>(averageSpeeds.begin(), averageSpeeds.end()));
    // The median of two whole KB/s may end in .5, and shows so.
    const auto number = [&](double kb) {
        return unit == SpeedUnit::Kb ? FormatGeneral(kb, decimalPoint) : KbSpeedText(kb, unit, decimalPoint, false);
    };
    const std::string suffix = unit == SpeedUnit::Kb ? " KB/s" : " Mbit/s";
    // fastest and slowest: the smallest and the largest figure.
    return "Median: " + number(s.median) + suffix + "\nSpread: " + number(s.Spread()) + suffix + " (from " +
           number(s.fastest) + " to " + number(s.slowest) + suffix + ")\n";
}

}  // namespace brisko::cli
