#include "speedtest/download_run.h"

#include <gtest/gtest.h>

#include "speedtest/number_format.h"
#include "tests/support/fakes.h"

namespace brisko::test {
namespace {

using Texts = std::map<std::string, std::string>;

std::string Header(std::int64_t size) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " + std::to_string(size) +
           "\r\n\r\n";
}

// Records what the download test run shows, by control name.
class FakeDataTestView final : public DataTestView {
public:
    void SetText(DataControl control, const std::string& text) override { texts[ControlName(control)] = text; }
    void SetProgressBar(int value) override { bar = value; }
    void SetTimerEnabled(bool enabled) override { timer = enabled; }
    int TimerInterval() const override { return 500; }
    void SetSaveEnabled(bool enabled) override { saveEnabled = enabled; }
    void SetResultsVisible(bool visible) override { resultsVisible = visible; }
    void SetWindowHeight(int twips) override { heightTwips = twips; }
    std::string SelectedTestUrl() const override { return "files.example/dir/4MB.bin"; }
    std::string Text(const std::string& control) const { return texts.count(control) ? texts.at(control) : ""; }
    // The bar, the timer, Save, the results panel and the height, in one line.
    std::string State() const {
        return std::to_string(bar) + (timer ? " timer" : "") + (saveEnabled ? " save" : "") +
               (resultsVisible ? " results " : " ") + std::to_string(heightTwips);
    }

    std::map<std::string, std::string> texts;
    int bar = 0, heightTwips = 0;
    bool timer = false, saveEnabled = false, resultsVisible = false;
};

struct DataSpeedTestRig {
    // Presses the button; the server answers with the header only.
    void Begin(const std::string& header) {
        test.OnStartButton();
        socket.Accept();
        socket.Arrive(header);
    }
    // One timer period in which bytes arrive, then the tick.
    void Interval(std::int64_t bytes) {
        clock.Advance(0.5);
        if (bytes) socket.ArriveCounted(static_cast<std::uint64_t>(bytes));
        test.Tick();
    }
    void ExpectTexts(const Texts& expected) const {
        for (const auto& [control, text] : expected) EXPECT_EQ(view.Text(control), text) << control;
    }

