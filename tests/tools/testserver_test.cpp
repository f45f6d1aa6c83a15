// brisko-testserver speaks what each option promises, byte for byte.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::string kServer = BRISKO_BIN_DIR "/brisko-testserver";

// Runs the server with its output on a pipe; returns exit status and output for
// programs that end by themselves.
class Server {
public:
    explicit Server(std::vector<std::string> args) {
        int out[2];
        if (pipe(out) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv{const_cast<char*>(kServer.c_str())};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(kServer.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        m_out = fdopen(out[0], "r");
    }
    ~Server() {
        if (m_pid > 0 && !m_ended) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out) fclose(m_out);
    }
    std::string ReadLine() {
        char line[1024];
        return m_out && fgets(line, sizeof line, m_out) ? std::string(line) : std::string();
    }
    // For servers that listen: the port from "listening on 127.0.0.1:PORT".
    int Port() {
        const std::string line = ReadLine();
        const auto colon = line.rfind(':');
        return colon == std::string::npos ? 0 : std::stoi(line.substr(colon + 1));
    }
    int Wait(std::string* output) {
        for (std::string line = ReadLine(); !line.empty(); line = ReadLine()) *output += line;
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_ended = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
    bool m_ended = false;
};

int Dial(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Fetch(int port, const std::string& path, std::size_t* firstRead = nullptr) {
    const int fd = Dial(port);
    if (fd < 0) return {};
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[65536];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        if (firstRead && reply.empty()) *firstRead = static_cast<std::size_t>(n);
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return reply;
}

std::string HeaderOf(const std::string& reply, const std::string& end = "\r\n\r\n") {
    return reply.substr(0, reply.find(end) + end.size());
}

TEST(TestServerTest, AnswersEachModeAsItSays) {
    struct Case {
        std::vector<std::string> options;
        std::string path;
        std::vector<std::string> headerHas;
        std::vector<std::string> headerLacks;
        long body;  // -1: not checked
        std::string end = "\r\n\r\n";
    };
    const Case cases[] = {
        {{}, "/5MB.zip", {"HTTP/1.1 200 OK\r\n", "Content-Type: application/zip\r\n", "Content-Length: 5242880\r\n"},
         {}, 5242880},
        {{}, "/50MB.zip", {"Content-Length: 52428800\r\n"}, {}, 52428800},
        {{}, "/missing.zip", {"HTTP/1.1 404 Not Found\r\n"}, {}, -1},
        {{"--status", "404"}, "/5MB.zip", {"HTTP/1.1 404 Not Found\r\n"}, {}, -1},
        {{"--status", "302"}, "/5MB.zip", {"HTTP/1.1 302 Found\r\n", "Location: http://"}, {}, -1},
        {{"--no-length"}, "/10MB.zip", {"Content-Type:"}, {"Content-Length"}, 10485760},
        {{"--no-type"}, "/5MB.zip", {"Content-Length: 5242880\r\n"}, {"Content-Type"}, 5242880},
        {{"--length", "abc"}, "/5MB.zip", {"Content-Length: abc\r\n"}, {}, 5242880},
        {{"--length", "-1"}, "/5MB.zip", {"Content-Length: -1\r\n"}, {}, 5242880},
        {{"--short", "1000"}, "/5MB.zip", {"Content-Length: 5242880\r\n"}, {}, 1000},
        {{"--stream", "12345"}, "/any/path", {"Content-Length: 12345\r\n"}, {}, 12345},
        {{"--stream", "1k"}, "/x", {"Content-Length: 1024\r\n"}, {}, 1024},
        {{"--lf-only"}, "/5MB.zip", {"HTTP/1.1 200 OK\n", "Content-Length: 5242880\n"}, {"\r"}, 5242880, "\n\n"},
    };
    for (const Case& c : cases) {
        std::string what;
        for (const auto& o : c.options) what += o + " ";
        SCOPED_TRACE(what + c.path);
        std::vector<std::string> args{"--port", "0"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        Server server(args);
        const int port = server.Port();
        ASSERT_GT(port, 0);
        const std::string reply = Fetch(port, c.path);
        const std::string header = HeaderOf(reply, c.end);
        for (const auto& has : c.headerHas) EXPECT_NE(header.find(has), std::string::npos) << has;
        for (const auto& lacks : c.headerLacks) EXPECT_EQ(header.find(lacks), std::string::npos) << lacks;
        if (c.body >= 0) {
            EXPECT_EQ(static_cast<long>(reply.size() - header.size()), c.body);
        }
    }
}

TEST(TestServerTest, NotHttpRepliesWithoutHttp) {
    Server server({"--port", "0", "--not-http"});
    const std::string reply = Fetch(server.Port(), "/5MB.zip");
    EXPECT_FALSE(reply.empty());
    EXPECT_EQ(reply.find("HTTP"), std::string::npos);
}

TEST(TestServerTest, SplitHeaderArrivesInPieces) {
    Server server({"--port", "0", "--split-at", "5,20", "--split-pause", "300", "--stream", "10"});
    std::size_t first = 0;
    const std::string reply = Fetch(server.Port(), "/x", &first);
    EXPECT_EQ(first, 5u);
    EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");
}

TEST(TestServerTest, SilentServerReadsButNeverAnswers) {
    Server server({"--port", "0", "--silent"});
    const int fd = Dial(server.Port());
    ASSERT_GE(fd, 0);
    send(fd, "GET /5MB.zip HTTP/1.0\r\n\r\n", 25, MSG_NOSIGNAL);
    EXPECT_NE(server.ReadLine().find("GET /5MB.zip"), std::string::npos);
    EXPECT_NE(server.ReadLine().find("not answering"), std::string::npos);
    close(fd);
    EXPECT_NE(server.ReadLine().find("closed by client"), std::string::npos);
}

TEST(TestServerTest, HelpAndBadUsage) {
    std::string help;
    EXPECT_EQ(Server({"--help"}).Wait(&help), 0);
    EXPECT_NE(help.find("Usage: brisko-testserver"), std::string::npos);
    EXPECT_NE(help.find("--listen"), std::string::npos);

    for (std::vector<std::string> bad : {std::vector<std::string>{"--frobnicate"}, {"--status", "500"},
                                         {"--rate", "fast"}, {"--listen", "localhost"}, {"--port"}}) {
        std::string output;
        EXPECT_EQ(Server(bad).Wait(&output), 2) << bad[0];
        EXPECT_NE(output.find("brisko-testserver: "), std::string::npos);
    }
}

}  // namespace
