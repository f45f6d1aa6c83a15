// brisko-testserver speaks what each option promises, byte for byte.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/child_processes.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

// The server on a free loopback port, with everything it prints in a file.
class Server {
public:
    explicit Server(std::vector<std::string> options) {
        options.insert(options.begin(), {"--port", "0"});
        m_pid = StartProgram(BRISKO_BIN_DIR "/brisko-testserver", options, "", m_output);
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

private:
    TempFolder m_folder;
    std::string m_output = m_folder / "output";
    pid_t m_pid = -1;
};

// Sends a request and reads the reply to its end; firstRead gets the size of the first read.
std::string Fetch(int port, const std::string& path, std::size_t* firstRead = nullptr) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);  // when it fails, the reply is empty
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        if (firstRead && reply.empty()) *firstRead = static_cast<std::size_t>(n);
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return reply;
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

// The help text is checked against the manual page by the packaging tests.
TEST(TestServerTest, BadUsageEndsWithStatusTwo) {
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--frobnicate"}, {"--status", "503"}, {"--rate", "fast"}, {"--listen", "localhost"}, {"--port"},
             {"--page-images", "1001"}, {"--image-delay", "soon"}}) {
        Server server(bad);
        EXPECT_EQ(server.Wait(), 2) << bad[0];
        EXPECT_NE(server.Output().find("brisko-testserver: "), std::string::npos);
    }
}

}  // namespace
}  // namespace brisko::test