    FakeTcpSocket socket;
    FakeClock clock;
    FakeLocale locale;
    FakeMessageBox messages;
    FakeDataTestView view;
    FakeHistory history;
    DataSpeedTest test{socket, clock, locale, messages, view, &history};
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
        // The estimate is the maximum in half megabits.
        {"estimate 1176", 1'000'000'000, {1176 * 512}, {{"lblMBEst", "Est - 9 MB/s"}}},
        {"estimate 64", 1'000'000'000, {64 * 512}, {{"lblMBEst", "Est - 0.5 MB/s"}}},
        {"estimate 127", 1'000'000'000, {127 * 512}, {{"lblMBEst", "Est - 0.5 MB/s"}}},
        {"estimate 63", 1'000'000'000, {63 * 512}, {{"lblMBEst", "Est - 0 MB/s"}}},
        // The extremes are those of the ticks so far; an empty interval is a minimum of zero.
        {"fast ticks", 100'000'000, {7 << 20, 6 << 20, 7 << 20},
         {{"lblKBMin", "Min - 12288 KB/s"}, {"lblKBMax", "Max - 14336 KB/s"}}},
        {"empty interval", 100'000'000, {6 << 20, 6 << 20, 0},
         {{"lblKBSpeed", "Speed - 0 KB/s"}, {"lblKBMin", "Min - 0 KB/s"}, {"lblKBMax", "Max - 12288 KB/s"}}},
        {"gigabit", 10'000'000'000, {60 << 20},
         {{"lblKBSpeed", "Speed - 122880 KB/s"}, {"lblKBMax", "Max - 122880 KB/s"}, {"lblMBEst", "Est - 960 MB/s"}}},
        {"no usable size counts to ten million", 0, {5'000'000},
         {{"lblTotalSize", "File Size - N/A KB"}, {"lblkbRemaining", "Completed - 50%"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DataSpeedTestRig t;
        t.locale.decimalSeparator = c.separator;
        t.Begin(c.size ? Header(c.size) : "HTTP/1.1 200 OK\r\nContent-Type: a\r\n\r\n");
        for (std::int64_t bytes : c.intervals) t.Interval(bytes);
        t.ExpectTexts(c.texts);
    }
}

TEST(DataSpeedTest, FinishShowsTheWholeFilesFiguresAndANewTestClearsThem) {
    DataSpeedTestRig t;
    t.clock.SetMidnightSeconds(86398);  // runs across midnight: durations must not care
    t.Begin(Header(4194304));
    t.clock.Advance(4);
    t.socket.ArriveCounted(4194304 + 100);  // more than announced
    EXPECT_FALSE(t.socket.open);
    t.test.Tick();
    t.ExpectTexts({{"lblFileSize", "4096 KB"}, {"lblTotalTime", "4 seconds"}, {"lblAverageSpeed", "1024 KB/s"},
                   {"lblMaximumSpeed", "1024 KB/s"}, {"lblMinimumSpeed", "1024 KB/s"}, {"lblKBSpeed", "Speed - 0 KB/s"},
                   {"lblkbRemaining", "Completed - 100%"}, {"btnStartTest", "Test Data Speed"}});
    EXPECT_EQ(t.view.State(), "100 save results 6820");
    EXPECT_EQ(t.messages.Texts(), std::vector<std::string>{kDoneText});

    // A new test hides the results, clears the last figures and waits for the next
    // header to start the timer.
    t.test.OnStartButton();
    for (const ControlText& design : kProgressDesignTexts) EXPECT_EQ(t.view.Text(ControlName(design.control)), design.text);
    EXPECT_EQ(t.view.Text("btnStartTest"), "Stop");
    EXPECT_EQ(t.view.State(), "0 5500");
    EXPECT_EQ(t.socket.connects.size(), 2u);
    t.socket.Accept();
    t.socket.Arrive(Header(4194304));
    EXPECT_TRUE(t.view.timer);
}

TEST(DataSpeedTest, TotalTimeIsCutToTenthsAndTheExtremesTakeInTheAverage) {
    {
        DataSpeedTestRig t;  // total time is cut to tenths
        t.Begin(Header(4194304));
        t.clock.Advance(31.75);
        t.socket.ArriveCounted(4194304);
        t.test.Tick();
        t.ExpectTexts({{"lblTotalTime", "31.7 seconds"}});
    }
    {
        DataSpeedTestRig t;  // no usable size: done at ten million bytes
        t.Begin("HTTP/1.1 200 OK\r\nContent-Type: a\r\n\r\n");
        t.Interval(5'000'000);
        t.Interval(5'000'000);
        t.ExpectTexts({{"lblFileSize", "9765 KB"}});
    }
    {
        DataSpeedTestRig t;  // the extremes take in the average, which counts connecting
        t.test.OnStartButton();
        t.clock.Advance(3);
        t.socket.Accept();
        t.socket.Arrive(Header(12 << 20));
        t.Interval(6 << 20);
        t.clock.Advance(0.5);
        t.socket.ArriveCounted(6 << 20);
        t.test.Tick();
        t.ExpectTexts({{"lblAverageSpeed", "3072 KB/s"}, {"lblMaximumSpeed", "12288 KB/s"},
                       {"lblMinimumSpeed", "3072 KB/s"}});
        // The history keeps the panel's figures and the speed of every tick.
        ASSERT_EQ(t.history.Records().size(), 1u);
        const DataTestRecord* kept = t.history.Records()[0].Data();
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->url, "files.example/dir/4MB.bin");
        EXPECT_EQ(std::vector({kept->bytes, kept->averageSpeed, kept->maximumSpeed, kept->minimumSpeed}),
                  std::vector<std::int64_t>({12 << 20, 3072, 12288, 3072}));
        EXPECT_EQ(kept->seconds, 4);
        EXPECT_EQ(kept->tickSpeeds, std::vector<std::int64_t>{12288});
    }
    {
        DataSpeedTestRig t;  // a size, and the server ends early: stopped, no results and no record
        t.Begin(Header(4194304));
        t.Interval(300'000);
        t.socket.PeerCloses();
        t.ExpectTexts({{"lblKBSpeed", "Speed - 0 KB/s"}});
        EXPECT_EQ(t.view.State(), "7 5500");
        EXPECT_TRUE(t.history.Records().empty());
    }
}

TEST(NumberFormatTest, GeneralFormTakesTheUsersSeparatorAndExponentsForHugeValues) {
    const struct {
        double value;
        const char* separator;
        const char* text;
    } cases[] = {{29.4, ",", "29,4"}, {4, ".", "4"},         {0.5, ".", "0.5"},
                 {0, ",", "0"},       {1e15, ".", "1E+15"}, {123456789, ".", "123456789"}};
    for (const auto& c : cases) EXPECT_EQ(FormatGeneral(c.value, c.separator), c.text);
}

}  // namespace
}  // namespace brisko::test
