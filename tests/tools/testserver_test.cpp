// SPDX-License-Identifier: GPL-3.0-or-later
// brisko-testserver speaks what each option promises, byte for byte.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "tests/support/child_processes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

// The server on a free loopback port, with everything it prints in a file (or in
// output), started through launcher (a program and its arguments) when one is given.
class Server {
public:
    explicit Server(std::vector<std::string> options, std::vector<std::string> launcher = {},
                    const std::string& output = "") {
        options.insert(options.begin(), {"--port", "0"});
        launcher.push_back(BRISKO_BIN_DIR "/brisko-testserver");
        options.insert(options.begin(), launcher.begin() + 1, launcher.end());
        if (!output.empty()) m_output = output;
        m_pid = StartProgram(launcher[0], options, "", m_output);
    }
    ~Server() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        WaitForExit(m_pid);
    }
    std::string Output() const { return ReadFileBytes(m_output); }
    bool Printed(const std::string& text) const {
        return PollUntil([&] { return Output().find(text) != std::string::npos; }, std::chrono::seconds(10));
    }
    int Port() const {
        const std::string listening = "listening on 127.0.0.1:";
        if (!Printed(listening) || !Printed("\n")) return 0;
        return std::stoi(Output().substr(Output().find(listening) + listening.size()));
    }
    int Wait() { return WaitForExit(std::exchange(m_pid, -1)); }
    pid_t Pid() const { return m_pid; }

private:
    TempFolder m_folder;
    std::string m_output = m_folder / "output";
    pid_t m_pid = -1;
};

// A connection to the server that has sent request; reads on it give up after 10 s.
int Connect(int port, const std::string& request = "") {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval patience{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);  // when it fails, the reply is empty
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    return fd;
}

// The reply up to the server's end of it; firstRead gets the size of the first read.
std::string Reply(int fd, std::size_t* firstRead = nullptr) {
    std::string reply;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        if (firstRead && reply.empty()) *firstRead = static_cast<std::size_t>(n);
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply;
}

std::string Get(const std::string& path) { return "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"; }

std::string Fetch(int port, const std::string& path, std::size_t* firstRead = nullptr) {
    const int fd = Connect(port, Get(path));
    std::string reply = Reply(fd, firstRead);
    ::close(fd);
    return reply;
}

const std::string kOk = "HTTP/1.1 200 OK\r\n";

// Answers read one by one off a connection that stays open: each its header and as
// many body bytes as its Content-Length says; empty when the connection ends first.
class Answers {
public:
    explicit Answers(int fd) : m_fd(fd) {}
    std::string Next() {
        std::size_t end;
        while ((end = m_in.find("\r\n\r\n")) == std::string::npos)
            if (!Fill()) return {};
        end += 4;
        const std::size_t at = m_in.find("Content-Length: ");
        const std::size_t size = end + (at < end ? std::stoul(m_in.substr(at + 16)) : 0);
        while (m_in.size() < size)
            if (!Fill()) return {};
        std::string answer = m_in.substr(0, size);
        m_in.erase(0, size);
        return answer;
    }
    bool Ended() { return m_in.empty() && !Fill(); }

private:
    bool Fill() {
        char buffer[65536];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n > 0) m_in.append(buffer, static_cast<std::size_t>(n));
        return n > 0;
    }
    int m_fd;
    std::string m_in;
};

std::string Body(const std::string& answer) { return answer.substr(std::min(answer.find("\r\n\r\n") + 4, answer.size())); }

// Threads of the server process, its own two (accepting, logging) among them.
int Threads(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    int threads = 0;
    for (std::string word; status >> word && word != "Threads:";) {}
    status >> threads;
    return threads;
}

