#include "tests/support/qt/test_server.h"

#include <QRegularExpression>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/qt/wait.h"

namespace brisko::test {

TestServerProcess::TestServerProcess(const QStringList& options) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral(BRISKO_BIN_DIR "/brisko-testserver"),
                    QStringList{"--listen", "127.0.0.1", "--port", "0"} + options);
    const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    WaitUntil([&] {
        const auto match = listening.match(Log());
        if (match.hasMatch()) m_port = static_cast<quint16>(match.captured(1).toUInt());
        return m_port != 0 || m_process.state() == QProcess::NotRunning;
    });
}

TestServerProcess::~TestServerProcess() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString TestServerProcess::Address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

QString TestServerProcess::Log() {
    m_log += QString::fromUtf8(m_process.readAll());
    return m_log;
}

bool TestServerProcess::WaitForLog(const QString& text, int timeoutMs) {
    return WaitUntil([&] { return Log().contains(text); }, timeoutMs);
}

quint16 UnusedPort() {
    // Bound and closed again without listening: connections to it are refused.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace brisko::test
