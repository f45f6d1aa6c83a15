#pragma once
// Runs brisko-testserver on a free loopback port for one test, with the given options.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace brisko::test {

class TestServerProcess {
public:
    explicit TestServerProcess(const QStringList& options = {});
    ~TestServerProcess();
    TestServerProcess(const TestServerProcess&) = delete;
    TestServerProcess& operator=(const TestServerProcess&) = delete;

    bool Started() const { return m_port != 0; }
    quint16 Port() const { return m_port; }
    QString Address() const;  // "127.0.0.1:port", the form BRISKO_TEST_SERVER takes
    QString Log();            // everything it printed so far
    bool WaitForLog(const QString& text, int timeoutMs = 10000);

private:
    QProcess m_process;
    QString m_log;
    quint16 m_port = 0;
};

// A port on 127.0.0.1 that nothing listens on.
quint16 ClosedPort();

}  // namespace brisko::test
