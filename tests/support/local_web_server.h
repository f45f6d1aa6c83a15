#pragma once
// A small HTTP server on 127.0.0.1 for the web page load tests and benchmarks.
//   /page?images=N&delay=MS  a page with N images, each answered after MS ms
//   /img/K.gif?delay=MS       one image, answered after MS ms, cacheable for an hour
//   anything else             "404 Not Found"
// Every answer closes its connection. Each connection has its own thread, so delays overlap
// as far as the client opens connections in parallel.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brisko::test {

class LocalWebServer {
public:
    LocalWebServer();  // listens on an ephemeral port; throws std::runtime_error on failure
    ~LocalWebServer();
    LocalWebServer(const LocalWebServer&) = delete;
    LocalWebServer& operator=(const LocalWebServer&) = delete;

    std::uint16_t Port() const { return m_port; }
    std::string Url(const std::string& pathAndQuery) const;  // "http://127.0.0.1:P" + path
    static std::string PagePath(int images, int delayMs);

    // Every request fails with status 500 while set.
    void SetFailAll(bool fail) { m_failAll = fail; }
    // Requests whose path (without query) starts with prefix.
    int RequestCount(const std::string& prefix) const;
    // A port on 127.0.0.1 that nothing listens on.
    static std::uint16_t ClosedPort();

private:
    void AcceptLoop();
    void Serve(int client);
    bool SleepMs(int ms);  // false when the server stops meanwhile

    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failAll{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    std::vector<std::thread> m_workers;
    std::vector<int> m_clients;
    std::vector<std::string> m_requests;
};

}  // namespace brisko::test
