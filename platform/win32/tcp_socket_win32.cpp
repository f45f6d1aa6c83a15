// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/tcp_socket_win32.h"

#include <winsock2.h>
#include <mstcpip.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "platform/win32/win32_error.h"

namespace brisko {

namespace {

// SIO_TCP_INFO and its answer, version 0, as Windows 10 (1703) has them; the headers
// offer them only to programs that need Windows 10.
constexpr DWORD kSioTcpInfo = _WSAIORW(IOC_VENDOR, 39);
struct TcpInfoV0 {
    int state;
    ULONG mss;
    ULONG64 connectionTimeMs;
    BOOLEAN timestampsEnabled;
    ULONG rttUs, minRttUs, bytesInFlight, cwnd, sndWnd, rcvWnd, rcvBuf;
    ULONG64 bytesOut, bytesIn;
    ULONG bytesReordered, bytesRetrans, fastRetrans, dupAcksIn, timeoutEpisodes;
    UCHAR synRetrans;
};

}  // namespace

std::string WinsockErrorText(long number) { return Win32ErrorText(static_cast<std::uint32_t>(number)); }

TcpSocketWin32::~TcpSocketWin32() { Drop(); }

void TcpSocketWin32::Drop() {
    if (m_socket != INVALID_SOCKET) {
        m_loop.Unwatch(m_socket);
        ::closesocket(static_cast<SOCKET>(m_socket));
        m_socket = INVALID_SOCKET;
    }
    m_state = State::Closed;
    m_output.clear();
    m_taken = 0;
    m_peerClosed = false;
}

void TcpSocketWin32::Close() {
    ++m_generation;
    m_addresses.clear();
    Drop();
}

void TcpSocketWin32::PostEvent(std::function<void()> event) {
    const unsigned generation = m_generation;
    m_loop.Post([this, alive = std::weak_ptr<char>(m_alive), generation, event = std::move(event)] {
        if (!alive.expired() && generation == m_generation) event();
    });
}

void TcpSocketWin32::PostError(long number) {
    const std::string text = WinsockErrorText(number);
    PostEvent([this, number, text] {
        if (m_events.error) m_events.error(number, text);
    });
}

void TcpSocketWin32::Connect(const std::string& host, std::uint16_t port) {
    Close();
    m_remoteHost = host;
    if (!m_loop.WinsockReady()) {
        PostError(WSANOTINITIALISED);
        return;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); error != 0) {
        PostError(error);  // getaddrinfo's codes are Winsock's (11001 host not found, ...)
        return;
    }
    for (addrinfo* a = found; a; a = a->ai_next) {
        const char* bytes = reinterpret_cast<const char*>(a->ai_addr);
        m_addresses.push_back({a->ai_family, a->ai_socktype, a->ai_protocol,
                               std::vector<char>(bytes, bytes + a->ai_addrlen)});
    }
    ::freeaddrinfo(found);
    m_lastConnectError = WSAHOST_NOT_FOUND;
    m_state = State::Connecting;
    TryNextAddress();
}

void TcpSocketWin32::TryNextAddress() {
    while (!m_addresses.empty()) {
        const Address address = std::move(m_addresses.front());
        m_addresses.pop_front();
        if (m_socket != INVALID_SOCKET) {
            m_loop.Unwatch(m_socket);
            ::closesocket(static_cast<SOCKET>(m_socket));
            m_socket = INVALID_SOCKET;
        }
        const SOCKET s = ::socket(address.family, address.type, address.protocol);
        if (s == INVALID_SOCKET) {
            m_lastConnectError = ::WSAGetLastError();
            continue;
        }
        m_socket = s;
        u_long nonBlocking = 1;
        if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            m_lastConnectError = ::WSAGetLastError();
            continue;
        }
        // The request goes out at once, not after a delayed acknowledgement.
        const BOOL noDelay = TRUE;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        if (::connect(s, reinterpret_cast<const sockaddr*>(address.bytes.data()),
                      static_cast<int>(address.bytes.size())) == 0 ||
            ::WSAGetLastError() == WSAEWOULDBLOCK) {
            m_loop.Watch(m_socket, false, true, [this](SocketReadiness ready) { OnReady(ready); });
            return;
        }
        m_lastConnectError = ::WSAGetLastError();
    }
    Drop();
    PostError(m_lastConnectError);
}

