// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs brisko-testserver on a free loopback port for one test, with the given options,
// on 127.0.0.1 or on ::1.
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

#include "tests/support/qt/wait.h"

namespace brisko::test {

class TestServerProcess {
public:
    explicit TestServerProcess(const QStringList& options = {}, const QString& listen = QStringLiteral("127.0.0.1"))
        : m_host(listen.contains(':') ? "[" + listen + "]" : listen) {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(BRISKO_BIN_DIR "/brisko-testserver"),
                        QStringList{"--listen", listen, "--port", "0"} + options);
        const QRegularExpression listening("listening on " + QRegularExpression::escape(m_host) + ":(\\d+)");
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
    // "127.0.0.1:port" or "[::1]:port", the form BRISKO_TEST_SERVER takes
    QString Address() const { return m_host + ":" + QString::number(m_port); }
    QString Log() { return m_log += QString::fromUtf8(m_process.readAll()); }  // all it printed so far
    bool WaitForLog(const QString& text, int timeoutMs = 10000) {
        return WaitUntil([&] { return Log().contains(text); }, timeoutMs);
    }

private:
    QString m_host;
    QProcess m_process;
    QString m_log;
    quint16 m_port = 0;
};

// Whether ::1 can be listened on: not where IPv6 is off, or in a namespace whose
// loopback is down.
inline bool HasIpv6Loopback() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHostIPv6);
}
inline constexpr const char* kNoIpv6 = "skipped: no IPv6 on the loopback interface";

// A port on 127.0.0.1 that nothing listens on: an ephemeral one, let go.
inline quint16 ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

}  // namespace brisko::test
