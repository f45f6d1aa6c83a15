#include "speedtest/test_run.h"

#include <gtest/gtest.h>

#include "speedtest/number_format.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_data_test_view.h"
#include "tests/support/fake_locale.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/fake_tcp_socket.h"

namespace brisko {
namespace {

std::string Header(std::int64_t size) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " + std::to_string(size) +
           "\r\n\r\n";
}

class DataSpeedTestTest : public ::testing::Test {
protected:
    // Presses the button; the server answers with the header only.
    void Begin(const std::string& header = Header(4194304)) {
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
    std::string Text(const char* control) const { return view.Text(control); }

    test::FakeTcpSocket socket;
    test::FakeClock clock;
    test::FakeLocale locale;
    test::FakeMessageBox messages;
    test::FakeDataTestView view;
    DataSpeedTest test{socket, clock, locale, messages, view};
};

TEST_F(DataSpeedTestTest, StartShowsTheRunningStateAndConnects) {
    view.saveEnabled = true;
    view.resultsVisible = true;
    test.OnStartButton();
    EXPECT_EQ(Text("btnStartTest"), "Stop");
    EXPECT_FALSE(view.saveEnabled);
    EXPECT_FALSE(view.resultsVisible);
    EXPECT_EQ(view.heightTwips, 5500);
    EXPECT_EQ(view.bar, 0);
    ASSERT_EQ(socket.connects.size(), 1u);
    EXPECT_EQ(socket.connects[0].first, "files.example");
    EXPECT_FALSE(view.timer);  // only the accepted header starts it
    socket.Accept();
    socket.Arrive(Header(4194304));
    EXPECT_TRUE(view.timer);
}

TEST_F(DataSpeedTestTest, TickShowsTheProgressTexts) {
    Begin();
    Interval(600000);
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 1171 KB/s");
    EXPECT_EQ(Text("lblTime"), "Total - 0 seconds");
    Interval(1234567 - 600000);
    EXPECT_EQ(Text("lblTotalSize"), "File Size - 4096 KB");
    EXPECT_EQ(Text("lblkbSoFar"), "Downloaded - 1205 KB");
    EXPECT_EQ(Text("lblkbRemaining"), "Completed - 29.4%");
    EXPECT_EQ(view.bar, 29);
    EXPECT_EQ(Text("lblTime"), "Total - 1 seconds");
    EXPECT_EQ(Text("lblKBAvg"), "Avg - 1205 KB/s");  // 1,234,567 bytes in 1 s
    EXPECT_EQ(Text("lblKBMax"), "Max - 1239 KB/s");
    EXPECT_EQ(Text("lblKBMin"), "Min - 1171 KB/s");
    EXPECT_EQ(Text("lblMBEst"), "Est - 9.5 MB/s");
}

TEST_F(DataSpeedTestTest, UsesTheUsersDecimalSeparator) {
    locale.decimalSeparator = ",";
    Begin();
    Interval(1234567);
    EXPECT_EQ(Text("lblkbRemaining"), "Completed - 29,4%");
    EXPECT_EQ(Text("lblMBEst"), "Est - 18,5 MB/s");
}

TEST_F(DataSpeedTestTest, EstimateIsMaxSpeedInHalfMegabits) {
    const struct {
        std::int64_t maxSpeed;
        const char* text;
    } cases[] = {{1176, "Est - 9 MB/s"},  {1250, "Est - 9.5 MB/s"}, {64, "Est - 0.5 MB/s"},
                 {127, "Est - 0.5 MB/s"}, {63, "Est - 0 MB/s"},    {0, "Est - 0 MB/s"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxSpeed);
        Begin(Header(1'000'000'000));
        Interval(c.maxSpeed * 512);  // bytes per half second for that many KB/s
        EXPECT_EQ(test.MaxSpeed(), c.maxSpeed);
        EXPECT_EQ(Text("lblMBEst"), c.text);
        test.OnStartButton();  // stop
    }
}

TEST_F(DataSpeedTestTest, MinimumStartsAt10240AndFallsToZeroOnAnEmptyInterval) {
    Begin(Header(100'000'000));
    Interval(6 * 1024 * 1024);
    Interval(6 * 1024 * 1024);
    EXPECT_EQ(Text("lblKBMin"), "Min - 10240 KB/s");
    EXPECT_EQ(Text("lblKBMax"), "Max - 12288 KB/s");
    Interval(0);
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 0 KB/s");
    EXPECT_EQ(Text("lblKBMin"), "Min - 0 KB/s");
}

TEST_F(DataSpeedTestTest, GigabitSpeedsAreKeptWhole) {
    Begin(Header(10'000'000'000));
    Interval(60 * 1024 * 1024);  // 120,000 KB/s
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 122880 KB/s");
    EXPECT_EQ(Text("lblKBMax"), "Max - 122880 KB/s");
    EXPECT_EQ(Text("lblKBMin"), "Min - 10240 KB/s");
    EXPECT_EQ(Text("lblMBEst"), "Est - 960 MB/s");
}

TEST_F(DataSpeedTestTest, FinishShowsTheFiguresOfTheWholeFile) {
    clock.SetMidnightSeconds(86398);  // runs across midnight: durations must not care
    Begin();
    clock.Advance(4);
    socket.ArriveCounted(4194304 + 100);  // more than announced
    EXPECT_FALSE(socket.open);
    test.Tick();
    EXPECT_EQ(Text("lblFileSize"), "4096 KB");
    EXPECT_EQ(Text("lblTotalTime"), "4 seconds");
    EXPECT_EQ(Text("lblAverageSpeed"), "1024 KB/s");
    EXPECT_EQ(Text("lblMaximumSpeed"), "0 KB/s");
    EXPECT_EQ(Text("lblMinimumSpeed"), "10240 KB/s");
    EXPECT_EQ(Text("lblTime"), "Total - 4 seconds");
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 0 KB/s");
    EXPECT_EQ(Text("lblkbRemaining"), "Completed - 100%");
    EXPECT_EQ(Text("lblkbSoFar"), "Downloaded - 4096 KB");
    EXPECT_EQ(Text("lblKBAvg"), "Avg - 1024 KB/s");
    EXPECT_EQ(view.bar, 100);
    EXPECT_EQ(Text("btnStartTest"), "Test Data Speed");
    EXPECT_FALSE(view.timer);
    EXPECT_TRUE(view.saveEnabled);
    EXPECT_TRUE(view.resultsVisible);
    EXPECT_EQ(view.heightTwips, 6820);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                    "Done! You can Save and/or Print the results by going to the Main menu."});
}

TEST_F(DataSpeedTestTest, TotalTimeIsCutToTenths) {
    Begin();
    clock.Advance(31.75);
    socket.ArriveCounted(4194304);
    test.Tick();
    EXPECT_EQ(Text("lblTotalTime"), "31.7 seconds");
}

TEST_F(DataSpeedTestTest, NoUsableSizeCountsToTenMillion) {
    Begin("HTTP/1.1 200 OK\r\nContent-Type: a\r\n\r\n");
    Interval(5'000'000);
    EXPECT_EQ(Text("lblTotalSize"), "File Size - N/A KB");
    EXPECT_EQ(Text("lblkbRemaining"), "Completed - 50%");
    Interval(5'000'000);
    EXPECT_TRUE(view.resultsVisible);
    EXPECT_EQ(Text("lblFileSize"), "9765 KB");
}

TEST_F(DataSpeedTestTest, StopLeavesTheProgressAsItWas) {
    Begin();
    Interval(600000);
    const auto before = view.texts;
    test.OnStartButton();
    EXPECT_EQ(Text("btnStartTest"), "Test Data Speed");
    EXPECT_EQ(Text("lblKBSpeed"), "Speed - 0 KB/s");
    EXPECT_FALSE(view.timer);
    EXPECT_FALSE(socket.open);
    EXPECT_FALSE(view.saveEnabled);
    EXPECT_EQ(view.heightTwips, 5500);
    for (const auto& [control, text] : before) {
        if (control == "lblKBSpeed" || control == "btnStartTest") continue;
        EXPECT_EQ(Text(control.c_str()), text) << control;
    }
}

TEST_F(DataSpeedTestTest, NewTestAfterAFinishedOneHidesTheResults) {
    Begin();
    clock.Advance(1);
    socket.ArriveCounted(4194304);
    test.Tick();
    ASSERT_TRUE(view.resultsVisible);
    test.OnStartButton();
    EXPECT_FALSE(view.resultsVisible);
    EXPECT_FALSE(view.saveEnabled);
    EXPECT_EQ(view.heightTwips, 5500);
    EXPECT_EQ(socket.connects.size(), 2u);
}

TEST(NumberFormatTest, GeneralForm) {
    const struct {
        double value;
        const char* separator;
        const char* text;
    } cases[] = {{29.4, ".", "29.4"}, {29.4, ",", "29,4"}, {4, ".", "4"},          {0.5, ".", "0.5"},
                 {31.7, ".", "31.7"}, {0, ",", "0"},        {1e15, ".", "1E+15"}, {123456789, ".", "123456789"}};
    for (const auto& c : cases) EXPECT_EQ(FormatGeneral(c.value, c.separator), c.text);
}

}  // namespace
}  // namespace brisko
