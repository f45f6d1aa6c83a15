#pragma once
// Stand-in for systemd-logind on a message bus of its own (a dbus-daemon of its own;
// the system bus is never touched). It answers CanReboot as told and
// records Reboot, PowerOff, GetSessionByPID and the session's Terminate instead of
// doing them. It serves from a thread of its own, so blocking calls from the test's
// thread get their answers. Reboot can be held unanswered, as while logind waits for a password.
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <memory>

namespace brisko::test {

class FakeLogind {
public:
    // serve false: the bus alone, where nobody owns logind's name.
    explicit FakeLogind(bool serve = true);
    ~FakeLogind();

    // The bus's address; empty when the stand-in could not start (see Error()).
    const QString& Address() const { return m_address; }
    const QString& Error() const { return m_error; }
    void SetCanReboot(const QString& answer);
    // Makes every later call of method answer with a D-Bus error.
    void FailCall(const QString& method, const QString& errorName, const QString& message);
    // The calls since the last take: "CanReboot", "Reboot true", "GetSessionByPID 123", "Terminate".
    QStringList TakeCalls();
    // Reboot calls from now on wait until AnswerHeld.
    void HoldReboot();
    int HeldCount() const;
    // Answers the held calls: with success when errorName is empty, else with that error.
    void AnswerHeld(const QString& errorName = {}, const QString& message = {});

private:
    class Object;
    QProcess m_daemon;
    QString m_address, m_error, m_connection;
    QThread m_thread;
    std::unique_ptr<Object> m_object;
};

}  // namespace brisko::test
