#include "tests/support/local_web_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace brisko::test {

namespace {

// A 1x1 transparent GIF.
const unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                              0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0x21, 0xf9, 0x04, 0x01, 0x00,
                              0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
                              0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};

int QueryInt(const std::string& query, const std::string& name, int fallback) {
    const std::string key = name + "=";
    size_t pos = 0;
    while ((pos = query.find(key, pos)) != std::string::npos) {
        if (pos == 0 || query[pos - 1] == '&') {
            try {
                return std::stoi(query.substr(pos + key.size()));
            } catch (...) {
                return fallback;
            }
        }
        pos += key.size();
    }
    return fallback;
}

void SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

std::string Response(const std::string& status, const std::string& type, const std::string& body,
                     const std::string& extraHeaders = "") {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + body;
}

}  // namespace

LocalWebServer::LocalWebServer() {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 64) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(m_listen);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

LocalWebServer::~LocalWebServer() {
    m_stop = true;
    m_stopped.notify_all();
    m_acceptThread.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_clients) ::shutdown(fd, SHUT_RDWR);
        workers.swap(m_workers);
    }
    for (auto& t : workers) t.join();
    ::close(m_listen);
}

std::string LocalWebServer::Url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + pathAndQuery;
}

std::string LocalWebServer::PagePath(int images, int delayMs) {
    return "/page?images=" + std::to_string(images) + "&delay=" + std::to_string(delayMs);
}

int LocalWebServer::RequestCount(const std::string& prefix) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_requests.begin(), m_requests.end(),
                                          [&](const std::string& p) { return p.rfind(prefix, 0) == 0; }));
}

std::uint16_t LocalWebServer::ClosedPort() {
    // Bind an ephemeral port and let it go without listening: nothing answers there.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

void LocalWebServer::AcceptLoop() {
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard lock(m_mutex);
        m_clients.push_back(client);
        m_workers.emplace_back([this, client] { Serve(client); });
    }
}

bool LocalWebServer::SleepMs(int ms) {
    std::unique_lock lock(m_mutex);
    return !m_stopped.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
}

void LocalWebServer::Serve(int client) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const ssize_t n = ::recv(client, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
    }
    const size_t sp1 = request.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? sp1 : request.find(' ', sp1 + 1);
    std::string target = sp2 == std::string::npos ? "" : request.substr(sp1 + 1, sp2 - sp1 - 1);
    const size_t q = target.find('?');
    const std::string path = target.substr(0, q);
    const std::string query = q == std::string::npos ? "" : target.substr(q + 1);
    {
        std::lock_guard lock(m_mutex);
        if (!path.empty()) m_requests.push_back(path);
    }

    if (path.empty()) {
        // not HTTP: just close
    } else if (m_failAll) {
        SendAll(client, Response("500 Internal Server Error", "text/html", "<h1>Server error</h1>"));
    } else if (path == "/page") {
        const int images = QueryInt(query, "images", 0);
        const int delay = QueryInt(query, "delay", 0);
        std::string body = "<html><head><title>Test page</title></head><body><h1>Test page</h1>\n";
        for (int i = 0; i < images; ++i)
            body += "<img src=\"/img/" + std::to_string(i) + ".gif?delay=" + std::to_string(delay) +
                    "\" width=\"16\" height=\"16\">\n";
        body += "</body></html>\n";
        SendAll(client, Response("200 OK", "text/html", body));
    } else if (path.rfind("/img/", 0) == 0) {
        if (SleepMs(QueryInt(query, "delay", 0)))
            SendAll(client, Response("200 OK", "image/gif", std::string(std::begin(kGif), std::end(kGif)),
                                     "Cache-Control: max-age=3600\r\n"));
    } else {
        SendAll(client, Response("404 Not Found", "text/html", "<h1>Not found</h1>"));
    }

    std::lock_guard lock(m_mutex);
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
    ::shutdown(client, SHUT_WR);
    ::close(client);
}

}  // namespace brisko::test
