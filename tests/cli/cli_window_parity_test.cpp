// One scripted server, two front ends: the Data Speed Tests window and brisko-cli's
// test run must show the same figures tick by tick and write the same report.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <sstream>

#include "cli/data_test_command.h"
#include "speedtest/data_window.h"
#include "speedtest/download_files.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_external_browser.h"
#include "tests/support/fake_locale.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/fake_printer.h"
#include "tests/support/fake_save_dialog.h"
#include "tests/support/fake_tcp_socket.h"
#include "tests/support/temp_folder.h"

namespace brisko {
namespace {

class FakeSocketFactory final : public TcpSocketFactory {
public:
    std::unique_ptr<TcpSocket> Create() override {
        auto socket = std::make_unique<test::FakeTcpSocket>();
        last = socket.get();
        return socket;
    }
    test::FakeTcpSocket* last = nullptr;
};

// The server's answer: the header in two pieces, then the body per timer period.
constexpr std::int64_t kSize = 20'000'000;
const std::string kHeader = "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 20000000\r\n\r\n";
const std::vector<std::int64_t> kIntervals = {600000, 6000000, 0, 123457, 9000000, 0, 4276543 - 77};

// Plays the script on one socket, calling tick after every period; snapshot() is
// taken after each tick.
std::vector<std::string> Play(test::FakeTcpSocket& socket, test::FakeClock& clock, const std::function<void()>& tick,
                              const std::function<std::string()>& snapshot) {
    std::vector<std::string> shown;
    socket.Accept();
    socket.Arrive(kHeader.substr(0, 30));
    clock.Advance(0.1);
    socket.Arrive(kHeader.substr(30) + std::string(77, 'x'));
    for (std::int64_t bytes : kIntervals) {
        clock.Advance(0.5);
        if (bytes) socket.ArriveCounted(static_cast<std::uint64_t>(bytes));
        tick();
        shown.push_back(snapshot());
    }
    return shown;
}

TEST(CliWindowParityTest, SameScriptSameFiguresSameReport) {
    test::TempFolder folder;
    test::FakeLocale locale;
    locale.decimalSeparator = ",";

    // The window, as a user runs it.
    test::FakeClock windowClock;
    test::FakeMessageBox messages;
    FakeSocketFactory sockets;
    test::FakeSaveDialog dialog;
    test::FakePrinter printer;
    test::FakeExternalBrowser browser;
    DataWindowServices context;
    context.clock = &windowClock;
    context.messages = &messages;
    context.sockets = &sockets;
    context.locale = &locale;
    context.saveDialog = &dialog;
    context.printer = &printer;
    context.externalBrowser = &browser;
    qputenv(kTestServerVariable, "files.example");
    QPointer<data> window = new data(context);
    qunsetenv(kTestServerVariable);
    auto* timer = window->findChild<QTimer*>("Timer1");
    auto label = [&](const std::string& name) {
        const auto* l = window->findChild<QLabel*>(QString::fromStdString(name));
        return l ? l->text().toStdString() : std::string();
    };
    window->findChild<QAbstractButton*>("btnStartTest")->click();
    const std::vector<std::string> windowTicks = Play(
        *sockets.last, windowClock,
        [&] {
            if (timer->isActive()) QMetaObject::invokeMethod(timer, "timeout");
        },
        [&] { return cli::DownloadProgressText(label); });
    ASSERT_EQ(messages.Texts(), std::vector<std::string>{kDoneText});
    window->findChild<QLineEdit*>("txtComments")->clear();
    dialog.answer = folder / "window";
    window->findChild<QAction*>("mnuSave")->trigger();

    // The terminal run, on a socket and clock of its own.
    test::FakeClock cliClock;
    test::FakeTcpSocket cliSocket;
    std::ostringstream progressOut;
    cli::ProgressLine progress(progressOut, false);
    bool timerOn = false;
    cli::CliDataTest cliTest(cliSocket, cliClock, locale, progress, "files.example/5MB.zip",
                             {[&](bool on) { timerOn = on; }, {}});
    cliTest.Start();
    const std::vector<std::string> cliTicks = Play(
        cliSocket, cliClock,
        [&] {
            if (timerOn) cliTest.OnTimer();
        },
        [&] { return cli::DownloadProgressText([&](const std::string& c) { return cliTest.Text(c); }); });
    ASSERT_TRUE(cliTest.Succeeded()) << cliTest.Failure();

    EXPECT_EQ(cliTicks, windowTicks);
    // The terminal printed one line per tick that showed progress, as the window showed it.
    std::string printed;
    for (std::size_t i = 0; i + 1 < windowTicks.size(); ++i) printed += windowTicks[i] + "\n";
    EXPECT_EQ(progressOut.str(), printed);
    EXPECT_NE(printed.find("Speed - 11718 KB/s  Max - 11718 KB/s  Min - 1172 KB/s"), std::string::npos) << printed;

    for (const char* control :
         {"lblFileSize", "lblTotalTime", "lblAverageSpeed", "lblMaximumSpeed", "lblMinimumSpeed"})
        EXPECT_EQ(cliTest.Text(control), label(control)) << control;
    EXPECT_EQ(label("lblTotalTime"), "3,6 seconds");

    const std::string cliReport = folder / "cli.txt";
    std::ostringstream out, err;
    ASSERT_EQ(cli::FinishDataTest(cliTest, cliReport, false, locale, out, err), 0) << err.str();
    EXPECT_EQ(test::ReadFileBytes(cliReport), test::ReadFileBytes(folder / "window.txt"));

    std::ostringstream json, jsonErr;
    cli::FinishDataTest(cliTest, "", true, locale, json, jsonErr);
    EXPECT_EQ(json.str(),
              "{\"url\":\"files.example/5MB.zip\",\"bytes\":20000000,\"seconds\":3.6,\"average_kb_s\":5425,"
              "\"max_kb_s\":17578,\"min_kb_s\":0,\"speeds_kb_s\":[1172,11718,0,241,17578,0]}\n");
    delete window.data();
}

}  // namespace
}  // namespace brisko