TEST(TestServerTest, AnswersEachModeAsItSays) {
    const struct {
        std::vector<std::string> options;
        std::string path;
        std::vector<std::string> headerHas, headerLacks;
        long body;  // -1: not checked
        std::string end = "\r\n\r\n";
        std::size_t firstRead = 0;  // the header's first piece, when it comes in pieces
    } cases[] = {
        {{}, "/50MB.zip", {"HTTP/1.1 200 OK\r\n", "Content-Length: 52428800\r\n"}, {}, 52428800},
        {{"--status", "302"}, "/5MB.zip", {"HTTP/1.1 302 Found\r\n", "Location: http://"}, {}, -1},
        {{"--status", "500"}, "/default.html", {"HTTP/1.1 500 Internal Server Error\r\n"}, {}, 27},
        {{"--length", "abc"}, "/5MB.zip", {"Content-Length: abc\r\n"}, {}, 5242880},
        {{"--length-twice", "100,5242880"}, "/5MB.zip", {"Content-Length: 100\r\nContent-Length: 5242880\r\n"}, {},
         5242880},
        // "a" CR LF, ten bytes, CR LF, then the last chunk.
        {{"--chunked", "--stream", "10"}, "/x", {"Transfer-Encoding: chunked\r\n"}, {"Content-Length"}, 20},
        {{"--stream", "1k"}, "/any/path", {"Content-Length: 1024\r\n"}, {}, 1024},
        {{"--lf-only"}, "/5MB.zip", {"HTTP/1.1 200 OK\n", "Content-Length: 5242880\n"}, {"\r"}, 5242880, "\n\n"},
        {{"--not-http"}, "/5MB.zip", {}, {"HTTP"}, -1, ""},
        {{"--split-at", "5,20", "--split-pause", "300", "--stream", "10"}, "/x", {"HTTP/1.1 200 OK\r\n"}, {}, 10,
         "\r\n\r\n", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.options.empty() ? "" : c.options[0]) + " " + c.path);
        Server server(c.options);
        const int port = server.Port();
        ASSERT_GT(port, 0);
        std::size_t first = 0;
        const std::string reply = Fetch(port, c.path, &first);
        ASSERT_FALSE(reply.empty());
        if (c.firstRead) { EXPECT_EQ(first, c.firstRead); }
        const std::string header = c.end.empty() ? reply : reply.substr(0, reply.find(c.end) + c.end.size());
        for (const auto& has : c.headerHas) EXPECT_NE(header.find(has), std::string::npos) << has;
        for (const auto& lacks : c.headerLacks) EXPECT_EQ(header.find(lacks), std::string::npos) << lacks;
        if (c.body >= 0) { EXPECT_EQ(static_cast<long>(reply.size() - header.size()), c.body); }
    }
}

// The web test page: its images, each at an address of its own, with the delay chosen
// on the command line or for one load, and cacheable only when that load asks.
TEST(TestServerTest, TestPageNamesEachImageOnceWithItsDelay) {
    Server server({"--page-images", "5", "--image-delay", "250"});
    const int port = server.Port();
    ASSERT_GT(port, 0);
    const auto images = [](const std::string& page) {
        std::vector<std::string> sources;
        for (std::size_t at = page.find("<img src=\""); at != std::string::npos; at = page.find("<img src=\"", at + 1))
            sources.push_back(page.substr(at + 10, page.find('"', at + 10) - at - 10));
        return sources;
    };
    const std::string page = Fetch(port, "/default.html");
    EXPECT_NE(page.find("Cache-Control: no-store"), std::string::npos);
    std::vector<std::string> expected;
    for (int i = 0; i < 5; ++i) expected.push_back("/images/" + std::to_string(i) + ".bmp?delay=250");
    EXPECT_EQ(images(page), expected);
    const std::string kept = "?delay=0&max-age=60";
    EXPECT_EQ(images(Fetch(port, "/default.html?images=2&delay=0&max-age=60")),
              (std::vector<std::string>{"/images/0.bmp" + kept, "/images/1.bmp" + kept}));
    EXPECT_NE(Fetch(port, "/images/1.bmp" + kept).find("Cache-Control: max-age=60\r\n"), std::string::npos);

    const std::string image = Fetch(port, expected[4]);
    const std::size_t body = image.find("\r\n\r\n") + 4;
    EXPECT_EQ(image.substr(0, 15), "HTTP/1.1 200 OK");
    for (const char* has : {"Content-Type: image/bmp\r\n", "Cache-Control: no-store\r\n"})
        EXPECT_NE(image.find(has), std::string::npos) << has;
    EXPECT_NE(image.find("Content-Length: " + std::to_string(image.size() - body) + "\r\n"), std::string::npos);
    EXPECT_EQ(image.substr(body, 2), "BM");
    EXPECT_EQ(Fetch(port, "/images/x.bmp").substr(0, 22), "HTTP/1.1 404 Not Found");
}

