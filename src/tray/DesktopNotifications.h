#pragma once

#include <QDBusConnection>
#include <QString>

// Balloon tips as the desktop's own notifications, for desktops that show no tray icons.
class DesktopNotifications {
public:
    explicit DesktopNotifications(QDBusConnection bus);

    // Sent without waiting for an answer: a desktop without a notification service shows nothing,
    // as a tray without balloons would.
    void Notify(const QString &title, const QString &message, int timeoutMs);

private:
    QDBusConnection m_bus;
};
