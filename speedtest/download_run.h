// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The download test run: start, stop, the progress tick and the final figures. It
// drives a view (the Data Speed Tests window, or a terminal).
#include <cstdint>
#include <string>
#include <vector>

#include "history/history_file.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/tcp_socket.h"
#include "speedtest/download_client.h"

namespace brisko {

inline constexpr int kTimerIntervalMs = 500;
inline constexpr int kStartedHeightTwips = 5500;
inline constexpr int kFinishedHeightTwips = 6820;

inline constexpr const char* kStartCaption = "Test Data Speed";
inline constexpr const char* kStopCaption = "Stop";
inline constexpr const char* kDoneText = "Done! You can Save and/or Print the results by going to the Main menu.";

// The controls whose text the test run sets, named as the window names them.
enum class DataControl {
    lblTotalSize, lblTime, lblMBEst, lblkbSoFar, lblKBSpeed, lblKBMax, lblkbRemaining, lblKBAvg, lblKBMin,
    lblAverageSpeed, lblMaximumSpeed, lblMinimumSpeed, lblTotalTime, lblFileSize, btnStartTest,
};
inline constexpr const char* kDataControlNames[] = {
    "lblTotalSize", "lblTime", "lblMBEst", "lblkbSoFar", "lblKBSpeed", "lblKBMax", "lblkbRemaining", "lblKBAvg",
    "lblKBMin", "lblAverageSpeed", "lblMaximumSpeed", "lblMinimumSpeed", "lblTotalTime", "lblFileSize",
    "btnStartTest",
};
inline const char* ControlName(DataControl control) { return kDataControlNames[static_cast<int>(control)]; }

// The progress panel as designed; a new test starts from it.
struct ControlText {
    DataControl control;
    const char* text;
};
inline constexpr ControlText kProgressDesignTexts[] = {
    {DataControl::lblTotalSize, "File Size - 0 KB"}, {DataControl::lblTime, "Total - N/A"},
    {DataControl::lblMBEst, "Est - 0 MB/s"},         {DataControl::lblkbSoFar, "Downloaded - 0 KB"},
    {DataControl::lblKBSpeed, "Current - 0 KB/s"},   {DataControl::lblKBMax, "Max - 0 KB/s"},
    {DataControl::lblkbRemaining, "Complete - 0%"},  {DataControl::lblKBAvg, "Avg - 0 KB/s"},
    {DataControl::lblKBMin, "Min - 0 KB/s"},
};

class DataTestView {
public:
    virtual ~DataTestView() = default;
    virtual void SetText(DataControl control, const std::string& text) = 0;
    virtual void SetProgressBar(int value) = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual int TimerInterval() const = 0;  // milliseconds
    virtual void SetSaveEnabled(bool enabled) = 0;
    virtual void SetResultsVisible(bool visible) = 0;
    virtual void SetWindowHeight(int twips) = 0;
    // The tag of the selected test option: "host/path".
    virtual std::string SelectedTestUrl() const = 0;
};

// The final figures of a finished test, as numbers; the results panel shows them as text.
struct DataTestResults {
    std::int64_t totalBytes = 0;
    double seconds = 0;  // elapsed time in whole tenths, cut, not rounded
    double elapsedSeconds = 0;  // the same time as measured, for front ends that keep figures
    std::int64_t averageSpeed = 0;  // KB/s
    std::int64_t maximumSpeed = 0;
    std::int64_t minimumSpeed = 0;
};

class DataSpeedTest {
public:
    // history, when given, gets every finished test.
    DataSpeedTest(TcpSocket& socket, const Clock& clock, const LocaleService& locale, MessageBoxService& messages,
                  DataTestView& view, HistoryService* history = nullptr);

    // Click of btnStartTest: starts when its caption says so, otherwise stops.
    void OnStartButton();
    void StartTest();
    void StopTest();
    void Tick();  // the progress timer; watches for a stall too
    // Nobody may be there to press Stop: a running test during which neither the header
    // nor a whole KB more has arrived for this long ends as a connection that went down.
    // A byte now and then keeps no download going.
    static constexpr double kStallSeconds = 60;
    static constexpr std::int64_t kProgressBytes = 1024;
    void SetStallSeconds(double seconds) { m_stallSeconds = seconds; }
    // Called regularly while a test runs, connecting included: ends a stalled test.
    void Watch();
    // The window is going away: the download ends with it.
    void Shutdown();

    const DownloadClient& Client() const { return m_client; }
    const std::string& ButtonCaption() const { return m_caption; }
    std::int64_t CurrentSpeed() const { return m_currentSpeed; }
    bool Finished() const { return m_finished; }
    // Valid once Finished(). Max and min are the ticks' extremes, widened to take in
    // the average (connecting counts in it, and the last part of a download is never
    // ticked); with no tick at all both are the average.
    const DataTestResults& Results() const { return m_results; }
    // The speed of every tick that showed one, KB/s.
    const std::vector<std::int64_t>& TickSpeeds() const { return m_tickSpeeds; }

private:
    void FinishTest();
    void SetCaption(const char* caption);
    std::string Number(double value) const;

    const Clock& m_clock;
    const LocaleService& m_locale;
    MessageBoxService& m_messages;
    DataTestView& m_view;
    HistoryService* m_history;
    DownloadClient m_client;
    std::string m_testUrl;

    std::string m_caption = kStartCaption;
    double m_startTime = 0;  // monotonic seconds
    // Interval speeds in KB/s over the ticks so far: a fast link passes 32,767 easily.
    int m_ticks = 0;
    std::int64_t m_maxSpeed = 0;
    std::int64_t m_minSpeed = 0;
    std::int64_t m_currentSpeed = 0;
    std::int64_t m_lastReceivedBytes = 0;
    std::vector<std::int64_t> m_tickSpeeds;
    bool m_finished = false;
    DataTestResults m_results;
    // The stall watch's last sight of progress.
    double m_stallSeconds = kStallSeconds;
    bool m_seenHeader = false;
    std::int64_t m_seenBytes = 0;
    double m_seenAt = 0;
};

}  // namespace brisko
