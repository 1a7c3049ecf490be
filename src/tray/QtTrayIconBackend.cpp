#include "tray/QtTrayIconBackend.h"

QtTrayIconBackend::QtTrayIconBackend()
    : QtTrayIconBackend(&QSystemTrayIcon::isSystemTrayAvailable,
                        DesktopNotifications(QDBusConnection::sessionBus())) {}

QtTrayIconBackend::QtTrayIconBackend(std::function<bool()> trayAvailable,
                                     DesktopNotifications notifications)
    : m_trayAvailable(std::move(trayAvailable))
    , m_notifications(std::move(notifications)) {
    QObject::connect(&m_icon, &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (const auto code = shellCodeFor(reason))
                             deliver(*code);
                     });
    QObject::connect(&m_icon, &QSystemTrayIcon::messageClicked,
                     [this] { deliver(TrayShellCode::BalloonUserClick); });
}

std::optional<qint32> QtTrayIconBackend::shellCodeFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Context:
        return TrayShellCode::RightButtonUp;
    case QSystemTrayIcon::Trigger:
        return TrayShellCode::LeftButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return TrayShellCode::LeftButtonDoubleClick;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return std::nullopt;
}

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

void QtTrayIconBackend::deliver(qint32 code) const {
    if (m_handler)
        m_handler(code);
}
