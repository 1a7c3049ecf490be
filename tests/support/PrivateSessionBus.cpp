#include "PrivateSessionBus.h"

// Bounds the daemon's start on a loaded machine; it measures nothing.
constexpr int kStartPatienceMs = 30000;

PrivateSessionBus::PrivateSessionBus() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=" PRIVATE_SESSION_BUS_CONF),
                    QStringLiteral("--address=unix:dir=") + m_folder.path(),
                    QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(kStartPatienceMs)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString &name : m_connections)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QDBusConnection PrivateSessionBus::connect(const QString &name) {
    m_connections << name;
    return QDBusConnection::connectToBus(m_address, name);
}
