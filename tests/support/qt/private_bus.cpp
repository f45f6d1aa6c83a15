#include "tests/support/qt/private_bus.h"

#include <QDeadlineTimer>
#include <QFile>

namespace brisko::test {

PrivateBus::PrivateBus() {
    if (!m_dir.isValid()) {
        m_error = "no temporary folder";
        return;
    }
    const QString config = m_dir.filePath("bus.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = "cannot write " + config;
        return;
    }
    file.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                              "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                              "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                   .arg(m_dir.path())
                   .toUtf8());
    file.close();

    m_daemon.setProgram("dbus-daemon");
    m_daemon.setArguments({"--config-file=" + config, "--print-address", "--nofork", "--nopidfile"});
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000)) {
        m_error = "dbus-daemon did not start: " + m_daemon.errorString();
        return;
    }
    QDeadlineTimer deadline(15000);
    while (!m_daemon.canReadLine()) {
        if (deadline.hasExpired() || m_daemon.state() != QProcess::Running ||
            !m_daemon.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            m_error = "dbus-daemon gave no address: " + QString::fromLocal8Bit(m_daemon.readAllStandardError());
            return;
        }
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    if (m_daemon.state() == QProcess::NotRunning) return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}

}  // namespace brisko::test
