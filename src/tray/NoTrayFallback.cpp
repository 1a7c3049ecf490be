#include "tray/NoTrayFallback.h"

#include <QDBusMessage>

namespace {
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
// The name of the desktop entry and of the icon it installs in the icon theme.
const QString kApplicationName = QStringLiteral("Brenno");
const QString kApplicationIcon = QStringLiteral("brenno");
constexpr uint kNewNotification = 0;
} // namespace

NoTrayFallback::NoTrayFallback(std::function<bool()> trayAvailable, QDBusConnection notificationBus,
                               std::chrono::milliseconds grace, QObject *parent)
    : QObject(parent)
    , m_trayAvailable(std::move(trayAvailable))
    , m_notificationBus(std::move(notificationBus))
    , m_settled(m_trayAvailable()) {
    if (m_settled)
        return;
    m_graceTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, &NoTrayFallback::graceElapsed);
    m_graceTimer.start(grace);
}

bool NoTrayFallback::trayAvailable() const {
    return m_trayAvailable();
}

void NoTrayFallback::notify(const QString &title, const QString &text, int timeoutMs) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kNotifications, QStringLiteral("/org/freedesktop/Notifications"), kNotifications,
        QStringLiteral("Notify"));
    call << kApplicationName << kNewNotification << kApplicationIcon << title << text
         << QStringList() << QVariantMap() << qint32(timeoutMs);
    m_notificationBus.send(call);
}

void NoTrayFallback::graceElapsed() {
    if (m_settled)
        return;
    m_settled = true;
    m_graceTimer.stop();
    if (!m_trayAvailable())
        emit noTray();
}
