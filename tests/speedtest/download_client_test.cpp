#include "speedtest/download_client.h"

#include <gtest/gtest.h>

#include "tests/support/fake_clock.h"
#include "tests/support/fake_message_box.h"
#include "tests/support/fake_tcp_socket.h"

namespace brisko {
namespace {

const std::string kOkHeader =
    "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 4194304\r\nConnection: close\r\n\r\n";

TEST(SplitTestUrlTest, SplitsHostPortAndPath) {
    const std::pair<const char*, const char*> cases[] = {
        {"H/a/b.exe", "H 80 /a/b.exe"}, {"127.0.0.1:8080/5MB.zip", "127.0.0.1 8080 /5MB.zip"}, {"host/", "host 80 /"},
        {"host", ""}, {"/5MB.zip", ""}, {":80/x", ""}, {"h:/x", ""}, {"h:0/x", ""}, {"h:65536/x", ""}, {"h:8o/x", ""},
    };
    for (const auto& [url, expected] : cases) {
        const auto a = SplitTestUrl(url);
        EXPECT_EQ(a ? a->host + " " + std::to_string(a->port) + " " + a->path : "", expected) << url;
    }
}

TEST(FirstChunkTest, FollowsTheRulesTable) {
    const std::string body(1000, 'x');
    const struct {
        const char* what;
        std::string chunk;
        bool refused;
        std::int64_t total, bodyBytes;
    } cases[] = {
        {"size and body", kOkHeader + body, false, 4194304, 1000},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n", true, 0, 0},
        {"redirect", "HTTP/1.1 302 Found\r\nLocation: http://x/\r\n\r\n", true, 0, 0},
        {"status line cut short", "HTTP/1.1 20", true, 0, 0},
        {"HTTP/1.0 status", "HTTP/1.0 200 OK\r\nContent-Type: a\r\nContent-Length: 10\r\n\r\n12345", false, 10, 5},
        {"names in capitals", "HTTP/1.1 200 OK\r\nCONTENT-TYPE: a\r\nCONTENT-LENGTH: 4194304\r\n\r\n" + body, false,
         4194304, 1000},
        {"no blank after the colon",
         "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length:4194304\r\n\r\n", false, 194304, 0},
        {"size 0", "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: 0\r\n\r\n", false, AssumedSize, 0},
        {"no size", "HTTP/1.1 200 OK\r\nContent-Type: a\r\n\r\n" + body, false, AssumedSize, 1000},
        {"no type: all counted", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\nabc", false, AssumedSize, 42},
        {"not http at all", "220 Welcome to the file store\r\n", false, AssumedSize, 31},
        {"no empty line: all but three counted", "HTTP/1.1 200 OK\r\nContent-Type: a\r\n", false, AssumedSize, 31},
        {"negative size", "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: -1\r\n\r\n", false, AssumedSize, 0},
        {"size not a number", "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: abc\r\n\r\n", false,
         AssumedSize, 0},
        {"size beyond the counter",
         "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: 99999999999999999999\r\n\r\n", false, AssumedSize, 0},
        {"empty size", "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: \r\n\r\n", false, AssumedSize, 0},
        {"blanks trimmed", "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length:  77 \t\r\n\r\n", false, 77, 0},
        {"LF-only lines", "HTTP/1.1 200 OK\nContent-Type: a\nContent-Length: 5\n\nabcde", false, AssumedSize, 53},
        {"beyond 2 GB", "HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: 5000000000\r\n\r\n", false,
         5000000000, 0},
        {"size past the position limit",
         "HTTP/1.1 200 OK\r\nContent-Type: a\r\nX-Pad: " + std::string(33000, 'p') +
             "\r\nContent-Length: 10\r\n\r\n",
         false, AssumedSize, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const FirstChunkVerdict v = JudgeFirstChunk(c.chunk);
        EXPECT_EQ(v.refused, c.refused);
        if (c.refused) continue;
        EXPECT_EQ(v.totalBytes, c.total);
        EXPECT_EQ(v.bodyBytes, c.bodyBytes);
    }
}

class DownloadClientTest : public ::testing::Test {
protected:
    DownloadClientTest() { client.SetTestUrl("files.example/dir/4MB.bin"); }

    void Connect() {
        client.ConnectToTestServer();
        socket.Accept();
    }

    test::FakeTcpSocket socket;
    test::FakeClock clock;
    test::FakeMessageBox messages;
    int timerStarts = 0;
    DownloadClient client{socket, clock, messages, [this] { ++timerStarts; }};
};

TEST_F(DownloadClientTest, ConnectsOnPort80AndSendsTheRequest) {
    Connect();
    EXPECT_EQ(socket.connects, (std::vector<std::pair<std::string, std::uint16_t>>{{"files.example", 80}}));
    EXPECT_EQ(socket.sent, "GET /dir/4MB.bin HTTP/1.0\r\nReferer: http://files.example\r\nConnection: Keep-Alive\r\n"
                           "User-Agent: Default\r\nHost: files.example\r\nAccept: */*\r\nAccept-Language: en\r\n\r\n");
}

TEST_F(DownloadClientTest, HeaderSplitAtAnyByteIsJudgedWhole) {
    const std::string response = kOkHeader + std::string(500, 'b');
    for (std::size_t cut = 1; cut < kOkHeader.size(); ++cut) {
        SCOPED_TRACE(cut);
        client.ResetReceivedBytes();
        timerStarts = 0;
        Connect();
        socket.Arrive(response.substr(0, cut));
        EXPECT_FALSE(client.HeaderDone());
        socket.Arrive(response.substr(cut));
        EXPECT_TRUE(client.HeaderDone());
        EXPECT_EQ(timerStarts, 1);
        EXPECT_EQ(client.Counters().TotalBytes, 4194304);
        EXPECT_EQ(client.Counters().ReceivedBytes, 500);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DownloadClientTest, EndlessHeaderIsJudgedAtTheLimit) {
    Connect();
    const std::string start = "HTTP/1.1 200 OK\r\nContent-Type: a\r\nX-Long: ";
    socket.Arrive(start);
    socket.Arrive(std::string(kHeaderLimit - start.size() - 1, 'y'));
    EXPECT_FALSE(client.HeaderDone());
    socket.Arrive("y");
    EXPECT_TRUE(client.HeaderDone());
    EXPECT_EQ(client.Counters().TotalBytes, AssumedSize);
    EXPECT_EQ(client.Counters().ReceivedBytes, static_cast<std::int64_t>(kHeaderLimit - 3));
}

TEST_F(DownloadClientTest, RefusedStatusIsReportedAsSoonAsItIsKnown) {
    Connect();
    socket.Arrive("HTTP/1.1 4");
    EXPECT_TRUE(messages.shown.empty());
    socket.Arrive("04 Not Found\r\n");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error! File not found."});
    EXPECT_EQ(messages.shown[0].title, "Brisko");
    EXPECT_FALSE(socket.open);
    EXPECT_FALSE(client.HeaderDone());
    EXPECT_EQ(timerStarts, 0);
}

TEST_F(DownloadClientTest, PeerClosingMidHeaderJudgesWhatCame) {
    Connect();
    socket.Arrive("HTTP/1.1 200 OK\r\nContent-Type: a\r\n");
    socket.PeerCloses();
    EXPECT_TRUE(client.HeaderDone());
    EXPECT_EQ(client.Counters().TotalBytes, AssumedSize);
    socket.PeerCloses();  // after the header: nothing happens
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DownloadClientTest, SmallFileInTheFirstChunkCompletesAtOnce) {
    Connect();
    clock.Advance(1.25);
    socket.Arrive("HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: 5\r\n\r\nabcde");
    EXPECT_FALSE(socket.open);
    EXPECT_DOUBLE_EQ(client.EndTime(), clock.MonotonicSeconds());
    EXPECT_EQ(client.Counters().ReceivedBytes, 5);
}

TEST_F(DownloadClientTest, CompletesWhenTheCountReachesTheSize) {
    Connect();
    socket.Arrive("HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: 3000000000\r\n\r\n");
    socket.ArriveCounted(2'000'000'000);
    socket.ArriveCounted(999'999'999);
    EXPECT_TRUE(socket.open);
    clock.Advance(2);
    socket.ArriveCounted(1);
    EXPECT_EQ(client.Counters().ReceivedBytes, 3'000'000'000);
    EXPECT_FALSE(socket.open);
    const double end = client.EndTime();
    clock.Advance(1);
    socket.Arrive("late");
    EXPECT_EQ(client.EndTime(), end);
}

TEST_F(DownloadClientTest, SocketErrorsAndBadAddressesOnlyShowAMessage) {
    client.ConnectToTestServer();
    socket.Fail(10061, "Connection refused");
    EXPECT_TRUE(socket.open);
    client.SetTestUrl("no-path-here");
    client.ConnectToTestServer();
    EXPECT_EQ(socket.connects.size(), 1u);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, "Error! Your Internet connection may be down. Connection refused");
    EXPECT_NE(messages.shown[1].text.find("no-path-here"), std::string::npos);
}

}  // namespace
}  // namespace brisko
