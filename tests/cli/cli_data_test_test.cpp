#include "cli/cli_data_test.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/progress_line.h"
#include "speedtest/download_client.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_locale.h"
#include "tests/support/fake_tcp_socket.h"
#include "tests/support/temp_folder.h"

namespace brisko::cli {
namespace {

std::string Header(std::int64_t size) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " + std::to_string(size) +
           "\r\n\r\n";
}

// A terminal test run against a socket and clock the test moves by hand.
struct DataRig {
    DataRig() {
        hooks.setTimer = [this](bool enabled) { timerOn = enabled; };
        hooks.done = [this] { ++doneCalls; };
    }
    CliDataTest& Cli() {
        if (!test) test = std::make_unique<CliDataTest>(socket, clock, locale, progress, "files.example/4MB.bin", hooks);
        return *test;
    }
    void Begin(const std::string& header = Header(4194304)) {
        Cli().Start();
        socket.Accept();
        if (!header.empty()) socket.Arrive(header);
    }
    // One timer period in which bytes arrive; the tick and the watchdog follow.
    void Interval(std::int64_t bytes) {
        clock.Advance(0.5);
        if (bytes) socket.ArriveCounted(static_cast<std::uint64_t>(bytes));
        if (timerOn) Cli().OnTimer();
        Cli().Watch();
    }

    test::FakeTcpSocket socket;
    test::FakeClock clock;
    test::FakeLocale locale;
    std::ostringstream progressOut;
    ProgressLine progress{progressOut, false};
    DataTestHooks hooks;
    bool timerOn = false;
    int doneCalls = 0;
    std::unique_ptr<CliDataTest> test;
};

class CliDataTestTest : public ::testing::Test, protected DataRig {};

TEST_F(CliDataTestTest, RunsToTheWindowsFiguresAndWritesItsReport) {
    Begin();
    EXPECT_EQ(socket.sent.substr(0, 24), "GET /4MB.bin HTTP/1.0\r\nR");
    EXPECT_TRUE(timerOn);
    for (std::int64_t bytes : {600000, 1000000, 0, 2594304}) Interval(bytes);

    ASSERT_TRUE(Cli().Succeeded()) << Cli().Failure();
    EXPECT_EQ(doneCalls, 1);
    EXPECT_FALSE(timerOn);
    EXPECT_FALSE(socket.open);
    EXPECT_EQ(Cli().TickSpeeds(), (std::vector<std::int64_t>{1171, 1953, 0}));
    const std::string lines = progressOut.str();
    EXPECT_EQ(lines.substr(0, lines.find('\n')),
              "Total - 0 seconds  Downloaded - 585 KB  Completed - 14.3%  Speed - 1171 KB/s  Max - 1171 KB/s  "
              "Min - 1171 KB/s  Avg - 1171 KB/s  Est - 9 MB/s");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);  // one per tick, none for the finishing one

    EXPECT_EQ(ResultsText(Cli()),
              "Data Speed Test Results\n"
              "Data Size for this test: 4096 KB\n"
              "Total time taken to download selected test data: 2 seconds\n"
              "Avgerage Speed: 2048 KB/s\n"
              "Max speed reached: 1953 KB/s\n"
              "Min speed reached: 0 KB/s\n");
    EXPECT_EQ(ResultsJson(Cli()),
              "{\"url\":\"files.example/4MB.bin\",\"bytes\":4194304,\"seconds\":2,\"average_kb_s\":2048,"
              "\"max_kb_s\":1953,\"min_kb_s\":0,\"speeds_kb_s\":[1171,1953,0]}\n");

    test::TempFolder folder;
    const std::string report = folder / "results.txt";
    test::WriteFileBytes(report, "earlier\r\n");
    std::ostringstream out, err;
    EXPECT_EQ(FinishDataTest(Cli(), report, false, locale, out, err), 0);
    EXPECT_EQ(out.str(), ResultsText(Cli()) + kSavedText + "\n");
    EXPECT_EQ(err.str(), "");
    const ReportFields fields{"4096 KB", "2 seconds", "2048 KB/s", "1953 KB/s", "0 KB/s", ""};
    EXPECT_EQ(test::ReadFileBytes(report), "earlier\r\n" + BuildReport(fields, locale.date, locale.time));

    std::ostringstream jsonOut, jsonErr;
    EXPECT_EQ(FinishDataTest(Cli(), "", true, locale, jsonOut, jsonErr), 0);
    EXPECT_EQ(jsonOut.str(), ResultsJson(Cli()));
}

