#include "tests/support/qt/test_server.h"

#include <QRegularExpression>
#include <QTcpServer>

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

quint16 ClosedPort() {
    // Take an ephemeral port and let it go: nothing answers there afterwards.
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

}  // namespace brisko::test
