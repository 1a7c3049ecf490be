#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus message bus of the test's own, so that fakes of desktop services never meet the user's
// session. It starts no service by itself: a name nobody owns stays missing.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    // For a program started by the test, as its DBUS_SESSION_BUS_ADDRESS.
    QString address() const { return m_address; }
    // A connection of its own under name, as a separate program would have.
    QDBusConnection connect(const QString &name);

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};
