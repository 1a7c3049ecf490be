#include "PrivateSessionBus.h"

#include <QFile>

// Bounds the daemon's start on a loaded machine; it measures nothing.
constexpr int kStartPatienceMs = 30000;

// The session bus's own rules, without the service folders that would start the desktop's real
// services for names the fakes do not own.
const char kConfiguration[] = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

PrivateSessionBus::PrivateSessionBus() {
    QFile configuration(m_folder.filePath(QStringLiteral("bus.conf")));
    if (!configuration.open(QIODevice::WriteOnly) ||
        configuration.write(QString::fromLatin1(kConfiguration).arg(m_folder.path()).toUtf8()) < 0)
        return;
    configuration.close();
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + configuration.fileName(),
                    QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    while (m_daemon.waitForReadyRead(kStartPatienceMs)) {
        if (m_daemon.canReadLine()) {
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
            return;
        }
    }
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
