// SPDX-License-Identifier: GPL-3.0-or-later
// Whole quality runs over a fake network: a good link, and servers and links that fail
// in each way a run must survive without hanging.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "quality/http_connection.h"
#include "quality/quality_test.h"
#include "tests/support/fake_network.h"
#include "tests/support/fakes.h"

namespace brisko::test {
namespace {

class QualityRunTest : public ::testing::Test {
protected:
    QualityRunTest() : loop(clock), network(loop, clock) {}

    void Start(double phaseSeconds = 2, int streams = 4) {
        QualityOptions options;
        options.host = "127.0.0.1";
        options.port = 8080;
        options.phaseSeconds = phaseSeconds;
        options.streams = streams;
        QualityEvents events;
        events.progress = [this](const QualityResult&) { progressAt.push_back(clock.MonotonicSeconds()); };
        events.finished = [this](const QualityResult&) {
            ++finished;
            finishedAt = clock.MonotonicSeconds();
        };
        started = clock.MonotonicSeconds();
        test = std::make_unique<QualityTest>(loop, network, clock, options, events, &history, "brisko-cli");
        test->Start();
    }
    // Runs until the test has finished, at most seconds.
    bool RunToEnd(double seconds = 30) {
        return loop.RunFor(seconds, [this] { return finished > 0; });
    }
    const QualityResult& Result() const { return test->Result(); }
    const QualityRecord* Recorded() {
        return history.Records().empty() ? nullptr : history.Records().back().Quality();
    }

    FakeClock clock;
    FakeEventLoop loop;
    FakeNetwork network;
    FakeHistory history;
    std::unique_ptr<QualityTest> test;
    double started = 0, finishedAt = 0;
    int finished = 0;
    std::vector<double> progressAt;
};

TEST_F(QualityRunTest, GoodLinkGivesEveryFigure) {
    Start(3, 8);
    ASSERT_TRUE(RunToEnd());
    const QualityResult& r = Result();
    EXPECT_TRUE(r.Complete()) << r.failure;
    EXPECT_EQ(finished, 1);
    // The link carries 80 Mbit/s each way, over one stream and over eight.
    for (const auto& rate : {r.downloadSingleMbit, r.downloadMbit, r.uploadSingleMbit, r.uploadMbit}) {
        ASSERT_TRUE(rate);
        EXPECT_NEAR(*rate, 80, 8);
    }
    // 10 ms idle; 60 ms once loaded, for the connect and the HTTP round trip alike, so
    // 60000 / 60 = 1000 RPM.
    EXPECT_NEAR(*r.idleLatencyMs, 10, 2);
    EXPECT_LT(*r.jitterMs, 2);
    EXPECT_NEAR(*r.loadedLatencyMs, 60, 4);
    EXPECT_NEAR(*r.responsivenessRpm, 1000, 80);
    int self = 0, foreign = 0;
    for (const LatencySample& s : r.samples)
        if (s.phase == QualityPhase::Download || s.phase == QualityPhase::Upload) ++(s.onLoadedConnection ? self : foreign);
    EXPECT_GE(self, 6);
    EXPECT_GT(foreign, 20);
    // Four phases of 3 s after ten idle probes; progress twice a second throughout.
    EXPECT_NEAR(finishedAt - started, 12.7, 0.3);
    EXPECT_NEAR(static_cast<double>(progressAt.size()), (finishedAt - started) * 2, 2);
    const QualityRecord* record = Recorded();
    ASSERT_TRUE(record);
    EXPECT_EQ(record->server, "127.0.0.1:8080");
    EXPECT_EQ(record->streams, 8);
    EXPECT_EQ(record->downloadMbit, r.downloadMbit);
    EXPECT_EQ(record->responsivenessRpm, r.responsivenessRpm);
    EXPECT_TRUE(record->failure.empty());
}

// A server or link that fails a phase ends the run there, at once or within the phase's
// bound, naming the phase; what was measured before stays, in the history too.
TEST_F(QualityRunTest, AFailedPhaseIsNamedAndTheFiguresBeforeItStay) {
    const struct {
        std::function<void(FakeNetwork&, double now)> fault;
        double phaseSeconds;
        std::string failure;  // its start
        double endsAfter;     // the fault, at most this long
        std::optional<double> QualityResult::*kept;
    } cases[] = {
        {[](FakeNetwork& n, double) { n.uploadStatus = 404; }, 2,
         "single-stream upload: the server answered 404 Not Found", 10, &QualityResult::downloadMbit},
        {[](FakeNetwork& n, double) { n.keepAlive = false; }, 2,
         "download: the server closes the connection after each answer", 10, &QualityResult::downloadSingleMbit},
        {[](FakeNetwork& n, double now) { n.resetAt = now + 4.0; }, 2,  // four streams
         "download: the server ended the connection", 0.05, &QualityResult::downloadSingleMbit},
        {[](FakeNetwork& n, double now) { n.stallAt = now + 11.0; }, 5,  // one-stream upload
         "single-stream upload: the server has taken nothing for 3 seconds", 3.1, &QualityResult::downloadMbit},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        network.keepAlive = true;
        network.uploadStatus = 200;
        network.resetAt.reset();
        network.stallAt.reset();
        finished = 0;
        c.fault(network, clock.MonotonicSeconds());
        Start(c.phaseSeconds);
        const double faultAt = network.resetAt ? *network.resetAt : network.stallAt ? *network.stallAt : started;
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(Result().failure.rfind(c.failure, 0), 0u) << Result().failure;
        EXPECT_LT(finishedAt - faultAt, c.endsAfter);
        EXPECT_TRUE(Result().*c.kept);
        ASSERT_TRUE(Recorded());
        EXPECT_EQ(Recorded()->failure, Result().failure);
        if (c.failure.find("404") != std::string::npos) EXPECT_FALSE(Result().uploadSingleMbit || Result().uploadMbit);
    }
}

TEST_F(QualityRunTest, SilentOrAbsentServerFailsTheIdleProbes) {
    network.silent = true;
    Start();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Result().failure, "idle latency: the server did not answer a latency probe within 3 seconds");
    EXPECT_LT(finishedAt - started, 3.1);
    EXPECT_FALSE(Recorded());  // nothing was measured

