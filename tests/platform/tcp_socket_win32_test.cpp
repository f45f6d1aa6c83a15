// The Winsock socket and event loop under the terminal's download test, against
// brisko-testserver on loopback (started by run_with_testservers.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/data_test_command.h"
#include "cli/progress_line.h"
#include "platform/clock.h"
#include "platform/win32/event_loop_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/tcp_socket_win32.h"
#include "speedtest/download_client.h"

namespace brisko::test {
namespace {

struct DataTestRun {
    bool succeeded = false;
    std::string failure;
    DownloadCounters counters;
    std::string fileSize;
    std::size_t ticks = 0;
};

// A terminal download test as brisko-cli.exe runs it: the window's timer and the
// watchdog are loop timers, the loop ends when the test does.
DataTestRun DataTest(const std::string& url) {
    EventLoopWin32 loop;
    TcpSocketWin32 socket(loop);
    SystemClock clock;
    LocaleWin32 locale;
    std::ostringstream progressOut;
    cli::ProgressLine progress(progressOut, false);
    bool timer1 = false;  // the window's Timer1
    cli::DataTestHooks hooks;
    hooks.setTimer = [&](bool enabled) { timer1 = enabled; };
    hooks.done = [&] { loop.Quit(); };
    cli::CliDataTest test(socket, clock, locale, progress, url, hooks, 20);
    loop.StartTimer(kTimerIntervalMs, [&] {
        if (timer1) test.OnTimer();
        test.Watch();
    });
    DataTestRun run;
    test.Start();
    if (!test.Done()) loop.Run();
    run.succeeded = test.Succeeded();
    run.failure = test.Failure();
    run.counters = test.Test().Client().Counters();
    run.fileSize = test.Text("lblFileSize");
    run.ticks = test.TickSpeeds().size();
    return run;
}

std::string Server(const char* variable) {
    const char* address = std::getenv(variable);
    return address ? address : "";
}

TEST(TcpSocketWin32, DownloadsTheTestFileAsOnLinux) {
    const std::string server = Server("BRISKO_TEST_SERVER");
    ASSERT_FALSE(server.empty()) << "run through run_with_testservers.sh";
    const DataTestRun run = DataTest(server + "/5MB.zip");
    ASSERT_TRUE(run.succeeded) << run.failure;
    EXPECT_EQ(run.counters.TotalBytes, 5242880);
    EXPECT_EQ(run.counters.ReceivedBytes, 5242880);
    EXPECT_EQ(run.fileSize, "5120 KB");
    EXPECT_GE(run.ticks, 1u);  // the server sends at 4 MB/s: about 1.3 s
}

TEST(TcpSocketWin32, RefusalsAndUnreachableServersEndWithTheWindowsMessages) {
    const DataTestRun missing = DataTest(Server("BRISKO_TEST_SERVER_404") + "/5MB.zip");
    EXPECT_EQ(missing.failure, kFileNotFoundText);

    // Port 1 on loopback: nobody listens, Winsock refuses (10061).
    const DataTestRun refused = DataTest("127.0.0.1:1/5MB.zip");
    EXPECT_EQ(refused.failure.rfind(kConnectionDownText, 0), 0u) << refused.failure;
    EXPECT_EQ(refused.failure.substr(std::string(kConnectionDownText).size()), WinsockErrorText(10061));
}

}  // namespace
}  // namespace brisko::test
