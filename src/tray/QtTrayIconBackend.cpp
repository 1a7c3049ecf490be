#include "tray/QtTrayIconBackend.h"

QtTrayIconBackend::QtTrayIconBackend()
    : QtTrayIconBackend(&QSystemTrayIcon::isSystemTrayAvailable,
                        DesktopNotifications(QDBusConnection::sessionBus())) {}

QtTrayIconBackend::QtTrayIconBackend(std::function<bool()> trayAvailable,
                                     DesktopNotifications notifications)
    : m_trayAvailable(std::move(trayAvailable))
    , m_notifications(std::move(notifications))
    , m_clicks(m_icon, [this](qint32 code) {
        if (m_handler)
            m_handler(code);
    }) {}

void QtTrayIconBackend::setShellCodeHandler(std::function<void(qint32 code)> handler) {
    m_handler = std::move(handler);
}

void QtTrayIconBackend::setIcon(const QIcon &icon) {
    m_icon.setIcon(icon);
}

void QtTrayIconBackend::setToolTip(const QString &text) {
    m_icon.setToolTip(text);
}

void QtTrayIconBackend::showMessage(const QString &title, const QString &message,
                                    QSystemTrayIcon::MessageIcon icon, int timeoutMs) {
    if (m_trayAvailable())
        m_icon.showMessage(title, message, icon, timeoutMs);
    else
        m_notifications.Notify(title, message, timeoutMs);
}

void QtTrayIconBackend::show() {
    m_icon.show();
}

void QtTrayIconBackend::remove() {
    m_icon.hide();
}
