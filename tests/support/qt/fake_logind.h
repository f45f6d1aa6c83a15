// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stand-in for systemd-logind on a message bus of its own (a dbus-daemon of its own;
// the system bus is never touched). It answers CanReboot as told and records Reboot,
// PowerOff, GetSessionByPID and the session's Terminate instead of doing them. It serves
// from a thread of its own, so blocking calls from the test's thread get their answers.
// Reboot can be held unanswered, as while logind waits for a password.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <map>
#include <memory>
#include <utility>

namespace brisko::test {

class FakeLogind {
    // Serves logind's path and those below it (the session's) from the stand-in's thread.
    struct Object final : QDBusVirtualObject {
        QString introspect(const QString&) const override { return {}; }
        bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
            const QString method = call.member();
            QMutexLocker lock(&mutex);
            calls << (call.arguments().isEmpty() ? method : method + " " + call.arguments()[0].toString());
            const auto failure = failures.find(method);
            if (failure != failures.end())
                bus.send(call.createErrorReply(failure->second.first, failure->second.second));
            else if (method == "Reboot" && holdReboot)
                held << call;
            else if (method == "CanReboot")
                bus.send(call.createReply(canReboot));
            else if (method == "GetSessionByPID")
                bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(kPath + "/session/_31"))));
            else
                bus.send(call.createReply());
            return true;
        }

        mutable QMutex mutex;
        QString canReboot = "yes";
        QStringList calls;
        std::map<QString, std::pair<QString, QString>> failures;  // method -> error name, message
        bool holdReboot = false;
        QList<QDBusMessage> held;  // Reboot calls not answered yet
    };

public:
    // serve false: the bus alone, where nobody owns logind's name.
    explicit FakeLogind(bool serve = true) {
        // A daemon of its own with the standard session set-up is a bus no one else uses.
        m_daemon.start("dbus-daemon", {"--session", "--print-address", "--nofork", "--nopidfile"});
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(15000)) {
        }
        const QString address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_connection = "fake-logind-" + address;
        QDBusConnection bus = QDBusConnection::connectToBus(address, m_connection);
        m_thread.start();
        m_object->moveToThread(&m_thread);
        if (!bus.isConnected() ||
            (serve && !(bus.registerVirtualObject(kPath, m_object.get(), QDBusConnection::SubPath) &&
                        bus.registerService("org.freedesktop.login1"))))
            m_error = "no bus at \"" + address + "\": " + m_daemon.errorString() + " " +
                      m_daemon.readAllStandardError();
        else
            m_address = address;
    }
    ~FakeLogind() {
        QDBusConnection::disconnectFromBus(m_connection);
        m_thread.quit();
        m_thread.wait();
    }

    // The bus's address; empty when the stand-in could not start (see Error()).
    const QString& Address() const { return m_address; }
    const QString& Error() const { return m_error; }
    void SetCanReboot(const QString& answer) {
        QMutexLocker lock(&m_object->mutex);
        m_object->canReboot = answer;
    }
    // Makes every later call of method answer with a D-Bus error.
    void FailCall(const QString& method, const QString& errorName, const QString& message) {
        QMutexLocker lock(&m_object->mutex);
        m_object->failures[method] = {errorName, message};
    }
    // The calls since the last take: "CanReboot", "Reboot true", "GetSessionByPID 123", "Terminate".
    QStringList TakeCalls() {
        QMutexLocker lock(&m_object->mutex);
        return std::exchange(m_object->calls, {});
    }
    // Reboot calls from now on wait until AnswerHeld.
    void HoldReboot() {
        QMutexLocker lock(&m_object->mutex);
        m_object->holdReboot = true;
    }
    int HeldCount() const {
        QMutexLocker lock(&m_object->mutex);
        return static_cast<int>(m_object->held.size());
    }
    // Answers the held calls: with success when errorName is empty, else with that error.
    void AnswerHeld(const QString& errorName = {}, const QString& message = {}) {
        QMutexLocker lock(&m_object->mutex);
        const QDBusConnection bus(m_connection);
        for (const QDBusMessage& call : std::exchange(m_object->held, {}))
            bus.send(errorName.isEmpty() ? call.createReply() : call.createErrorReply(errorName, message));
    }

private:
    static inline const QString kPath = QStringLiteral("/org/freedesktop/login1");
    QProcess m_daemon;
    QString m_address, m_error, m_connection;
    QThread m_thread;
    std::unique_ptr<Object> m_object = std::make_unique<Object>();
};

}  // namespace brisko::test
