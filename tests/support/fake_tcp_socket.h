#pragma once
// A socket the test plays the server for: it scripts the events and reads what was sent.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/tcp_socket.h"

namespace brisko::test {

class FakeTcpSocket final : public TcpSocket {
public:
    void SetEvents(TcpSocketEvents e) override { events = std::move(e); }
    void Connect(const std::string& host, std::uint16_t port) override {
        connects.push_back({host, port});
        remoteHost = host;
        open = true;
    }
    std::string RemoteHost() const override { return remoteHost; }
    Status SendData(const std::string& data) override {
        sent += data;
        return Status::Ok();
    }
    std::size_t Read(char* buffer, std::size_t size) override {
        if (!pending.empty()) {
            const std::size_t n = std::min(size, pending.size());
            std::copy_n(pending.begin(), n, buffer);
            pending.erase(0, n);
            return n;
        }
        // Counted bytes are never held, so their content is whatever the buffer had.
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, counted));
        counted -= n;
        return n;
    }
    void Close() override {
        open = false;
        pending.clear();
        counted = 0;
    }

    // The server's side.
    void Accept() {
        if (events.connected) events.connected();
    }
    void Arrive(const std::string& bytes) {
        pending += bytes;
        if (events.dataArrival) events.dataArrival();
    }
    // Body bytes that only get counted, so tests can pass gigabytes without holding them.
    void ArriveCounted(std::uint64_t bytes) {
        counted += bytes;
        if (events.dataArrival) events.dataArrival();
    }
    void Fail(long number, const std::string& description) {
        if (events.error) events.error(number, description);
    }
    void PeerCloses() {
        if (events.closed) events.closed();
    }

    TcpSocketEvents events;
    std::vector<std::pair<std::string, std::uint16_t>> connects;
    std::string remoteHost;
    std::string sent;
    std::string pending;
    std::uint64_t counted = 0;
    bool open = false;
};

}  // namespace brisko::test