TEST_F(CliDataTestTest, TenthsUseTheUsersSeparatorInTextAndAPointInJson) {
    locale.decimalSeparator = ",";
    Begin();
    clock.Advance(1.25);
    socket.ArriveCounted(4194304);
    Interval(0);
    ASSERT_TRUE(Cli().Succeeded());
    EXPECT_EQ(Cli().Text("lblTotalTime"), "1,2 seconds");
    EXPECT_NE(ResultsJson(Cli()).find("\"seconds\":1.2,"), std::string::npos);
}

TEST_F(CliDataTestTest, EveryWayATestEndsBadly) {
    struct Case {
        const char* name;
        std::function<void(DataRig&)> script;
        std::string failure;
    };
    const std::string down = kConnectionDownText;
    const Case cases[] = {
        {"refused", [](DataRig& t) { t.Begin("HTTP/1.1 404 Not Found\r\n\r\n"); }, kFileNotFoundText},
        {"socket error",
         [](DataRig& t) {
             t.Cli().Start();
             t.socket.Fail(10061, "Connection refused");
         },
         down + "Connection refused"},
        {"closed early",
         [](DataRig& t) {
             t.Begin();
             t.Interval(1000);
             t.socket.PeerCloses();
         },
         down + "The server ended the connection after 1000 of 4194304 bytes."},
        {"closed before answering",
         [](DataRig& t) {
             t.Begin("");
             t.socket.PeerCloses();
         },
         down + "The server ended the connection without sending the file."},
        {"silent server",
         [](DataRig& t) {
             t.Begin("");
             for (int i = 0; i < 119; ++i) t.Interval(0);
             ASSERT_FALSE(t.Cli().Done());
             t.Interval(0);
         },
         down + "Nothing has arrived for 60 seconds."},
        {"stalled body",
         [](DataRig& t) {
             t.Begin();
             t.Interval(5000);
             for (int i = 0; i < 120; ++i) t.Interval(0);
         },
         down + "Nothing has arrived for 60 seconds."},
    };
    for (const Case& c : cases) {
        DataRig t;
        c.script(t);
        EXPECT_TRUE(t.Cli().Done()) << c.name;
        EXPECT_EQ(t.Cli().Failure(), c.failure) << c.name;
        EXPECT_EQ(t.doneCalls, 1) << c.name;
        EXPECT_FALSE(t.timerOn) << c.name;
        EXPECT_FALSE(t.socket.open) << c.name;
        std::ostringstream out, err;
        EXPECT_EQ(FinishDataTest(t.Cli(), "never-written.txt", false, t.locale, out, err), 1) << c.name;
        EXPECT_EQ(out.str(), "") << c.name;
        EXPECT_EQ(err.str(), c.failure + "\n") << c.name;
    }
}

TEST_F(CliDataTestTest, ServerClosingAfterTheWholeFileIsNoFailure) {
    Begin(Header(3000) + std::string(3000, 'x'));
    socket.PeerCloses();
    EXPECT_FALSE(Cli().Done());
    Interval(0);
    EXPECT_TRUE(Cli().Succeeded());
    EXPECT_EQ(Cli().Text("lblFileSize"), "2 KB");
    EXPECT_TRUE(Cli().TickSpeeds().empty());
}

TEST_F(CliDataTestTest, AReportThatCannotBeWrittenFailsTheCommand) {
    Begin(Header(3000) + std::string(3000, 'x'));
    Interval(0);
    test::TempFolder folder;
    const std::string report = folder / "no-such-folder/results.txt";
    std::ostringstream out, err;
    EXPECT_EQ(FinishDataTest(Cli(), report, false, locale, out, err), 1);
    EXPECT_EQ(out.str(), ResultsText(Cli()));  // the figures are not lost
    EXPECT_EQ(err.str(), "Error! The test results could not be saved in " + report +
                             ": No such file or directory. Please choose another file name or folder.\n");
}

TEST(ProgressLineTest, RedrawnInPlaceOnATerminalOneLineEachOtherwise) {
    std::ostringstream terminal, pipe;
    ProgressLine onTerminal(terminal, true, 12), toPipe(pipe, false, 12);
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

    std::ostringstream nothing;
    ProgressLine unused(nothing, true);
    unused.End();
    EXPECT_EQ(nothing.str(), "");
}

}  // namespace
}  // namespace brisko::cli
