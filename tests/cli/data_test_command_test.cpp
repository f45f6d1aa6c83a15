#include "cli/data_test_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/progress_line.h"
#include "speedtest/download_client.h"
#include "tests/support/fakes.h"
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

// A window waits for Stop when a server goes quiet or away; a terminal run must end.
TEST(CliDataTestFailureTest, ServersThatGoAwayOrQuietEndTheTest) {
    const std::string down = kConnectionDownText;
    const std::pair<std::function<void(DataRig&)>, std::string> cases[] = {
        {[](DataRig& t) { t.Begin(), t.Interval(1000), t.socket.PeerCloses(); },
         down + "The server ended the connection after 1000 of 4194304 bytes."},
        {[](DataRig& t) { t.Begin(""), t.socket.PeerCloses(); },
         down + "The server ended the connection without sending the file."},
        {[](DataRig& t) {
             t.Begin("");
             for (int i = 0; i < 119; ++i) t.Interval(0);
             ASSERT_FALSE(t.Cli().Done());  // 59.5 s
             t.Interval(0);
         },
         down + "Nothing has arrived for 60 seconds."},
        {[](DataRig& t) {
             t.Begin(), t.Interval(5000);
             for (int i = 0; i < 120; ++i) t.Interval(0);
         },
         down + "Nothing has arrived for 60 seconds."},
    };
    for (const auto& [script, failure] : cases) {
        DataRig t;
        script(t);
        EXPECT_EQ(t.Cli().Failure(), failure);
        EXPECT_TRUE(t.Cli().Done() && t.doneCalls == 1 && !t.timerOn && !t.socket.open) << failure;
        std::ostringstream out, err;
        EXPECT_EQ(FinishDataTest(t.Cli(), "never-written.txt", false, t.locale, out, err), 1);
        EXPECT_EQ(out.str() + "|" + err.str(), "|" + failure + "\n");
    }
}

TEST(CliDataTestTest, ServerClosingAfterTheWholeFileIsNoFailureButAnUnwritableReportIs) {
    DataRig t;
    t.Begin(Header(3000) + std::string(3000, 'x'));
    t.socket.PeerCloses();
    EXPECT_FALSE(t.Cli().Done());
    t.Interval(0);
    ASSERT_TRUE(t.Cli().Succeeded());
    EXPECT_EQ(t.Cli().Text("lblFileSize"), "2 KB");

    test::TempFolder folder;
    const std::string report = folder / "no-such-folder/results.txt";
    std::ostringstream out, err;
    EXPECT_EQ(FinishDataTest(t.Cli(), report, false, t.locale, out, err), 1);
    EXPECT_EQ(out.str(), ResultsText(t.Cli()));  // the figures are not lost
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
