#include "tray/DesktopNotifications.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// The name of the desktop entry and of the icon it installs in the icon theme.
const QString kApplicationName = QStringLiteral("Brenno");
const QString kApplicationIcon = QStringLiteral("brenno");
constexpr uint kNewNotification = 0;
} // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus)
    : m_bus(std::move(bus)) {}

void DesktopNotifications::Notify(const QString &title, const QString &message, int timeoutMs) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << kApplicationName << kNewNotification << kApplicationIcon << title << message
         << QStringList() << QVariantMap() << qint32(timeoutMs);
    m_bus.send(call);
}
