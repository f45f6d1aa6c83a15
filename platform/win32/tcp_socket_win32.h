// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/tcp_socket.h"
#include "platform/win32/event_loop_win32.h"

namespace brisko {

// The Winsock control over a non-blocking Winsock socket, driven by the event loop:
// connect, data-arrival, error and close events with Winsock's numbers and the
// system's texts. The name is resolved when Connect is called (getaddrinfo), then
// each address is tried in turn. Events are posted, never run inside a call. What the
// send queue still holds is asked of Windows 10's SIO_TCP_INFO, where there is one.
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
    std::optional<std::size_t> UnacknowledgedBytes() const override;
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
    void PostSendComplete();
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
    std::uint64_t m_taken = 0;  // bytes the system has taken on this connection
    // Where discarded bytes go: Winsock cannot drop them unread. Large, as every call
    // costs far more than the bytes it moves (under Wine above all).
    std::vector<char> m_sink;
    bool m_peerClosed = false;
    unsigned m_generation = 0;  // events posted for an earlier connection are dropped
    // Events posted before the socket went are dropped too: the loop outlives it.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
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
