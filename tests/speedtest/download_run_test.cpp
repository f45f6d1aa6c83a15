// SPDX-License-Identifier: GPL-3.0-or-later
// The download test run, through the terminal's view of it: the figures of the ticks and
// of the whole file, and how a terminal run ends when the server fails it.
#include "speedtest/download_run.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/data_test_command.h"
#include "cli/progress_line.h"
#include "platform/open_file.h"
#include "speedtest/number_format.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

using Texts = std::map<std::string, std::string>;

std::string Header(std::int64_t size) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " + std::to_string(size) +
           "\r\n\r\n";
}

// A run against a socket and clock the test moves by hand.
struct Rig {
    // Presses the button; the server answers with the header only.
    void Begin(const std::string& header = Header(4194304)) {
        test.Start();
        socket.Accept();
        if (!header.empty()) socket.Arrive(header);
    }
    // One timer period in which bytes arrive; the tick and the watchdog follow.
    void Interval(std::int64_t bytes) {
        clock.Advance(0.5);
        if (bytes) socket.ArriveCounted(static_cast<std::uint64_t>(bytes));
        if (timerOn) test.OnTimer();
        test.Watch();
    }
    void ExpectTexts(const Texts& expected) const {
        for (const auto& [control, text] : expected) EXPECT_EQ(test.Text(control), text) << control;
    }

    FakeTcpSocket socket;
    FakeClock clock;
    FakeLocale locale;
    FakeHistory history;
    std::ostringstream progressOut;
    cli::ProgressLine progress{progressOut, false};
    bool timerOn = false;
    int doneCalls = 0;
    cli::CliDataTest test{socket, clock, locale, progress, "files.example/4MB.bin",
                          {[this](bool on) { timerOn = on; }, [this] { ++doneCalls; }},
                          cli::CliDataTest::kStallSeconds, &history};
};

