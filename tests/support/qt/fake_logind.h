#pragma once
// Stand-in for systemd-logind on a private bus: answers CanReboot as told, records
// Reboot, PowerOff, GetSessionByPID and the session's Terminate instead of doing them.
// It serves from a thread of its own, so blocking calls from the test's thread get
// their answers. Reboot can be held unanswered, as while logind waits for a password.
#include <QDBusMessage>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <map>
#include <memory>

class QObject;

namespace brisko::test {

class FakeLogind {
public:
    struct State {
        mutable QMutex mutex;
        QString canReboot = "yes";
        QStringList calls;  // "CanReboot", "Reboot true", "GetSessionByPID 123", "Terminate"
        std::map<QString, std::pair<QString, QString>> failures;  // method -> error name, message
        bool holdReboot = false;
        QList<QDBusMessage> held;  // Reboot calls not answered yet
    };

    explicit FakeLogind(const QString& busAddress);
    ~FakeLogind();
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;

    // True once the name org.freedesktop.login1 is served on the bus.
    bool IsServing() const { return m_serving; }
    void SetCanReboot(const QString& answer);
    // Makes every later call of method answer with a D-Bus error.
    void FailCall(const QString& method, const QString& errorName, const QString& message);
    QStringList Calls() const;
    // Reboot calls from now on wait until AnswerHeld.
    void HoldReboot();
    int HeldCount() const;
    // Answers the held calls: with success when errorName is empty, else with that error.
    void AnswerHeld(const QString& errorName = {}, const QString& message = {});

    static constexpr const char* kSessionPath = "/org/freedesktop/login1/session/_31";

private:
    std::shared_ptr<State> m_state = std::make_shared<State>();
    QThread m_thread;
    QObject* m_manager = nullptr;
    QObject* m_session = nullptr;
    QString m_connectionName;
    bool m_serving = false;
};

}  // namespace brisko::test
