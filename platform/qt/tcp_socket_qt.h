// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QHostAddress>
#include <QObject>
#include <deque>
#include <memory>

#include "platform/tcp_socket.h"

class QHostInfo;
class QSocketNotifier;

namespace brisko {

// The Winsock control over a plain non-blocking socket that Qt's event loop watches
// (QSocketNotifier): reads go from the system straight into the caller's buffer, and
// Discard drops bytes without copying them; what the system's send queue still holds
// is asked of it (SIOCOUTQ). Names are looked up by QHostInfo, then
// each address is tried in turn.
class TcpSocketQt final : public TcpSocket {
public:
    TcpSocketQt();
    ~TcpSocketQt() override;
    TcpSocketQt(const TcpSocketQt&) = delete;
    TcpSocketQt& operator=(const TcpSocketQt&) = delete;

    void SetEvents(TcpSocketEvents events) override { m_events = std::move(events); }
    void Connect(const std::string& host, std::uint16_t port) override;
    std::string RemoteHost() const override { return m_remoteHost; }
    Status SendData(const std::string& data) override;
    std::optional<std::size_t> UnacknowledgedBytes() const override;
    std::size_t Read(char* buffer, std::size_t size) override;
    std::size_t Discard(std::size_t size) override;
    void Close() override;

private:
    enum class State { Closed, LookingUp, Connecting, Connected };
    void OnLookedUp(const QHostInfo& info);
    void TryNextAddress();
    void OnConnectDone();
    void OnReadable();
    void FlushOutput();
    // Gives the system what it takes of data now: how much it took, or nothing after a
    // failure, which goes out as an error event.
    std::optional<std::size_t> SendNow(const char* data, std::size_t size);
    void PostSendComplete();
    // What a read that got nothing means: none pending, the end, or a failure.
    std::size_t Received(long n);
    void PostError(int number);
    void Post(std::function<void()> event);
    void Drop();  // closes the descriptor without a word

    TcpSocketEvents m_events;
    std::string m_remoteHost;
    std::uint16_t m_port = 0;
    State m_state = State::Closed;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_readable, m_writable;
    std::deque<QHostAddress> m_addresses;  // still to try
    int m_lastConnectError = 0;
    int m_lookup = -1;  // QHostInfo's id while a lookup runs
    std::string m_output;  // accepted by SendData, not yet taken by the system
    std::unique_ptr<QObject> m_context;  // receives the lookup's answer; goes with the socket
    unsigned m_generation = 0;  // events queued for an earlier connection are dropped
};

class TcpSocketFactoryQt final : public TcpSocketFactory {
public:
    std::unique_ptr<TcpSocket> Create() override { return std::make_unique<TcpSocketQt>(); }
};

}  // namespace brisko
