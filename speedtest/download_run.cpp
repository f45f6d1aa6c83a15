// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/download_run.h"

#include <algorithm>
#include <limits>

#include "speedtest/number_format.h"

namespace brisko {

namespace {
constexpr std::int64_t kMaxExact = std::numeric_limits<std::int64_t>::max() / 1000;
}  // namespace

DataSpeedTest::DataSpeedTest(TcpSocket& socket, const Clock& clock, const LocaleService& locale,
                             MessageBoxService& messages, DataTestView& view, HistoryService* history)
    : m_clock(clock),
      m_locale(locale),
      m_messages(messages),
      m_view(view),
      m_history(history),
      m_client(socket, clock, messages, [this] { m_view.SetTimerEnabled(true); }) {
    // A server that ends the connection early ends the test as Stop would.
    m_client.SetOnCutShort([this] { StopTest(); });
}

void DataSpeedTest::OnStartButton() {
    if (m_caption == kStartCaption)
        StartTest();
    else
        StopTest();
}

void DataSpeedTest::SetCaption(const char* caption) {
    m_caption = caption;
    m_view.SetText(DataControl::btnStartTest, caption);
}

std::string DataSpeedTest::Number(double value) const { return FormatGeneral(value, m_locale.DecimalSeparator()); }

void DataSpeedTest::StartTest() {
    m_view.SetSaveEnabled(false);
    // The clock runs from the button press: connecting and the request count too.
    m_startTime = m_clock.MonotonicSeconds();
    m_ticks = 0;
    m_maxSpeed = 0;
    m_view.SetProgressBar(0);
    m_minSpeed = 0;
    // The last test's figures would stand beside an empty bar.
    for (const ControlText& design : kProgressDesignTexts) m_view.SetText(design.control, design.text);
    m_client.ResetReceivedBytes();
    m_lastReceivedBytes = 0;
    m_currentSpeed = 0;
    m_tickSpeeds.clear();
    m_finished = false;
    m_results = {};
    SetCaption(kStopCaption);
    m_view.SetResultsVisible(false);
    m_view.SetWindowHeight(kStartedHeightTwips);
    m_client.Close();
    m_testUrl = m_view.SelectedTestUrl();
    m_client.SetTestUrl(m_testUrl);
    // The watch counts from the press: a server that never answers is a stall too.
    m_seenHeader = m_client.HeaderDone();
    m_seenBytes = m_client.Counters().ReceivedBytes;
    m_seenAt = m_startTime;
    m_client.ConnectToTestServer();
}

void DataSpeedTest::Watch() {
    if (m_caption != kStopCaption || m_finished) return;
    const double now = m_clock.MonotonicSeconds();
    const std::int64_t received = m_client.Counters().ReceivedBytes;
    if (m_client.HeaderDone() != m_seenHeader || received - m_seenBytes >= kProgressBytes) {
        m_seenHeader = m_client.HeaderDone();
        m_seenBytes = received;
        m_seenAt = now;
        return;
    }
    // A complete download only waits for its next tick.
    if (m_client.Complete() || now - m_seenAt < m_stallSeconds) return;
    const std::string seconds = FormatGeneral(static_cast<std::int64_t>(m_stallSeconds)) + " seconds.";
    StopTest();
    m_messages.Show(std::string(kConnectionDownText) + (received == m_seenBytes ? "Nothing has arrived for " + seconds
                                                                               : "Less than 1 KB has arrived in " +
                                                                                     seconds));
}

void DataSpeedTest::StopTest() {
    SetCaption(kStartCaption);
    m_client.Close();
    m_view.SetText(DataControl::lblKBSpeed, "Speed - 0 KB/s");
    m_view.SetTimerEnabled(false);
}

void DataSpeedTest::Shutdown() {
    m_view.SetTimerEnabled(false);
    m_client.Close();
}

void DataSpeedTest::Tick() {
    const DownloadCounters& c = m_client.Counters();
    if (m_client.Complete()) {
        // The results panel now covers the progress panel; it keeps what FinishTest wrote.
        FinishTest();
        return;
    }
    const double elapsed = m_clock.MonotonicSeconds() - m_startTime;
    m_view.SetText(DataControl::lblTime, "Total - " + FormatGeneral(Whole(elapsed)) + " seconds");
    const std::string size = c.TotalBytes == AssumedSize ? "N/A" : FormatGeneral(WholeDiv(c.TotalBytes, 1024));
    m_view.SetText(DataControl::lblTotalSize, "File Size - " + size + " KB");
    m_view.SetText(DataControl::lblkbSoFar, "Downloaded - " + FormatGeneral(WholeDiv(c.ReceivedBytes, 1024)) + " KB");
    const std::int64_t tenths = c.ReceivedBytes <= kMaxExact
                                    ? WholeDiv(c.ReceivedBytes * 1000, c.TotalBytes)
                                    : Whole(static_cast<double>(c.ReceivedBytes) / c.TotalBytes * 1000);
    m_view.SetText(DataControl::lblkbRemaining, "Completed - " + Number(tenths / 10.0) + "%");
    m_view.SetProgressBar(static_cast<int>(std::clamp<std::int64_t>(tenths / 10, 0, 100)));

    // The nominal interval is used, not the time measured between ticks.
    const std::int64_t interval = std::max(1, m_view.TimerInterval());
    const std::int64_t delta = c.ReceivedBytes - m_lastReceivedBytes;
    m_currentSpeed = delta <= kMaxExact ? WholeDiv(delta * 1000, interval * 1024)
                                        : Whole(1000.0 / interval * (delta / 1024.0));
    m_view.SetText(DataControl::lblKBSpeed, "Speed - " + FormatGeneral(m_currentSpeed) + " KB/s");
    m_tickSpeeds.push_back(m_currentSpeed);
    if (m_ticks++ == 0) m_maxSpeed = m_minSpeed = m_currentSpeed;
    m_maxSpeed = std::max(m_maxSpeed, m_currentSpeed);
    m_minSpeed = std::min(m_minSpeed, m_currentSpeed);
    m_view.SetText(DataControl::lblKBMax, "Max - " + FormatGeneral(m_maxSpeed) + " KB/s");
    m_view.SetText(DataControl::lblKBMin, "Min - " + FormatGeneral(m_minSpeed) + " KB/s");
    const std::int64_t average = elapsed > 0 ? Whole(c.ReceivedBytes / elapsed / 1024) : 0;
    m_view.SetText(DataControl::lblKBAvg, "Avg - " + FormatGeneral(average) + " KB/s");
    m_view.SetText(DataControl::lblMBEst, "Est - " + Number(WholeDiv(m_maxSpeed, 64) / 2.0) + " MB/s");
    m_lastReceivedBytes = c.ReceivedBytes;
    Watch();
}

void DataSpeedTest::FinishTest() {
    const DownloadCounters& c = m_client.Counters();
    const double elapsed = m_client.EndTime() - m_startTime;
    const double tenths = Whole(elapsed * 10) / 10.0;
    const std::string seconds = Number(tenths) + " seconds";
    m_view.SetText(DataControl::lblTime, "Total - " + seconds);
    m_view.SetText(DataControl::lblKBSpeed, "Speed - 0 KB/s");
    SetCaption(kStartCaption);
    m_view.SetTimerEnabled(false);
    m_client.Close();
    m_view.SetText(DataControl::lblkbRemaining, "Completed - 100%");
    const std::string size = FormatGeneral(WholeDiv(c.TotalBytes, 1024)) + " KB";
    m_view.SetText(DataControl::lblkbSoFar, "Downloaded - " + size);
    m_view.SetProgressBar(100);
    const std::int64_t average = elapsed > 0 ? Whole(c.TotalBytes / elapsed / 1024) : 0;
    m_view.SetText(DataControl::lblKBAvg, "Avg - " + FormatGeneral(average) + " KB/s");
    m_view.SetSaveEnabled(true);
    m_view.SetResultsVisible(true);
    m_view.SetWindowHeight(kFinishedHeightTwips);
    const std::int64_t maximum = m_ticks ? std::max(m_maxSpeed, average) : average;
    const std::int64_t minimum = m_ticks ? std::min(m_minSpeed, average) : average;
    m_view.SetText(DataControl::lblAverageSpeed, FormatGeneral(average) + " KB/s");
    m_view.SetText(DataControl::lblMaximumSpeed, FormatGeneral(maximum) + " KB/s");
    m_view.SetText(DataControl::lblMinimumSpeed, FormatGeneral(minimum) + " KB/s");
    m_view.SetText(DataControl::lblTotalTime, seconds);
    m_view.SetText(DataControl::lblFileSize, size);
    m_results = {c.TotalBytes, tenths, elapsed, average, maximum, minimum};
    m_finished = true;
    // Recorded before the message: it waits for the user, who may close the window.
    if (m_history)
        m_history->Append(
            {0, {}, DataTestRecord{m_testUrl, c.TotalBytes, tenths, average, maximum, minimum, m_tickSpeeds}});
    m_messages.Show(kDoneText);
}

}  // namespace brisko