// Beside a flood of connections that send nothing (more than it has descriptors for)
// or that ask slowly (more than its memory has room for threads), the server stays
// up, answers each of them, if only with a 503, and then a plain request.
TEST(TestServerTest, OutlastsConnectionFloods) {
    // A memory limit just above what the server takes when idle; one malloc arena, as
    // those of the threads reserve far more than they use.
    const std::vector<std::string> oneArena = {"/usr/bin/env", "MALLOC_ARENA_MAX=1"};
    long idleKb = 0;
    {
        Server idle({}, oneArena);
        ASSERT_GT(idle.Port(), 0);
        std::ifstream status("/proc/" + std::to_string(idle.Pid()) + "/status");
        for (std::string word; status >> word && word != "VmSize:";) {}
        status >> idleKb;
    }
    const struct {
        std::string limit;
        int idle, slow;
    } cases[] = {
        {"--nofile=64:64", 200, 0},
        {"--as=" + std::to_string((idleKb + 16 * 1024) * 1024), 0, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        if (c.slow && idleKb > (1l << 30)) continue;  // a sanitizer's reserve: no room to measure in
        std::vector<std::string> launcher = oneArena;
        launcher.insert(launcher.end(), {"/usr/bin/prlimit", c.limit, "--"});
        Server server({}, launcher);
        const int port = server.Port();
        ASSERT_GT(port, 0);
        std::vector<int> idle, slow;
        for (int i = 0; i < c.idle; ++i) idle.push_back(Connect(port));
        for (int i = 0; i < c.slow; ++i) slow.push_back(Connect(port, Get("/images/0.bmp?delay=1000")));
        for (const int fd : slow) {
            EXPECT_EQ(Reply(fd).substr(0, 9), "HTTP/1.1 ");  // served, or refused with a 503
            ::close(fd);
        }
        EXPECT_EQ(Fetch(port, "/images/1.bmp").substr(0, kOk.size()), kOk);
        for (const int fd : idle) ::close(fd);
    }
}

// Connections that send no request, take nothing of their answer or stay after it
// are let go in time; beyond --max-connections a newcomer is told the server is busy.
TEST(TestServerTest, LetsIdleConnectionsGoAndRefusesBeyondItsCap) {
    Server server({"--max-connections", "1", "--idle-timeout", "1"});
    const int port = server.Port();
    ASSERT_GT(port, 0);
    const int silent = Connect(port, "GET / HTTP/1.0\r\n");
    char byte;
    EXPECT_EQ(::recv(silent, &byte, 1, 0), 0);
    ::close(silent);
    for (const std::string path : {"/50MB.zip", "/images/1.bmp"}) {  // one it cannot send, one it can
        SCOPED_TRACE(path);
        int staying = -1;
        ASSERT_TRUE(PollUntil([&] {  // until the connection before it has gone
            if (staying >= 0) ::close(staying);
            staying = Connect(port, Get(path));
            char status[15];
            return ::recv(staying, status, sizeof status, MSG_WAITALL) == 15 && kOk.starts_with({status, 15});
        }));
        EXPECT_EQ(Fetch(port, "/images/2.bmp").substr(0, 34), "HTTP/1.1 503 Service Unavailable\r\n");
        EXPECT_TRUE(PollUntil([&] { return Fetch(port, "/images/2.bmp").substr(0, kOk.size()) == kOk; },
                              std::chrono::seconds(10)));
        ::close(staying);
    }
}

// A request line is logged short and with its control bytes escaped, and a log that
// nobody reads holds up no request.
TEST(TestServerTest, LogsRequestsSafelyAndWaitsForNoReader) {
    {
        Server server({});
        const int port = server.Port();
        ASSERT_GT(port, 0);
        const int fd = Connect(port, Get("/\x1b[2J" + std::string(70000, 'a')));
        EXPECT_EQ(Reply(fd).substr(0, 22), "HTTP/1.1 404 Not Found");
        ::close(fd);
        ASSERT_TRUE(server.Printed("answered 404"));
        const std::string log = server.Output();
        EXPECT_NE(log.find("GET /\\x1b[2Jaaa"), std::string::npos) << log.substr(0, 300);
        EXPECT_EQ(log.find('\x1b'), std::string::npos);
        EXPECT_LT(log.size(), 400u);
    }
    int unread[2];
    ASSERT_EQ(::pipe2(unread, O_CLOEXEC), 0);
    Server server({}, {}, "/dev/fd/" + std::to_string(unread[1]));
    ::close(unread[1]);
    std::string log;
    for (char c; log.find('\n') == std::string::npos && ::read(unread[0], &c, 1) == 1;) log += c;
    const std::size_t colon = log.rfind(':');
    ASSERT_NE(colon, std::string::npos) << log;
    const int port = std::stoi(log.substr(colon + 1));
    for (int i = 0; i < 1000; ++i) {  // far more lines than the pipe and the log queue hold
        ASSERT_EQ(Fetch(port, "/" + std::string(180, 'x')).substr(0, 22), "HTTP/1.1 404 Not Found") << i;
    }
    ::fcntl(unread[0], F_SETFL, O_NONBLOCK);
    EXPECT_TRUE(PollUntil([&] {
        char buffer[65536];
        for (ssize_t n; (n = ::read(unread[0], buffer, sizeof buffer)) > 0;) log.append(buffer, n);
        return log.find(" log lines dropped") != std::string::npos;
    }, std::chrono::seconds(10)));
    ::close(unread[0]);
}

// HTTP/1.1 connections, and HTTP/1.0 ones that ask, serve request after request, sent
// one by one or all at once; the others, and every one under a failure mode, end
// after their answer as they always did.
TEST(TestServerTest, KeepsConnectionsOpenAsTheRequestAsks) {
    Server server({});
    const int port = server.Port();
    ASSERT_GT(port, 0);
    const auto request = [](const std::string& path, const std::string& version, const std::string& fields = "") {
        return "GET " + path + " " + version + "\r\nHost: 127.0.0.1\r\n" + fields + "\r\n";
    };
    for (const auto& [version, fields] : {std::pair<std::string, std::string>{"HTTP/1.1", ""},
                                          {"HTTP/1.0", "Connection: Keep-Alive\r\n"}}) {
        SCOPED_TRACE(version);
        const int fd = Connect(port);
        Answers answers(fd);
        for (const std::string path : {"/quality/probe", "/quality/download?bytes=70000", "/images/1.bmp"}) {
            ::send(fd, request(path, version, fields).data(), request(path, version, fields).size(), MSG_NOSIGNAL);
            const std::string answer = answers.Next();
            EXPECT_EQ(answer.substr(0, kOk.size()), kOk) << path;
            EXPECT_NE(answer.find("Connection: keep-alive\r\n"), std::string::npos) << path;
        }
        const std::string both = request("/quality/probe", version, fields) +
                                 request("/quality/download?bytes=3", version, "Connection: close\r\n");
        ::send(fd, both.data(), both.size(), MSG_NOSIGNAL);
        EXPECT_EQ(Body(answers.Next()), "x");
        const std::string last = answers.Next();
        EXPECT_NE(last.find("Content-Length: 3\r\nCache-Control: no-store\r\nConnection: close\r\n"), std::string::npos)
            << last;
        EXPECT_EQ(Body(last).size(), 3u);
        EXPECT_TRUE(answers.Ended());
        ::close(fd);
    }
    const std::string plain = Fetch(port, "/quality/probe");
    EXPECT_NE(plain.find("Connection: close\r\n\r\nx"), std::string::npos) << plain;

    Server failing({"--no-type"});
    ASSERT_GT(failing.Port(), 0);
    const int fd = Connect(failing.Port(), request("/5MB.zip", "HTTP/1.1"));
    const std::string reply = Reply(fd);
    EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(Body(reply).size(), 5242880u);
    ::close(fd);
}

// Uploads are counted whether their length is given or their body chunked; what is
// not an upload is refused, and a client gone mid-body leaves nothing behind.
TEST(TestServerTest, CountsUploadsInEitherFraming) {
    Server server({"--idle-timeout", "2"});
    const int port = server.Port();
    ASSERT_GT(port, 0);
    const int idleThreads = Threads(server.Pid());
    const std::string post = "POST /quality/upload HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    const std::string megabytes(3 << 20, 'u');
    const std::string chunked = "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n1a;name=value\r\n" +
                                std::string(26, 'c') + "\r\n0\r\nTrailer: yes\r\n\r\n";
    {
        const int fd = Connect(port);
        Answers answers(fd);
        for (const auto& [upload, count] : std::vector<std::pair<std::string, std::string>>{
                 {post + "Content-Length: " + std::to_string(megabytes.size()) + "\r\n\r\n" + megabytes,
                  std::to_string(megabytes.size())},
                 {post + chunked, "31"},
                 {post + "Content-Length: 0\r\n\r\n", "0"}}) {
            ASSERT_EQ(::send(fd, upload.data(), upload.size(), MSG_NOSIGNAL), static_cast<ssize_t>(upload.size()));
            const std::string answer = answers.Next();
            EXPECT_EQ(answer.substr(0, kOk.size()), kOk);
            EXPECT_NE(answer.find("Content-Type: text/plain\r\n"), std::string::npos);
            EXPECT_EQ(Body(answer), count);
        }
        ::close(fd);
    }
    const struct {
        std::string request, status;
    } refused[] = {
        {"GET /quality/upload HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
        {"PUT /quality/upload HTTP/1.1\r\nContent-Length: 1\r\n\r\nx", "HTTP/1.1 405 Method Not Allowed\r\n"},
        {post + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {post + "Content-Length: 1, 2\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {post + "Content-Length: 1099511627777\r\n\r\n", "HTTP/1.1 413 Content Too Large\r\n"},
        {post + "Transfer-Encoding: gzip\r\n\r\n", "HTTP/1.1 501 Not Implemented\r\n"},
        {"GET /quality/download?bytes=-1 HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"},
    };
    for (const auto& r : refused) {
        const int fd = Connect(port, r.request);
        const std::string reply = Reply(fd);  // and then the server ends the connection
        EXPECT_EQ(reply.substr(0, r.status.size()), r.status) << r.request;
        if (r.status.find("405") != std::string::npos) { EXPECT_NE(reply.find("Allow: POST\r\n"), std::string::npos); }
        ::close(fd);
    }
    // Asked to, the server says go on before the body comes.
    const int asking = Connect(port, post + "Expect: 100-continue\r\nContent-Length: 2\r\n\r\n");
    Answers answers(asking);
    EXPECT_EQ(answers.Next(), "HTTP/1.1 100 Continue\r\n\r\n");
    ::send(asking, "ok", 2, MSG_NOSIGNAL);
    EXPECT_EQ(Body(answers.Next()), "2");
    ::close(asking);

    for (const std::string& framing : {std::string("Content-Length: 1000000000\r\n\r\n"),
                                       std::string("Transfer-Encoding: chunked\r\n\r\n100000\r\n")}) {
        const int gone = Connect(port, post + framing + megabytes);
        ::close(gone);
    }
    const int stays = Connect(port, post + "Content-Length: 10\r\n\r\n12345");  // and sends no more
    EXPECT_TRUE(server.Printed("closed by client after"));
    EXPECT_EQ(Body(Fetch(port, "/quality/probe")), "x");
    EXPECT_TRUE(server.Printed("nothing received for 2 s after 5 body bytes, closed"));
    EXPECT_EQ(Reply(stays), "");
    ::close(stays);
    EXPECT_TRUE(PollUntil([&] { return Threads(server.Pid()) == idleThreads; }, std::chrono::seconds(10)));
}

// The probe is answered while many connections download without end, none held up
// by another; when they go, so do their threads.
TEST(TestServerTest, AnswersProbesWhileManyDownload) {
    Server server({"--quiet"});
    const int port = server.Port();
    ASSERT_GT(port, 0);
    const int idleThreads = Threads(server.Pid());
    std::vector<pollfd> downloads;
    for (int i = 0; i < 64; ++i)
        downloads.push_back({Connect(port, "GET /quality/download HTTP/1.1\r\nHost: x\r\n\r\n"), POLLIN, 0});
    std::atomic<bool> stop{false};
    std::vector<std::uint64_t> got(downloads.size());
    std::thread drain([&] {
        char buffer[65536];
        while (!stop && ::poll(downloads.data(), downloads.size(), 100) >= 0)
            for (std::size_t i = 0; i < downloads.size(); ++i)
                if (downloads[i].revents & POLLIN) {
                    const ssize_t n = ::recv(downloads[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
                    if (n > 0) got[i] += static_cast<std::uint64_t>(n);
                }
    });
    const int fd = Connect(port);
    Answers answers(fd);
    const std::string probe = "GET /quality/probe HTTP/1.1\r\nHost: x\r\n\r\n";
    for (int i = 0; i < 20; ++i) {
        ::send(fd, probe.data(), probe.size(), MSG_NOSIGNAL);
        ASSERT_EQ(Body(answers.Next()), "x") << i;
    }
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
    drain.join();
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        EXPECT_GT(got[i], 1u << 16) << "download " << i;  // every one got well beyond its header
        ::close(downloads[i].fd);
    }
    EXPECT_TRUE(PollUntil([&] { return Threads(server.Pid()) == idleThreads; }, std::chrono::seconds(10)));
    EXPECT_EQ(Body(Fetch(port, "/quality/probe")), "x");
}

// The help text is checked against the manual page by the packaging tests.
TEST(TestServerTest, BadUsageEndsWithStatusTwo) {
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--frobnicate"}, {"--status", "503"}, {"--rate", "fast"}, {"--listen", "localhost"}, {"--port"},
             {"--page-images", "1001"}, {"--image-delay", "soon"}, {"--max-connections", "0"}}) {
        Server server(bad);
        EXPECT_EQ(server.Wait(), 2) << bad[0];
        EXPECT_NE(server.Output().find("brisko-testserver: "), std::string::npos);
    }
}

}  // namespace
}  // namespace brisko::test
