// SPDX-License-Identifier: GPL-3.0-or-later
#include "speedtest/download_client.h"
#include "speedtest/download_files.h"
#include "quality/http_connection.h"
#include "webtest/start_page.h"

#include <gtest/gtest.h>

#include "tests/support/fakes.h"

namespace brisko {
namespace {

const std::string kOkHeader =
    "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 4194304\r\nConnection: close\r\n\r\n";

// Every reader of BRISKO_TEST_SERVER (the data test, the quality test, the web tests'
// start page) goes through ParseServer; a reason must say what to write instead.
TEST(ServerAddressTest, GoodAndBadForms) {
    struct Row {
        const char* text;
        const char* want;  // "host port", or "!" and part of the reason
    };
    const Row rows[] = {
        {"files.lan", "files.lan 80"},
        {"192.168.1.10:8080", "192.168.1.10 8080"},
        {"h:65535", "h 65535"},
        {"[::1]", "::1 80"},
        {"[::1]:8080", "::1 8080"},
        {"[fe80::1%eth0]:8080", "fe80::1%eth0 8080"},
        {"[::ffff:192.0.2.1]:1", "::ffff:192.0.2.1 1"},
        {"[1:2:3:4:5:6:7:8]", "1:2:3:4:5:6:7:8 80"},
        {"[::1", "!the [ of \"[::1\" has no ]"},
        {"[::1]x", "!only a colon and a port may follow the ]"},
        {"[]:80", "!\"\" in the brackets is not an IPv6 address"},
        {"[files.lan]:80", "!not an IPv6 address"},
        {"[1:2:3:4:5:6:7:8:9]", "!not an IPv6 address"},
        {"[1::2::3]", "!not an IPv6 address"},
        {"[::1.2.3]", "!not an IPv6 address"},
        {"[fe80::1%]", "!not an IPv6 address"},
        {"::1:80", "!an IPv6 address goes in brackets, as [address] or [address]:port"},
        {"::1", "!goes in brackets"},
        {"host:", "!the colon has no port after it"},
        {"[::1]:", "!the colon has no port after it"},
        {"host:0", "!the port must be a number from 1 to 65535, not \"0\""},
        {"host:65536", "!from 1 to 65535"},
        {"[::1]:0", "!from 1 to 65535"},
        {"h:8o", "!from 1 to 65535"},
        {":80", "!there is no host before the colon"},
        {"", "!it is empty"},
        {"http://host", "!without http://"},
        {"ho st", "!\"ho st\" is not a host name or address"},
        {"h/x", "!not a host name"},
    };
    for (const Row& row : rows) {
        std::string why;
        const std::optional<ServerAddress> a = ParseServer(row.text, &why);
        const std::string got = a ? a->host + " " + std::to_string(a->port) : "!" + why;
        if (row.want[0] == '!')
            EXPECT_NE(got.find(row.want + 1), std::string::npos) << row.text << ": " << got;
        else
            EXPECT_EQ(got, row.want) << row.text;
        EXPECT_EQ(IsValidServer(row.text), a.has_value()) << row.text;
    }
}

// Where a server's name is written back out: test file tags, Host and Referer lines,
// the quality test's requests, the web tests' start page. An IPv6 address is bracketed
// everywhere, and its zone only stays where this machine reads it.
TEST(ServerAddressTest, WrittenOutWithBrackets) {
    const std::pair<std::string, std::string> cases[] = {
        {MakeTestFileTags("192.168.1.10:8080").tags[0], "192.168.1.10:8080/5MB.zip"},
        {MakeTestFileTags("files.lan").tags[1], "files.lan/10MB.zip"},
        {MakeTestFileTags("[::1]:8080").tags[2], "[::1]:8080/50MB.zip"},
        {MakeTestFileTags("[::1]:80").tags[0], "[::1]/5MB.zip"},
        {MakeTestFileTags("[fe80::1%eth0]:81").tags[0], "[fe80::1%eth0]:81/5MB.zip"},
        {DefaultTestPage("[::1]:8080").address, "http://[::1]:8080/default.html"},
        {DefaultTestPage("[fe80::1%eth0]").address, "http://[fe80::1%25eth0]/default.html"},
        {DefaultTestPage("::1:8080").address, kPublicTestPage},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
    const std::pair<std::string, std::string> lines[] = {
        {BuildRequest("/f", "::1", 8080), "\r\nHost: [::1]:8080\r\n"},
        {BuildRequest("/f", "::1", 8080), "\r\nReferer: http://[::1]\r\n"},
        {BuildRequest("/f", "fe80::1%eth0", 80), "\r\nHost: [fe80::1]\r\n"},
        {BuildRequest("/f", "10.0.0.1", 8080), "\r\nHost: 10.0.0.1:8080\r\n"},
        {RequestHeader("GET", "/quality/probe", "fe80::1%eth0", 8080), "\r\nHost: [fe80::1]:8080\r\n"},
        {RequestHeader("GET", "/", "files.lan", 80), "\r\nHost: files.lan\r\n"},
    };
    for (const auto& [request, line] : lines) EXPECT_NE(request.find(line), std::string::npos) << request;
    // Split back, a tag gives what was parsed.
    for (const char* server : {"[::1]:8080", "[fe80::1%eth0]:81", "10.0.0.1:1", "files.lan"}) {
        const std::optional<ServerAddress> parsed = ParseServer(server);
        const std::optional<TestAddress> split = SplitTestUrl(MakeTestFileTags(server).tags[0]);
        ASSERT_TRUE(parsed && split) << server;
        EXPECT_EQ(split->host + " " + std::to_string(split->port) + " " + split->path,
                  parsed->host + " " + std::to_string(parsed->port) + " /5MB.zip");
    }
    for (const char* url : {"host", "/5MB.zip", ":80/x", "h:/x", "[::1]x/y", "::1:80/x"})
        EXPECT_FALSE(SplitTestUrl(url)) << url;
    for (const char* bad : {"host:", "[::1", "::1:80", ":80"}) {
        const TestFileTags tags = MakeTestFileTags(bad);
        EXPECT_EQ(tags.tags[0], "speedtest.tele2.net/5MB.zip") << bad;
        EXPECT_NE(tags.problem.find("BRISKO_TEST_SERVER=\"" + std::string(bad) + "\" is not usable: "), std::string::npos)
            << tags.problem;
        EXPECT_NE(tags.problem.find("[IPv6 address]:port"), std::string::npos) << tags.problem;
    }
}

// What a test ends with, whichever way the response was split into reads.
struct Outcome {
    std::vector<std::string> messages;
    bool headerDone = false, complete = false;
    std::int64_t total = 0, received = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome Feed(const std::vector<std::string>& reads, bool serverCloses = false) {
    test::FakeTcpSocket socket;
    test::FakeClock clock;
    test::FakeMessageBox messages;
    DownloadClient client{socket, clock, messages, [] {}};
    client.SetTestUrl("files.example/f");
    client.ConnectToTestServer();
    socket.Accept();
    for (const std::string& read : reads) socket.Arrive(read);
    if (serverCloses) socket.PeerCloses();
    return {messages.Texts(), client.HeaderDone(), client.Complete(), client.Counters().TotalBytes,
            client.Counters().ReceivedBytes};
}

TEST(ResponseTest, HeaderIsJudgedAloneWhereverTheReadsSplitIt) {
    const std::string body(1000, 'x');
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Type: a\r\n";
    const std::string unusable = kUnusableAnswerText, badSize = unusable + "the server sent an invalid Content-Length.";
    const std::string noFile =
        kConnectionDownText + std::string("The server ended the connection without sending the file.");
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n";
    const std::int64_t refused = -1;
    const struct {
        const char* what;
        std::string response;
        std::int64_t total, received;
        std::string message = {};
    } cases[] = {
        {"size and body", kOkHeader + body, 4194304, 1000},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n", refused, 0, kFileNotFoundText},
        {"moved", "HTTP/1.1 301 Moved Permanently\r\nLocation: http://files.example/new\r\n\r\n", refused, 0,
         "Error! The server answered 301 Moved Permanently (to http://files.example/new)."},
        {"failed, with a reason to keep off the terminal", "HTTP/1.0 500 Oops\x1b[2J\r\n\r\n", refused, 0,
         "Error! The server answered 500 Oops?[2J."},
        {"no status", "HTTP/\r\n\r\n200", refused, 0, unusable + "its status line is not HTTP."},
        {"four-digit status", "HTTP/1.1 2000 OK\r\n\r\n", refused, 0, unusable + "its status line is not HTTP."},
        {"names in capitals", "HTTP/1.0 200 OK\r\nCONTENT-LENGTH: 4194304\r\n\r\n" + body, 4194304, 1000},
        {"no blank after the colon", header + "Content-Length:4194304\r\n\r\n", 4194304, 0},
        {"blanks trimmed", header + "Content-Length:  77 \t\r\n\r\n", 77, 0},
        {"LF-only lines, more than the size", "HTTP/1.1 200 OK\nContent-Length: 3\n\nabcdef", 3, 3},
        {"size only in the body", header + "\r\nContent-Length: 5\r\n\r\n", AssumedSize, 21},
        {"size 0: an empty file, whatever follows", header + "Content-Length: 0\r\n\r\n" + body, 0, 0, noFile},
        {"negative size", header + "Content-Length: -1\r\n\r\n", refused, 0, badSize},
        {"size not decimal", header + "Content-Length: 0x500000\r\n\r\n", refused, 0, badSize},
        {"size beyond the counter", header + "Content-Length: 99999999999999999999\r\n\r\n", refused, 0, badSize},
        {"sizes that disagree", header + "Content-Length: 100\r\nContent-Length: 5242880\r\n\r\n", refused, 0,
         badSize},
        {"the same size repeated", header + "Content-Length: 7, 7\r\nContent-Length: 7\r\n\r\n", 7, 0},
        {"beyond 2 GB", header + "Content-Length: 5000000000\r\n\r\n", 5000000000, 0},
        // The payload alone, whatever the line ends, extensions and trailer; the coding overrides the length.
        {"chunks", chunked + "Content-Length: 99\r\n\r\n5\r\nhello\r\n6;x=1\n world\n0\r\nT: 1\r\n\r\n", 11, 11},
        {"no chunk but the last", chunked + "\r\n0\r\n\r\n", AssumedSize, 0, noFile},
        {"chunks malformed", chunked + "\r\n5\r\nhello!\r\n0\r\n\r\n", AssumedSize, 5,
         unusable + "its chunked body is malformed."},
        {"not HTTP at all", "220 Welcome to the file store, http://x/\r\n", AssumedSize, 42},
        {"endless header", header + "X-Long: " + std::string(kHeaderLimit, 'y'), refused, 0,
         unusable + "its header is longer than 16 KB."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome whole = Feed({c.response});
        EXPECT_EQ(whole.messages, c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
        if (c.total == refused) {
            EXPECT_FALSE(whole.headerDone);
        } else {
            EXPECT_EQ(whole.total, c.total);
            EXPECT_EQ(whole.received, c.received);
            // A whole file in the first reads ends the test.
            EXPECT_EQ(whole.complete, c.message.empty() && c.received == c.total);
        }
        const std::size_t step = c.response.size() > 2000 ? 97 : 1;
        for (std::size_t cut = 1; cut < c.response.size(); cut += step)
            ASSERT_EQ(Feed({c.response.substr(0, cut), c.response.substr(cut)}), whole) << "cut at " << cut;
    }
}

TEST(ResponseTest, ServerClosingEndsAFileOfUnknownSizeAndCutsOthersShort) {
    const std::string down = "Error! Your Internet connection may be down. ";
    const std::string noFile = down + "The server ended the connection without sending the file.";
    const struct {
        const char* what;
        std::string response;
        std::vector<std::string> messages;
        bool complete;
        std::int64_t total;
    } cases[] = {
        {"no size: the close ends the body", "HTTP/1.0 200 OK\r\n\r\n" + std::string(5000, 'b'), {}, true, 5000},
        {"size given, fewer bytes", kOkHeader + std::string(1000, 'b'),
         {down + "The server ended the connection after 1000 of 4194304 bytes."}, false, 4194304},
        {"header cut off", "HTTP/1.1 200 OK\r\nContent-Type: a\r\n", {noFile}, false, 0},
        {"no size and no body", "HTTP/1.0 200 OK\r\n\r\n", {noFile}, false, AssumedSize},
        {"chunks cut off", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
         {down + "The server ended the connection after 5 bytes, before the last chunk of the file."}, false,
         AssumedSize},
        {"already complete", "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", {}, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = Feed({c.response}, true);
        EXPECT_EQ(o.messages, c.messages);
        EXPECT_EQ(o.complete, c.complete);
        EXPECT_EQ(o.total, c.total);
        EXPECT_TRUE(!c.complete || o.received == c.total) << o.received;  // the whole body
    }
}

class DownloadClientTest : public ::testing::Test {
protected:
    DownloadClientTest() {
        client.SetTestUrl("files.example/dir/4MB.bin");
        client.ConnectToTestServer();
        socket.Accept();
    }
    test::FakeTcpSocket socket;
    test::FakeClock clock;
    test::FakeMessageBox messages;
    int timerStarts = 0;
    DownloadClient client{socket, clock, messages, [this] { ++timerStarts; }};
};

TEST_F(DownloadClientTest, SendsTheRequestAndReportsARefusalAsSoonAsItsHeaderEnds) {
    EXPECT_EQ(socket.connects, (std::vector<std::pair<std::string, std::uint16_t>>{{"files.example", 80}}));
    EXPECT_EQ(socket.sent, "GET /dir/4MB.bin HTTP/1.0\r\nReferer: http://files.example\r\nConnection: Keep-Alive\r\n"
                           "User-Agent: Default\r\nHost: files.example\r\nAccept: */*\r\nAccept-Language: en\r\n\r\n");
    socket.Arrive("HTTP/1.1 404 Not Found\r\n");
    EXPECT_TRUE(messages.shown.empty());
    socket.Arrive("\r\n");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error! File not found."});
    EXPECT_EQ(messages.shown[0].title, "Brisko");
    EXPECT_FALSE(socket.open);
    EXPECT_EQ(timerStarts, 0);

    // Another port is named in the Host line alone.
    client.SetTestUrl("files.example:18001/x");
    client.ConnectToTestServer();
    socket.sent.clear();
    socket.Accept();
    EXPECT_NE(socket.sent.find("\r\nReferer: http://files.example\r\n"), std::string::npos) << socket.sent;
    EXPECT_NE(socket.sent.find("\r\nHost: files.example:18001\r\n"), std::string::npos) << socket.sent;
}

// The end time is taken when the last byte arrives, past 2 GB too, and never moved after.
TEST_F(DownloadClientTest, CompletesWhenTheCountReachesTheSize) {
    clock.Advance(1.25);
    socket.Arrive("HTTP/1.1 200 OK\r\nContent-Type: a\r\nContent-Length: 3000000000\r\n\r\n");
    socket.ArriveCounted(2'999'999'999);
    EXPECT_TRUE(socket.open);
    clock.Advance(2);
    socket.ArriveCounted(1);
    EXPECT_EQ(client.Counters().ReceivedBytes, 3'000'000'000);
    EXPECT_FALSE(socket.open);
    EXPECT_DOUBLE_EQ(client.EndTime(), clock.MonotonicSeconds());
    clock.Advance(1);
    socket.Arrive("late");
    EXPECT_DOUBLE_EQ(client.EndTime(), clock.MonotonicSeconds() - 1);
}

TEST_F(DownloadClientTest, SocketErrorsAndBadAddressesOnlyShowAMessage) {
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
