// The download test run over the real socket, without a window: what a terminal
// front end gets.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include "platform/clock.h"
#include "platform/qt/tcp_socket_qt.h"
#include "speedtest/test_run.h"
#include "tests/support/fake_data_test_view.h"
#include "tests/support/fake_locale.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/qt/test_server.h"

namespace brisko {
namespace {

// A view with a real timer and nothing else: no widget repaints to wake the loop.
class TimerView final : public DataTestView {
public:
    TimerView() {
        timer.setInterval(kTimerIntervalMs);
        timer.setTimerType(Qt::PreciseTimer);
    }
    void SetText(const std::string& control, const std::string& text) override { fake.SetText(control, text); }
    void SetProgressBar(int value) override { fake.SetProgressBar(value); }
    void SetTimerEnabled(bool enabled) override {
        if (!enabled)
            timer.stop();
        else if (!timer.isActive())
            timer.start();
    }
    int TimerInterval() const override { return timer.interval(); }
    void SetSaveEnabled(bool) override {}
    void SetResultsVisible(bool) override {}
    void SetWindowHeight(int) override {}
    std::string SelectedTestUrl() const override { return url; }

    QTimer timer;
    test::FakeDataTestView fake;
    std::string url;
};

TEST(SocketTimerTest, TicksKeepTheirRhythmWhileDataPoursIn) {
    test::TestServerProcess server({"--stream", "1024G", "--quiet"});
    ASSERT_TRUE(server.Started());
    SystemClock clock;
    TcpSocketQt socket;
    test::FakeLocale locale;
    test::FakeMessageBox messages;
    TimerView view;
    view.url = server.Address().toStdString() + "/5MB.zip";
    DataSpeedTest run(socket, clock, locale, messages, view);

    QObject::connect(&view.timer, &QTimer::timeout, [&] { run.Tick(); });
    QEventLoop loop;
    int ticks = 0;
    QElapsedTimer elapsed;
    QObject::connect(&view.timer, &QTimer::timeout, &loop, [&] {
        if (++ticks == 4) loop.quit();
    });
    // Stands in for a timer: the data events themselves end the wait if ticks starve.
    // A busy receiver: each data event takes a while, so the socket is ready again on
    // every pass of the loop, as on a slow machine.
    QObject::connect(socket.Socket(), &QTcpSocket::readyRead, &loop, [&] {
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 1'000'000) {
        }
        if (elapsed.elapsed() > 20000) loop.quit();
    });
    elapsed.start();
    run.OnStartButton();
    loop.exec();
    EXPECT_EQ(ticks, 4) << "after " << elapsed.elapsed() << " ms";
    EXPECT_LT(elapsed.elapsed(), 10000);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_GT(std::stoll(view.fake.Text("lblkbSoFar").substr(13)), 0);
}

}  // namespace
}  // namespace brisko