void TcpSocketWin32::UpdateWatch() {
    if (m_socket == INVALID_SOCKET) return;
    m_loop.Watch(m_socket, !m_peerClosed, !m_output.empty(), [this](SocketReadiness ready) { OnReady(ready); });
}

void TcpSocketWin32::OnReady(SocketReadiness ready) {
    if (m_state == State::Connecting) {
        if (ready.failed) {
            int error = 0;
            int length = sizeof error;
            ::getsockopt(static_cast<SOCKET>(m_socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                         &length);
            m_lastConnectError = error != 0 ? error : WSAECONNREFUSED;
            TryNextAddress();
            return;
        }
        if (!ready.writable) return;
        m_state = State::Connected;
        m_addresses.clear();
        UpdateWatch();
        PostEvent([this] {
            if (m_events.connected) m_events.connected();
        });
        return;
    }
    if (m_state != State::Connected) return;
    if (ready.writable) FlushOutput();
    if (!ready.readable || m_socket == INVALID_SOCKET) return;
    // Data, or the end of the connection, which the handler's read finds.
    if (m_events.dataArrival) m_events.dataArrival();
}

std::size_t TcpSocketWin32::Received(int n) {
    if (n > 0) return static_cast<std::size_t>(n);
    const int error = n == 0 ? 0 : ::WSAGetLastError();
    if (n < 0 && error == WSAEWOULDBLOCK) return 0;
    m_peerClosed = true;
    UpdateWatch();
    if (n == 0 || error == WSAECONNRESET || error == WSAECONNABORTED) {
        // As the control does: the end of the connection is a close event, not an error.
        PostEvent([this] {
            if (m_events.closed) m_events.closed();
        });
    } else {
        PostError(error);
    }
    return 0;
}

void TcpSocketWin32::FlushOutput() {
    const bool had = !m_output.empty();
    std::size_t done = 0;
    while (done < m_output.size()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(m_output.size() - done, 1 << 20));
        const int sent = ::send(static_cast<SOCKET>(m_socket), m_output.data() + done, chunk, 0);
        if (sent == SOCKET_ERROR) {
            const int error = ::WSAGetLastError();
            if (error != WSAEWOULDBLOCK) {
                m_output.clear();
                done = 0;
                PostError(error);
                UpdateWatch();
                return;
            }
            break;
        }
        done += static_cast<std::size_t>(sent);
    }
    // Once, not per piece: a large send would otherwise move the rest again and again.
    m_output.erase(0, done);
    m_taken += done;
    UpdateWatch();
    if (had && m_output.empty()) PostSendComplete();
}

void TcpSocketWin32::PostSendComplete() {
    if (!m_events.sendComplete) return;  // nobody waits for it: no event
    PostEvent([this] {
        if (m_events.sendComplete) m_events.sendComplete();
    });
}

Status TcpSocketWin32::SendData(const std::string& data) {
    if (m_state != State::Connected) return Status::Fail(WSAENOTCONN, WinsockErrorText(WSAENOTCONN));
    m_output += data;
    FlushOutput();
    return Status::Ok();
}

std::optional<std::size_t> TcpSocketWin32::UnacknowledgedBytes() const {
    if (m_socket == INVALID_SOCKET || m_state != State::Connected) return m_output.size();
    DWORD version = 0, returned = 0;
    TcpInfoV0 info{};
    if (::WSAIoctl(static_cast<SOCKET>(m_socket), kSioTcpInfo, &version, sizeof version, &info, sizeof info,
                   &returned, nullptr, nullptr) != 0 ||
        returned < sizeof info)
        return std::nullopt;  // before Windows 10, and under Wine
    // Acknowledged: every byte sent once, less those still in flight.
    const std::uint64_t sentOnce = info.bytesOut - std::min<std::uint64_t>(info.bytesRetrans, info.bytesOut);
    const std::uint64_t acknowledged = sentOnce - std::min<std::uint64_t>(info.bytesInFlight, sentOnce);
    return m_output.size() + static_cast<std::size_t>(m_taken - std::min(acknowledged, m_taken));
}

std::size_t TcpSocketWin32::Read(char* buffer, std::size_t size) {
    if (m_state != State::Connected || m_peerClosed || size == 0) return 0;
    return Received(::recv(static_cast<SOCKET>(m_socket), buffer,
                           static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0));
}

std::size_t TcpSocketWin32::Discard(std::size_t size) {
    if (m_sink.empty()) m_sink.resize(4 << 20);
    return Read(m_sink.data(), std::min(size, m_sink.size()));
}

}  // namespace brisko
