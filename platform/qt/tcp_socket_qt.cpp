#include "platform/qt/tcp_socket_qt.h"

#include <QTcpSocket>

namespace brisko {

namespace {

// Winsock's numbers for the failures a download meets, so that a later Windows
// back end and this one report alike.
long WinsockNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::NetworkError: return 10050;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    default: return 10000 + static_cast<long>(error);
    }
}

// At most this much is taken from the system per data event: memory stays the same
// whatever the link delivers, and the bytes are still warm in the cache when dropped.
constexpr qint64 kReadBufferBytes = 1 << 20;

}  // namespace

TcpSocketQt::TcpSocketQt() : m_socket(std::make_unique<QTcpSocket>()) {
    QTcpSocket* s = m_socket.get();
    s->setReadBufferSize(kReadBufferBytes);
    // Connect and error are posted, so that they never run inside Connect().
    QObject::connect(s, &QTcpSocket::connected, s, [this] {
        Post([this] {
            if (m_events.connected) m_events.connected();
        });
    });
    QObject::connect(s, &QTcpSocket::readyRead, s, [this] {
        if (m_events.dataArrival) m_events.dataArrival();
    });
    QObject::connect(s, &QTcpSocket::errorOccurred, s, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError) {
            // Winsock reports this as a close event, not as an error.
            Post([this] {
                if (m_events.closed) m_events.closed();
            });
            return;
        }
        const long number = WinsockNumber(error);
        const std::string description = m_socket->errorString().toStdString();
        Post([this, number, description] {
            if (m_events.error) m_events.error(number, description);
        });
    });
}

TcpSocketQt::~TcpSocketQt() {
    m_socket->disconnect();
    m_socket->abort();
}

void TcpSocketQt::SetEvents(TcpSocketEvents events) { m_events = std::move(events); }

void TcpSocketQt::Post(std::function<void()> event) {
    const unsigned generation = m_generation;
    QMetaObject::invokeMethod(
        m_socket.get(),
        [this, generation, event = std::move(event)] {
            if (generation == m_generation) event();
        },
        Qt::QueuedConnection);
}

void TcpSocketQt::Connect(const std::string& host, std::uint16_t port) {
    Close();
    m_remoteHost = host;
    m_socket->connectToHost(QString::fromStdString(host), port);
}

Status TcpSocketQt::SendData(const std::string& data) {
    const qint64 written = m_socket->write(data.data(), static_cast<qint64>(data.size()));
    if (written != static_cast<qint64>(data.size()))
        return Status::Fail(WinsockNumber(m_socket->error()), m_socket->errorString().toStdString());
    return Status::Ok();
}

std::size_t TcpSocketQt::Read(char* buffer, std::size_t size) {
    const qint64 read = m_socket->read(buffer, static_cast<qint64>(size));
    return read > 0 ? static_cast<std::size_t>(read) : 0;
}

std::size_t TcpSocketQt::Discard(std::size_t size) {
    const qint64 skipped = m_socket->skip(static_cast<qint64>(size));
    return skipped > 0 ? static_cast<std::size_t>(skipped) : 0;
}

void TcpSocketQt::Close() {
    ++m_generation;
    m_socket->abort();
}

}  // namespace brisko