// Bytes arriving in each half second, and what the labels then say.
TEST(DataSpeedTest, TicksShowTheProgressTexts) {
    const struct {
        const char* what;
        std::int64_t size;  // announced; 0: none
        std::vector<std::int64_t> intervals;
        Texts texts;
        const char* separator = ".";
    } cases[] = {
        {"first tick", 4194304, {600000}, {{"lblKBSpeed", "Speed - 1171 KB/s"}, {"lblTime", "Total - 0 seconds"}}},
        {"second tick", 4194304, {600000, 634567},
         {{"lblTotalSize", "File Size - 4096 KB"}, {"lblkbSoFar", "Downloaded - 1205 KB"},
          {"lblkbRemaining", "Completed - 29.4%"}, {"lblTime", "Total - 1 seconds"}, {"lblKBAvg", "Avg - 1205 KB/s"},
          {"lblKBMax", "Max - 1239 KB/s"}, {"lblKBMin", "Min - 1171 KB/s"}, {"lblMBEst", "Est - 9.5 MB/s"}}},
        {"the user's decimal separator", 4194304, {1234567},
         {{"lblkbRemaining", "Completed - 29,4%"}, {"lblMBEst", "Est - 18,5 MB/s"}}, ","},
        // The estimate is the maximum in half megabits, cut.
        {"estimate", 1'000'000'000, {127 * 512}, {{"lblMBEst", "Est - 0.5 MB/s"}}},
        // The extremes are those of the ticks so far, past 32,767 KB/s; an empty interval is a minimum of zero.
        {"ticks all faster than 10 MB/s", 1'000'000'000, {60 << 20, 6 << 20},
         {{"lblKBMin", "Min - 12288 KB/s"}, {"lblKBMax", "Max - 122880 KB/s"}}},
        {"fast ticks", 1'000'000'000, {60 << 20, 6 << 20, 0},
         {{"lblKBSpeed", "Speed - 0 KB/s"}, {"lblKBMin", "Min - 0 KB/s"}, {"lblKBMax", "Max - 122880 KB/s"},
          {"lblMBEst", "Est - 960 MB/s"}}},
        {"no usable size: done at ten million", 0, {5'000'000, 5'000'000},
         {{"lblTotalSize", "File Size - N/A KB"}, {"lblFileSize", "9765 KB"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig t;
        t.locale.decimalSeparator = c.separator;
        t.Begin(c.size ? Header(c.size) : "HTTP/1.1 200 OK\r\nContent-Type: a\r\n\r\n");
        for (std::int64_t bytes : c.intervals) t.Interval(bytes);
        t.ExpectTexts(c.texts);
    }
}

// More than announced, across midnight, no tick: the whole file's figures, the time cut to
// tenths, max and min the average. A report that cannot be written is told after them.
TEST(DataSpeedTest, FinishShowsTheWholeFilesFiguresAndANewTestClearsThem) {
    Rig t;
    t.clock.SetMidnightSeconds(86398);
    t.Begin();
    t.clock.Advance(31.75);
    t.socket.ArriveCounted(4194304 + 100);
    EXPECT_FALSE(t.socket.open);
    t.Interval(0);
    ASSERT_TRUE(t.test.Succeeded());
    t.ExpectTexts({{"lblFileSize", "4096 KB"}, {"lblTotalTime", "31.7 seconds"}, {"lblAverageSpeed", "129 KB/s"},
                   {"lblMaximumSpeed", "129 KB/s"}, {"lblMinimumSpeed", "129 KB/s"}, {"lblKBSpeed", "Speed - 0 KB/s"},
                   {"lblkbRemaining", "Completed - 100%"}, {"btnStartTest", "Test Data Speed"}});
    EXPECT_FALSE(t.timerOn);

    TempFolder folder;
    const std::string report = folder / "no-such-folder/results.txt";
    std::ostringstream out, err;
    EXPECT_EQ(cli::FinishDataTest(t.test, report, false, t.locale, out, err), 1);
    EXPECT_EQ(out.str(), cli::ResultsText(t.test));  // the figures are not lost
    // The system's own words: errno's text on Linux, FormatMessage's on Windows.
    Status missing;
    EXPECT_EQ(OpenFile(report, "ab", &missing), nullptr);
    EXPECT_NE(missing.text.find_first_not_of(' '), std::string::npos);
    EXPECT_NE(missing.text.back(), '.');
    EXPECT_EQ(err.str(), "Error! The test results could not be saved in " + report + ": " + missing.text +
                             ". Please choose another file name or folder.\n");

    // A new test clears the last figures.
    t.test.Start();
    for (const ControlText& design : kProgressDesignTexts)
        EXPECT_EQ(t.test.Text(ControlName(design.control)), design.text);
    EXPECT_EQ(t.test.Text("btnStartTest"), "Stop");
}

// Connecting and an unticked end count in the average, which widens the ticks' extremes.
TEST(DataSpeedTest, TheExtremesTakeInTheAverage) {
    Rig t;
    t.test.Start();
    t.clock.Advance(3);
    t.socket.Accept();
    t.socket.Arrive(Header(12 << 20));
    t.Interval(6 << 20);
    t.Interval(6 << 20);
    t.ExpectTexts({{"lblAverageSpeed", "3072 KB/s"}, {"lblMaximumSpeed", "12288 KB/s"},
                   {"lblMinimumSpeed", "3072 KB/s"}});
    EXPECT_EQ(t.test.TickSpeeds(), std::vector<std::int64_t>{12288});

    // The rest arriving at once after a slow tick lifts the average above every tick.
    Rig fast;
    fast.Begin(Header(12 << 20));
    fast.Interval(1 << 20);
    fast.socket.ArriveCounted(11 << 20);
    fast.test.OnTimer();
    fast.ExpectTexts({{"lblAverageSpeed", "24576 KB/s"}, {"lblMaximumSpeed", "24576 KB/s"},
                      {"lblMinimumSpeed", "2048 KB/s"}});
}

// A window waits for Stop when a server goes away or quiet; a terminal run must end, and
// records nothing.
TEST(CliDataTestTest, ServersThatGoAwayOrQuietEndTheTest) {
    const std::string down = kConnectionDownText;
    const std::pair<std::function<void(Rig&)>, std::string> cases[] = {
        {[](Rig& t) { t.Begin(), t.Interval(1000), t.socket.PeerCloses(); },
         down + "The server ended the connection after 1000 of 4194304 bytes."},
        {[](Rig& t) {
             t.Begin("");
             for (int i = 0; i < 119; ++i) t.Interval(0);
             ASSERT_FALSE(t.test.Done());  // 59.5 s from the start
             t.socket.Arrive(Header(4194304));
             for (int i = 0; i < 120; ++i) t.Interval(0);
             ASSERT_FALSE(t.test.Done());  // the header was progress
             t.Interval(0);
         },
         down + "Nothing has arrived for 60 seconds."},
        {[](Rig& t) {
             t.Begin();
             for (int i = 1; i <= 121; ++i) t.Interval(i % 118 == 0 ? 1 : 0);  // a byte every 59 s
         },
         down + "Less than 1 KB has arrived in 60 seconds."},
    };
    for (const auto& [script, failure] : cases) {
        Rig t;
        script(t);
        EXPECT_EQ(t.test.Failure(), failure);
        EXPECT_TRUE(t.test.Done() && t.doneCalls == 1 && !t.timerOn && !t.socket.open) << failure;
        EXPECT_TRUE(t.history.Records().empty());
        std::ostringstream out, err;
        EXPECT_EQ(cli::FinishDataTest(t.test, "never-written.txt", false, t.locale, out, err), 1);
        EXPECT_EQ(out.str() + "|" + err.str(), "|" + failure + "\n");
    }
}

// --unit mbit: the progress line and the results in Mbit/s (1 KB = 1024 bytes, 1 Mbit =
// 10^6 bits), three figures or so in the user's decimals, without the window's own rough
// estimate; sizes stay in KB. The JSON carries both units whatever the unit.
TEST(CliDataTestTest, SpeedsInTheUnitAsked) {
    const struct {
        cli::SpeedUnit unit;
        const char* point;
        std::string progress, results, spread;  // the last tick's line, the speeds' results, two runs' spread
    } rows[] = {
        {cli::SpeedUnit::Kb, ",",
         "Total - 1 seconds  Downloaded - 1269 KB  Completed - 30,9%  Speed - 1367 KB/s  Max - 1367 KB/s  "
         "Min - 1171 KB/s  Avg - 1269 KB/s  Est - 10,5 MB/s",
         "Avgerage Speed: 4096 KB/s\nMax speed reached: 4096 KB/s\nMin speed reached: 1171 KB/s\n",
         "Median: 1220,5 KB/s\nSpread: 99 KB/s (from 1171 to 1270 KB/s)\n"},
        {cli::SpeedUnit::Mbit, ",",
         "Total - 1 seconds  Downloaded - 1269 KB  Completed - 30,9%  Speed - 11,2 Mbit/s  Max - 11,2 Mbit/s  "
         "Min - 9,59 Mbit/s  Avg - 10,4 Mbit/s",
         "Avgerage Speed: 33,6 Mbit/s\nMax speed reached: 33,6 Mbit/s\nMin speed reached: 9,59 Mbit/s\n",
         "Median: 10 Mbit/s\nSpread: 0,811 Mbit/s (from 9,59 to 10,4 Mbit/s)\n"},
        {cli::SpeedUnit::Mbit, ".", "", "Min speed reached: 9.59 Mbit/s\n", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.results);
        Rig t;
        t.locale.decimalSeparator = row.point;
        t.test.SetUnit(row.unit);
        t.Begin();
        t.Interval(600000);  // 1171 KB/s
        t.Interval(700000);  // 1367 KB/s
        const std::string ticks = t.progressOut.str();
        if (!row.progress.empty()) {
            EXPECT_EQ(ticks.substr(ticks.rfind('\n', ticks.size() - 2) + 1), row.progress + "\n");
        }
        t.socket.ArriveCounted(4194304 - 1300000);  // at 1 s: 4096 KB/s on average
        t.Interval(0);
        ASSERT_TRUE(t.test.Succeeded());
        const std::string results = cli::ResultsText(t.test);
        EXPECT_NE(results.find("\nData Size for this test: 4096 KB\n"), std::string::npos) << results;
        EXPECT_NE(results.find(row.results), std::string::npos) << results;
        if (!row.spread.empty()) {
            EXPECT_EQ(cli::SpeedSpreadText({1171, 1270}, row.point, row.unit), row.spread);
        }
        const std::string json = cli::ResultsJson(t.test);
        for (const char* pair : {"\"average_kb_s\":4096,\"average_mbit_s\":33.554432,", "\"min_mbit_s\":9.592832,",
                                 "\"speeds_kb_s\":[1171,1367],\"speeds_mbit_s\":[9.592832,11.198464]}"})
            EXPECT_NE(json.find(pair), std::string::npos) << pair << " in " << json;
    }
}

// The window's own timer ends a silent download too: nobody may be there to press Stop.
TEST(DataSpeedTest, TheWindowsTicksEndASilentDownload) {
    struct View final : DataTestView {
        void SetText(DataControl control, const std::string& text) override { texts[ControlName(control)] = text; }
        void SetProgressBar(int) override {}
        void SetTimerEnabled(bool enabled) override { timerOn = enabled; }
        int TimerInterval() const override { return kTimerIntervalMs; }
        void SetSaveEnabled(bool) override {}
        void SetResultsVisible(bool) override {}
        void SetWindowHeight(int) override {}
        std::string SelectedTestUrl() const override { return "files.example/4MB.bin"; }
        std::map<std::string, std::string> texts;
        bool timerOn = false;
    } view;
    FakeTcpSocket socket;
    FakeClock clock;
    FakeLocale locale;
    FakeMessageBox messages;
    DataSpeedTest test(socket, clock, locale, messages, view);
    test.StartTest();
    socket.Accept();
    socket.Arrive(Header(4194304));
    for (int i = 0; i < 121 && view.timerOn; ++i) {
        clock.Advance(0.5);
        test.Tick();
    }
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{std::string(kConnectionDownText) +
                                                         "Nothing has arrived for 60 seconds."});
    EXPECT_TRUE(!view.timerOn && !socket.open && !test.Finished());
    EXPECT_EQ(view.texts["btnStartTest"], kStartCaption);
}

TEST(ProgressLineTest, RedrawnInPlaceOnATerminalOneLineEachOtherwise) {
    std::ostringstream terminal, pipe;
    cli::ProgressLine onTerminal(terminal, true, 12), toPipe(pipe, false, 12);
    for (const char* text : {"Total - 1 seconds", "Total - 2", "Total - 10 s"}) {
        onTerminal.Show(text);
        toPipe.Show(text);
    }
    onTerminal.End();
    onTerminal.End();  // once only
    toPipe.End();
    // Cut to the width less one; blanks cover a longer line drawn before.
    EXPECT_EQ(terminal.str(), "\rTotal - 1 s\rTotal - 2  \rTotal - 10 \n");
    EXPECT_EQ(pipe.str(), "Total - 1 seconds\nTotal - 2\nTotal - 10 s\n");
}

// Fifteen significant digits, then an exponent, as the classic general format.
TEST(NumberFormatTest, GeneralFormKeepsFifteenDigitsAndWritesHugeValuesWithAnExponent) {
    EXPECT_EQ(FormatGeneral(123456789.0, "."), "123456789");
    EXPECT_EQ(FormatGeneral(1e15, "."), "1E+15");
}

}  // namespace
}  // namespace brisko::test