    finished = 0;
    network.silent = false;
    network.refuse = true;
    Start();
    ASSERT_TRUE(RunToEnd());
    EXPECT_EQ(Result().failure, "idle latency: cannot connect to 127.0.0.1:8080: Connection refused");
}

TEST_F(QualityRunTest, SlowProbesEndTheIdlePhaseInTime) {
    network.roundTrip = 0.4;  // a probe takes 0.8 s: connect and request
    network.loadedExtra = 0;
    Start(1, 2);
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(Result().Complete()) << Result().failure;
    const auto idle = std::count_if(Result().samples.begin(), Result().samples.end(),
                                    [](const LatencySample& s) { return s.phase == QualityPhase::IdleLatency; });
    EXPECT_EQ(idle, 6);  // by 5 s, not the ten
    EXPECT_NEAR(*Result().idleLatencyMs, 400, 5);
    EXPECT_LT(finishedAt - started, 5.2 + 4 * 1 + 0.2);
}

TEST_F(QualityRunTest, StopKeepsWhatWasMeasured) {
    Start();
    loop.RunFor(4.0, {});
    EXPECT_TRUE(test->Running());
    test->Stop();
    EXPECT_FALSE(test->Running());
    loop.RunFor(0.1, {});
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(Result().failure, "stopped");
    EXPECT_TRUE(Result().downloadSingleMbit);
    ASSERT_TRUE(Recorded());
    EXPECT_EQ(Recorded()->failure, "stopped");
    // No connection is left behind.
    const int made = network.made;
    loop.RunFor(1.0, {});
    EXPECT_EQ(network.made, made);
}

// Hands out fake sockets and remembers the last, for one HttpConnection at a time.
struct LastSocketFactory final : TcpSocketFactory {
    std::unique_ptr<TcpSocket> Create() override {
        auto s = std::make_unique<FakeTcpSocket>();
        last = s.get();
        return s;
    }
    FakeTcpSocket* last = nullptr;
};

// Answers as a server sends them, however the bytes are cut into reads; and answers
// that are not HTTP fail the connection.
TEST(HttpConnection, ReadsPipelinedAnswersCutAnywhereAndRefusesWhatIsNotHttp) {
    const std::string answers =
        "HTTP/1.1 100 Continue\r\n\r\n"
        "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n123"
        "HTTP/1.1 404 Not Found\r\ncontent-length: 0\r\n\r\n"
        "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n0\r\n\r\n";
    for (std::size_t piece : {answers.size(), std::size_t(1), std::size_t(7)}) {
        LastSocketFactory factory;
        std::vector<HttpAnswer> got;
        std::string failure;
        HttpConnection http(factory, "h", 80,
                            {nullptr, [&](const HttpAnswer& a) { got.push_back(a); },
                             [&](const std::string& why) { failure = why; }});
        http.Connect();
        for (int i = 0; i < 3; ++i) http.Get("/x");
        FakeTcpSocket& socket = *factory.last;
        socket.Accept();
        EXPECT_EQ(socket.sent, RequestHeader("GET", "/x", "h", 80));  // the next waits for the first to go
        for (std::size_t at = 0; at < answers.size(); at += piece) socket.Arrive(answers.substr(at, piece));
        ASSERT_EQ(got.size(), 3u) << piece << failure;
        EXPECT_EQ(got[0].status, 200);
        EXPECT_EQ(got[0].body, "123");
        EXPECT_TRUE(got[0].keepAlive);
        EXPECT_EQ(got[1].StatusText(), "404 Not Found");
        EXPECT_EQ(got[2].bodyBytes, 4u);
        EXPECT_FALSE(got[2].keepAlive);
        EXPECT_EQ(http.BodyBytesReceived(), 7u);
        EXPECT_EQ(failure, "");
        socket.PeerCloses();
        EXPECT_EQ(failure, "the server ended the connection");
    }
    for (const std::string& answer : {std::string("220 Welcome\r\n\r\n"),
                                      std::string("HTTP/1.1 200 OK\r\nContent-Length: 1, 2\r\n\r\n"),
                                      std::string("HTTP/1.1 200 OK\r\n") + std::string(20000, 'a')}) {
        LastSocketFactory factory;
        std::string failure;
        HttpConnection http(factory, "h", 80, {nullptr, nullptr, [&](const std::string& why) { failure = why; }});
        http.Connect();
        http.Get("/quality/probe");
        factory.last->Accept();
        factory.last->Arrive(answer);
        EXPECT_EQ(failure.rfind("the server's answer is ", 0), 0u) << answer.substr(0, 30);
        EXPECT_FALSE(factory.last->open);
    }
}

}  // namespace
}  // namespace brisko::test
