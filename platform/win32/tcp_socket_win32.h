// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "platform/tcp_socket.h"
#include "platform/win32/event_loop_win32.h"

namespace brisko {

// The Winsock control over a non-blocking Winsock socket, driven by the event loop:
// connect, data-arrival, error and close events with Winsock's numbers and the
// system's texts. The name is resolved when Connect is called (getaddrinfo), then
// each address is tried in turn. Events are posted, never run inside a call.
class TcpSocketWin32 final : public TcpSocket {
public:
    explicit TcpSocketWin32(EventLoopWin32& loop) : m_loop(loop) {}
    ~TcpSocketWin32() override;
    TcpSocketWin32(const TcpSocketWin32&) = delete;
    TcpSocketWin32& operator=(const TcpSocketWin32&) = delete;

    void SetEvents(TcpSocketEvents events) override { m_events = std::move(events); }
    void Connect(const std::string& host, std::uint16_t port) override;
    std::string RemoteHost() const override { return m_remoteHost; }
    Status SendData(const std::string& data) override;
    std::size_t Read(char* buffer, std::size_t size) override;
    std::size_t Discard(std::size_t size) override;
    void Close() override;

private:
    enum class State { Closed, Connecting, Connected };
    struct Address {
        int family, type, protocol;
        std::vector<char> bytes;
    };
    void TryNextAddress();
    void OnReady(SocketReadiness ready);
    void UpdateWatch();
    void FlushOutput();
    // What a read that got nothing means: none pending, the end, or a failure.
    std::size_t Received(int n);
    void PostError(long number);
    void PostEvent(std::function<void()> event);
    void Drop();  // closes the socket without a word

    EventLoopWin32& m_loop;
    TcpSocketEvents m_events;
    std::string m_remoteHost;
    std::uintptr_t m_socket = ~std::uintptr_t(0);  // INVALID_SOCKET
    State m_state = State::Closed;
    std::deque<Address> m_addresses;  // still to try
    long m_lastConnectError = 0;
    std::string m_output;  // accepted by SendData, not yet taken by the system
    // Where discarded bytes go: Winsock cannot drop them unread. Large, as every call
    // costs far more than the bytes it moves (under Wine above all).
    std::vector<char> m_sink;
    bool m_peerClosed = false;
    unsigned m_generation = 0;  // events posted for an earlier connection are dropped
};

class TcpSocketFactoryWin32 final : public TcpSocketFactory {
public:
    explicit TcpSocketFactoryWin32(EventLoopWin32& loop) : m_loop(loop) {}
    std::unique_ptr<TcpSocket> Create() override { return std::make_unique<TcpSocketWin32>(m_loop); }

private:
    EventLoopWin32& m_loop;
};

// Winsock's text for an error number ("Winsock error N" when the system has none).
std::string WinsockErrorText(long number);

}  // namespace brisko
