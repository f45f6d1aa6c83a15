#include "tests/support/qt/fake_logind.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QMutexLocker>
#include <map>
#include <utility>

namespace brisko::test {

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
}  // namespace

// Serves logind's path and those below it (the session's) from the stand-in's thread.
class FakeLogind::Object final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
        const QString method = call.member();
        const QString record = call.arguments().isEmpty() ? method : method + " " + call.arguments()[0].toString();
        QMutexLocker lock(&mutex);
        calls << record;
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

FakeLogind::FakeLogind(bool serve) : m_object(new Object) {
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
                    bus.registerService(kService))))
        m_error = "no bus at \"" + address + "\": " + m_daemon.errorString() + " " +
                  m_daemon.readAllStandardError();
    else
        m_address = address;
}

FakeLogind::~FakeLogind() {
    QDBusConnection::disconnectFromBus(m_connection);
    m_thread.quit();
    m_thread.wait();
}

void FakeLogind::SetCanReboot(const QString& answer) {
    QMutexLocker lock(&m_object->mutex);
    m_object->canReboot = answer;
}

void FakeLogind::FailCall(const QString& method, const QString& errorName, const QString& message) {
    QMutexLocker lock(&m_object->mutex);
    m_object->failures[method] = {errorName, message};
}

QStringList FakeLogind::TakeCalls() {
    QMutexLocker lock(&m_object->mutex);
    return std::exchange(m_object->calls, {});
}

void FakeLogind::HoldReboot() {
    QMutexLocker lock(&m_object->mutex);
    m_object->holdReboot = true;
}

int FakeLogind::HeldCount() const {
    QMutexLocker lock(&m_object->mutex);
    return static_cast<int>(m_object->held.size());
}

void FakeLogind::AnswerHeld(const QString& errorName, const QString& message) {
    QMutexLocker lock(&m_object->mutex);
    const QDBusConnection bus(m_connection);
    for (const QDBusMessage& call : std::exchange(m_object->held, {}))
        bus.send(errorName.isEmpty() ? call.createReply() : call.createErrorReply(errorName, message));
}

}  // namespace brisko::test
