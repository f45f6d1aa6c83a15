#pragma once
// A message bus of a test's own: dbus-daemon with a private configuration in a
// temporary folder, stopped with this object. Nothing here touches the system bus.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace brisko::test {

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The bus's D-Bus address; empty when the daemon did not start (see Error()).
    const QString& Address() const { return m_address; }
    const QString& Error() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};

}  // namespace brisko::test
