// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/tcp_socket_qt.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace brisko {

namespace {

// Winsock's numbers for the failures a download meets, so that both back ends report alike.
long WinsockNumber(int error) {
    switch (error) {
    case ECONNREFUSED: return 10061;
    case ECONNRESET: return 10054;
    case ETIMEDOUT: return 10060;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case EHOSTUNREACH: return 10065;
    case EACCES: return 10013;
    case EADDRNOTAVAIL: return 10049;
    case ENOTCONN: return 10057;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EMFILE:
    case ENFILE: return 10024;
    default: return 10000 + error;
    }
}

constexpr long kHostNotFound = 11001;

// Set before connecting, a buffer this large (Linux doubles it) holds a fast link's
// whole window from the first byte, where autotuning would still be growing it. A
// fixed size ends autotuning, so only where the system grants it whole: clipped to a
// small rmem_max, it would slow every distant server.
constexpr int kReceiveBufferBytes = 4 << 20;

bool FixedReceiveBufferAllowed() {
    static const bool allowed = [] {
        long largest = 0;
        std::ifstream("/proc/sys/net/core/rmem_max") >> largest;
        return largest >= kReceiveBufferBytes;
    }();
    return allowed;
}

// A notifier may be the one whose event is running: it goes once that event is over.
void Retire(std::unique_ptr<QSocketNotifier>& notifier) {
    if (!notifier) return;
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
}

}  // namespace

TcpSocketQt::TcpSocketQt() : m_context(std::make_unique<QObject>()) {}

TcpSocketQt::~TcpSocketQt() { Close(); }

void TcpSocketQt::Post(std::function<void()> event) {
    const unsigned generation = m_generation;
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, generation, event = std::move(event)] {
            if (generation == m_generation) event();
        },
        Qt::QueuedConnection);
}

void TcpSocketQt::PostError(int number) {
    const long winsock = WinsockNumber(number);
    const std::string text = std::strerror(number);
    Post([this, winsock, text] {
        if (m_events.error) m_events.error(winsock, text);
    });
}

void TcpSocketQt::Drop() {
    Retire(m_readable);
    Retire(m_writable);
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_output.clear();
}

void TcpSocketQt::Close() {
    ++m_generation;
    if (m_lookup >= 0) QHostInfo::abortHostLookup(m_lookup);
    m_lookup = -1;
    m_addresses.clear();
    Drop();
    m_state = State::Closed;
}

void TcpSocketQt::Connect(const std::string& host, std::uint16_t port) {
    Close();
    m_remoteHost = host;
    m_port = port;
    QHostAddress literal;
    if (literal.setAddress(QString::fromStdString(host))) {
        m_addresses = {literal};
        m_state = State::Connecting;
        TryNextAddress();
        return;
    }
    m_state = State::LookingUp;
    const unsigned generation = m_generation;
    m_lookup = QHostInfo::lookupHost(QString::fromStdString(host), m_context.get(),
                                     [this, generation](const QHostInfo& info) {
                                         if (generation == m_generation) OnLookedUp(info);
                                     });
}

void TcpSocketQt::OnLookedUp(const QHostInfo& info) {
    m_lookup = -1;
    for (const QHostAddress& a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol || a.protocol() == QAbstractSocket::IPv6Protocol)
            m_addresses.push_back(a);
    if (m_addresses.empty()) {
        m_state = State::Closed;
        const std::string text =
            info.error() == QHostInfo::NoError ? std::string("Host not found") : info.errorString().toStdString();
        Post([this, text] {
            if (m_events.error) m_events.error(kHostNotFound, text);
        });
        return;
    }
    m_state = State::Connecting;
    TryNextAddress();
}

void TcpSocketQt::TryNextAddress() {
    while (!m_addresses.empty()) {
        const QHostAddress address = m_addresses.front();
        m_addresses.pop_front();
        Drop();
        sockaddr_storage storage{};
        socklen_t length = 0;
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            auto* in = reinterpret_cast<sockaddr_in*>(&storage);
            in->sin_family = AF_INET;
            in->sin_port = htons(m_port);
            in->sin_addr.s_addr = htonl(address.toIPv4Address());
            length = sizeof *in;
        } else {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(m_port);
            const Q_IPV6ADDR bytes = address.toIPv6Address();
            std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
            // A link-local address's zone: an interface's number, or its name ("fe80::1%eth0").
            bool numeric = false;
            in6->sin6_scope_id = address.scopeId().toUInt(&numeric);
            if (!numeric && !address.scopeId().isEmpty())
                in6->sin6_scope_id = ::if_nametoindex(address.scopeId().toLocal8Bit().constData());
            length = sizeof *in6;
        }
        m_fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
        if (m_fd < 0) {
            m_lastConnectError = errno;
            continue;
        }
        // The request goes out at once, not after a delayed acknowledgement.
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (FixedReceiveBufferAllowed())
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBufferBytes, sizeof kReceiveBufferBytes);
        m_readable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        m_readable->setEnabled(false);
        QObject::connect(m_readable.get(), &QSocketNotifier::activated, m_context.get(), [this] { OnReadable(); });
        m_writable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
        QObject::connect(m_writable.get(), &QSocketNotifier::activated, m_context.get(), [this] {
            if (m_state == State::Connecting)
                OnConnectDone();
            else
                FlushOutput();
        });
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&storage), length) == 0 || errno == EINPROGRESS)
            return;  // the write notifier tells how it went
        m_lastConnectError = errno;
    }
    Drop();
    m_state = State::Closed;
    PostError(m_lastConnectError ? m_lastConnectError : ECONNREFUSED);
}

