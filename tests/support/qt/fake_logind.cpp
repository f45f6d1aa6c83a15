#include "tests/support/qt/fake_logind.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QMutexLocker>
#include <QObject>
#include <QUuid>

namespace brisko::test {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");

// Records the call; answers with the configured error if there is one.
bool Record(QDBusContext& context, FakeLogind::State& state, const QString& method, const QString& call) {
    QMutexLocker lock(&state.mutex);
    state.calls << call;
    const auto failure = state.failures.find(method);
    if (failure == state.failures.end()) return true;
    context.sendErrorReply(failure->second.first, failure->second.second);
    return false;
}

}  // namespace

class FakeLogindManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    explicit FakeLogindManager(std::shared_ptr<FakeLogind::State> state) : m_state(std::move(state)) {}

public slots:
    QString CanReboot() {
        if (!Record(*this, *m_state, "CanReboot", "CanReboot")) return {};
        QMutexLocker lock(&m_state->mutex);
        return m_state->canReboot;
    }
    void Reboot(bool interactive) {
        if (!Record(*this, *m_state, "Reboot", Call("Reboot", interactive))) return;
        QMutexLocker lock(&m_state->mutex);
        if (!m_state->holdReboot) return;
        setDelayedReply(true);
        m_state->held << message();
    }
    void PowerOff(bool interactive) { Record(*this, *m_state, "PowerOff", Call("PowerOff", interactive)); }
    QDBusObjectPath GetSessionByPID(uint pid) {
        if (!Record(*this, *m_state, "GetSessionByPID", "GetSessionByPID " + QString::number(pid))) return {};
        return QDBusObjectPath(FakeLogind::kSessionPath);
    }

private:
    static QString Call(const char* method, bool interactive) {
        return QString(method) + (interactive ? " true" : " false");
    }
    std::shared_ptr<FakeLogind::State> m_state;
};

class FakeLogindSession : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
public:
    explicit FakeLogindSession(std::shared_ptr<FakeLogind::State> state) : m_state(std::move(state)) {}

public slots:
    void Terminate() { Record(*this, *m_state, "Terminate", "Terminate"); }

private:
    std::shared_ptr<FakeLogind::State> m_state;
};

FakeLogind::FakeLogind(const QString& busAddress)
    : m_connectionName("fake-logind-" + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    m_thread.start();
    m_manager = new FakeLogindManager(m_state);
    m_session = new FakeLogindSession(m_state);
    m_manager->moveToThread(&m_thread);
    m_session->moveToThread(&m_thread);
    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connectionName);
    m_serving = bus.isConnected() &&
                bus.registerObject(kManagerPath, m_manager, QDBusConnection::ExportAllSlots) &&
                bus.registerObject(kSessionPath, m_session, QDBusConnection::ExportAllSlots) &&
                bus.registerService(kService);
}

FakeLogind::~FakeLogind() {
    {
        QDBusConnection bus(m_connectionName);
        bus.unregisterService(kService);
        bus.unregisterObject(kManagerPath);
        bus.unregisterObject(kSessionPath);
    }
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_thread.quit();
    m_thread.wait();
    delete m_manager;
    delete m_session;
}

void FakeLogind::SetCanReboot(const QString& answer) {
    QMutexLocker lock(&m_state->mutex);
    m_state->canReboot = answer;
}

void FakeLogind::FailCall(const QString& method, const QString& errorName, const QString& message) {
    QMutexLocker lock(&m_state->mutex);
    m_state->failures[method] = {errorName, message};
}

void FakeLogind::HoldReboot() {
    QMutexLocker lock(&m_state->mutex);
    m_state->holdReboot = true;
}

int FakeLogind::HeldCount() const {
    QMutexLocker lock(&m_state->mutex);
    return static_cast<int>(m_state->held.size());
}

void FakeLogind::AnswerHeld(const QString& errorName, const QString& message) {
    QList<QDBusMessage> held;
    {
        QMutexLocker lock(&m_state->mutex);
        held.swap(m_state->held);
    }
    QDBusConnection bus(m_connectionName);
    for (const QDBusMessage& call : held)
        bus.send(errorName.isEmpty() ? call.createReply() : call.createErrorReply(errorName, message));
}

QStringList FakeLogind::Calls() const {
    QMutexLocker lock(&m_state->mutex);
    return m_state->calls;
}

}  // namespace brisko::test

#include "fake_logind.moc"
