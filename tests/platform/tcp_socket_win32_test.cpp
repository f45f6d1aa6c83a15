// SPDX-License-Identifier: GPL-3.0-or-later
// The Winsock socket and event loop under the terminal's download test, against a
// closed port on loopback: the failure with Winsock's own number. A whole download is
// brisko_cli_exe_data_test's.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/data_test_command.h"
#include "cli/progress_line.h"
#include "platform/clock.h"
#include "platform/win32/event_loop_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/tcp_socket_win32.h"
#include "speedtest/download_client.h"
#include "speedtest/download_run.h"

namespace brisko::test {
namespace {

// A terminal download test as brisko-cli.exe runs it: the window's timer and the
// watchdog are loop timers, the loop ends when the test does. Returns the failure.
std::string DataTest(const std::string& url) {
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
    test.Start();
    if (!test.Done()) loop.Run();
    return test.Failure();
}

TEST(TcpSocketWin32, RefusalsAndUnreachableServersEndWithTheWindowsMessages) {
    // Port 1 on loopback: nobody listens, Winsock refuses (10061).
    const std::string refused = DataTest("127.0.0.1:1/5MB.zip");
    EXPECT_EQ(refused.rfind(kConnectionDownText, 0), 0u) << refused;
    EXPECT_EQ(refused.substr(std::string(kConnectionDownText).size()), WinsockErrorText(10061));
}

}  // namespace
}  // namespace brisko::test