void TcpSocketQt::OnConnectDone() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) {
        m_lastConnectError = error;
        TryNextAddress();
        return;
    }
    m_state = State::Connected;
    m_addresses.clear();
    m_writable->setEnabled(false);
    m_readable->setEnabled(true);
    Post([this] {
        if (m_events.connected) m_events.connected();
    });
}

void TcpSocketQt::OnReadable() {
    // Called directly: the handler takes the data, and the notifier would report it again.
    if (m_events.dataArrival) m_events.dataArrival();
}

Status TcpSocketQt::SendData(const std::string& data) {
    if (m_state != State::Connected) return Status::Fail(WinsockNumber(ENOTCONN), std::strerror(ENOTCONN));
    if (!m_output.empty()) {
        m_output += data;
        FlushOutput();
        return Status::Ok();
    }
    // Straight from the caller's bytes: only what the system leaves is copied.
    const std::optional<std::size_t> sent = SendNow(data.data(), data.size());
    if (!sent) return Status::Ok();  // the error event tells
    if (*sent == data.size()) {
        PostSendComplete();
        return Status::Ok();
    }
    m_output.assign(data, *sent);
    if (m_writable) m_writable->setEnabled(true);
    return Status::Ok();
}

std::optional<std::size_t> TcpSocketQt::SendNow(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t sent = ::send(m_fd, data + done, size - done, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                PostError(errno);
                return std::nullopt;
            }
            break;
        }
        done += static_cast<std::size_t>(sent);
    }
    return done;
}

void TcpSocketQt::FlushOutput() {
    if (!m_output.empty()) {
        const std::optional<std::size_t> sent = SendNow(m_output.data(), m_output.size());
        if (!sent) {
            m_output.clear();  // nothing more will go
        } else {
            m_output.erase(0, *sent);
            if (m_output.empty()) PostSendComplete();
        }
    }
    if (m_writable) m_writable->setEnabled(!m_output.empty());
}

void TcpSocketQt::PostSendComplete() {
    if (!m_events.sendComplete) return;  // nobody waits for it: no event
    Post([this] {
        if (m_events.sendComplete) m_events.sendComplete();
    });
}

std::optional<std::size_t> TcpSocketQt::UnacknowledgedBytes() const {
    if (m_fd < 0) return m_output.size();
    // For TCP, Linux counts both the bytes not sent yet and those sent but not acknowledged.
    int queued = 0;
    if (::ioctl(m_fd, SIOCOUTQ, &queued) != 0 || queued < 0) return std::nullopt;
    return m_output.size() + static_cast<std::size_t>(queued);
}

std::size_t TcpSocketQt::Received(long n) {
    if (n > 0) return static_cast<std::size_t>(n);
    const int error = n == 0 ? 0 : errno;
    if (n < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)) return 0;
    // The end of the stream, or a failure: nothing more will be read.
    m_readable->setEnabled(false);
    m_state = State::Closed;
    if (n == 0 || error == ECONNRESET) {
        // As the control does: the end of the connection is a close event, not an error.
        Post([this] {
            if (m_events.closed) m_events.closed();
        });
    } else {
        PostError(error);
    }
    return 0;
}

std::size_t TcpSocketQt::Read(char* buffer, std::size_t size) {
    if (m_state != State::Connected || size == 0) return 0;
    return Received(::recv(m_fd, buffer, size, 0));
}

std::size_t TcpSocketQt::Discard(std::size_t size) {
    if (m_state != State::Connected || size == 0) return 0;
    // Linux drops TCP data with MSG_TRUNC without copying it anywhere (tcp(7)).
    return Received(::recv(m_fd, nullptr, size, MSG_TRUNC));
}

}  // namespace brisko
