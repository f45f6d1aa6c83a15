// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs brisko-testserver on a free loopback port for one test, with the given options.
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

#include "tests/support/qt/wait.h"

namespace brisko::test {

class TestServerProcess {
public:
    explicit TestServerProcess(const QStringList& options = {}) {
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
    ~TestServerProcess() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool Started() const { return m_port != 0; }
    quint16 Port() const { return m_port; }
    // "127.0.0.1:port", the form BRISKO_TEST_SERVER takes
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString Log() { return m_log += QString::fromUtf8(m_process.readAll()); }  // all it printed so far
    bool WaitForLog(const QString& text, int timeoutMs = 10000) {
        return WaitUntil([&] { return Log().contains(text); }, timeoutMs);
    }

private:
    QProcess m_process;
    QString m_log;
    quint16 m_port = 0;
};

// A port on 127.0.0.1 that nothing listens on: an ephemeral one, let go.
inline quint16 ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

}  // namespace brisko::test
