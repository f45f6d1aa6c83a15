// SPDX-License-Identifier: GPL-3.0-or-later
// The Network Quality window over a network on a fake clock: the figures fill in as the
// run goes, the probes are charted by kind, a failure says where and keeps what was
// measured, and closing the window stops the run.
#include <gtest/gtest.h>

#include <QChartView>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <tuple>

#include "quality/quality_window.h"
#include "shell/accessible_text.h"
#include "tests/support/fake_network.h"
#include "tests/support/fakes.h"

namespace brisko::test {
namespace {

class QualityWindowTest : public ::testing::Test {
protected:
    QualityWindowTest() : loop(clock), network(loop, clock) {
        locale.decimalSeparator = ",";
        services = {&loop, &network, &clock, &locale, &history, "127.0.0.1:8080", {}};
        services.options.phaseSeconds = 2;
        services.options.streams = 4;
    }
    std::unique_ptr<brisko::quality> Open() {
        auto window = std::make_unique<brisko::quality>(services);
        window->show();
        return window;
    }
    static QString Text(QWidget* window, const char* label) { return window->findChild<QLabel*>(label)->text(); }
    static QPushButton* Button(QWidget* window) { return window->findChild<QPushButton*>("btnStart"); }
    static int Probes(QWidget* window, const char* series) {
        for (QAbstractSeries* s : window->findChild<QChartView*>("chartLatency")->chart()->series())
            if (s->objectName() == series) return static_cast<int>(static_cast<QScatterSeries*>(s)->count());
        ADD_FAILURE() << "no series " << series;
        return -1;
    }
    bool RunUntilEnd(QWidget* window) {
        return loop.RunFor(40, [&] { return ShownCaption(Button(window)->text()) == "Start"; });
    }

    FakeClock clock;
    FakeEventLoop loop;
    FakeNetwork network;
    FakeHistory history;
    FakeLocale locale;
    QualityWindowServices services;
};

TEST_F(QualityWindowTest, FiguresFillInAsTheRunGoesAndTheProbesAreChartedByKind) {
    auto window = Open();
    EXPECT_EQ(Text(window.get(), "lblServer"), "127.0.0.1:8080 (4 streams, 2 s a phase)");
    Button(window.get())->click();
    EXPECT_EQ(ShownCaption(Button(window.get())->text()), "Stop");
    EXPECT_EQ(Text(window.get(), "lblPhase"), "Running: idle latency");

    // Once the idle probes are done, their figures show while the rest is still to come.
    ASSERT_TRUE(loop.RunFor(10, [&] { return Text(window.get(), "lblIdleLatency") != "\xE2\x80\x93"; }));
    EXPECT_TRUE(Text(window.get(), "lblIdleLatency").endsWith(" ms"));
    EXPECT_EQ(Text(window.get(), "lblUpload"), "\xE2\x80\x93");
    EXPECT_EQ(Probes(window.get(), "seriesIdle"), 10);
    EXPECT_EQ(Probes(window.get(), "seriesLoaded"), 0);

    ASSERT_TRUE(RunUntilEnd(window.get()));
    EXPECT_EQ(Text(window.get(), "lblPhase"), "Finished: every figure measured.");
    // The link carries 80 Mbit/s; 10 ms idle, 60 ms loaded: 1000 RPM or so.
    const double download = Text(window.get(), "lblDownload").split(' ')[0].replace(',', '.').toDouble();
    EXPECT_NEAR(download, 80, 8) << Text(window.get(), "lblDownload").toStdString();
    EXPECT_TRUE(Text(window.get(), "lblUploadSingle").endsWith(" Mbit/s"));
    EXPECT_TRUE(Text(window.get(), "lblRpm").endsWith(" RPM"));
    EXPECT_TRUE(Text(window.get(), "lblLoadedLatency").endsWith(" ms"));
    EXPECT_TRUE(window->findChild<QLabel*>("lblMessage")->isHidden());
    EXPECT_GT(Probes(window.get(), "seriesLoaded"), 20);
    EXPECT_GT(Probes(window.get(), "seriesOnLoad"), 0);
    ASSERT_EQ(history.Records().size(), 1u);
    EXPECT_TRUE(history.Records()[0].Quality()->failure.empty());
}

TEST_F(QualityWindowTest, AFailedRunSaysWhereAndKeepsWhatItMeasured) {
    network.uploadStatus = 404;
    auto window = Open();
    Button(window.get())->click();
    ASSERT_TRUE(RunUntilEnd(window.get()));
    QLabel* message = window->findChild<QLabel*>("lblMessage");
    EXPECT_FALSE(message->isHidden());
    EXPECT_EQ(message->text(),
              "The run failed during the single-stream upload phase: the server answered 404 Not Found. The "
              "figures measured so far are kept, marked incomplete.");
    EXPECT_EQ(Text(window.get(), "lblPhase"), "Incomplete");
    EXPECT_EQ(window->findChild<QGroupBox*>("Figures")->title(), "Figures (incomplete)");
    EXPECT_TRUE(Text(window.get(), "lblDownload").endsWith(" Mbit/s"));
    EXPECT_EQ(Text(window.get(), "lblUpload"), "not measured");
    ASSERT_EQ(history.Records().size(), 1u);
    EXPECT_EQ(history.Records()[0].Quality()->failure, "single-stream upload: the server answered 404 Not Found");

    // A new run starts clean.
    network.uploadStatus = 200;
    Button(window.get())->click();
    EXPECT_TRUE(message->isHidden());
    EXPECT_EQ(Text(window.get(), "lblDownload"), "\xE2\x80\x93");
}

TEST_F(QualityWindowTest, ClosingTheWindowStopsTheRunAndABadServerIsSaid) {
    auto window = Open();
    Button(window.get())->click();
    loop.RunFor(3, [] { return false; });
    window->close();
    loop.RunPosted();
    EXPECT_FALSE(window->Result().failure.empty());
    ASSERT_EQ(history.Records().size(), 1u);
    EXPECT_EQ(history.Records()[0].Quality()->failure, "stopped");

    // The server as BRISKO_TEST_SERVER names it, or the data test's with the reason why not.
    const std::tuple<std::string, QString, QString> overrides[] = {
        {"two words", "speedtest.tele2.net:80 ", "\"two words\" is not a host name or address"},
        {"::1:8080", "speedtest.tele2.net:80 ", "an IPv6 address goes in brackets, as [address] or [address]:port"},
        {"[::1]:8080", "[::1]:8080 ", ""},
        {"[fe80::1%eth0]", "[fe80::1%eth0]:80 ", ""},
    };
    for (const auto& [server, shown, problem] : overrides) {
        services.serverOverride = server;
        auto other = Open();
        EXPECT_TRUE(Text(other.get(), "lblServer").startsWith(shown)) << Text(other.get(), "lblServer").toStdString();
        EXPECT_EQ(other->findChild<QLabel*>("lblMessage")->isHidden(), problem.isEmpty()) << server;
        EXPECT_TRUE(Text(other.get(), "lblMessage").contains(problem)) << Text(other.get(), "lblMessage").toStdString();
    }
}

}  // namespace
}  // namespace brisko::test
