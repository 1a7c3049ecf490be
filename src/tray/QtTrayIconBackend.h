#pragma once

#include "tray/DesktopNotifications.h"
#include "tray/QtTrayIconClicks.h"
#include "tray/TrayIconBackend.h"

#include <QSystemTrayIcon>

#include <functional>

// The tray icon on the desktop's own tray through QSystemTrayIcon. Where the desktop shows no
// tray, balloon tips become desktop notifications.
class QtTrayIconBackend : public TrayIconBackend {
public:
    QtTrayIconBackend();
    QtTrayIconBackend(std::function<bool()> trayAvailable, DesktopNotifications notifications);

    void setShellCodeHandler(std::function<void(qint32 code)> handler) override;
    void setIcon(const QIcon &icon) override;
    void setToolTip(const QString &text) override;
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon icon, int timeoutMs) override;
    void show() override;
    void remove() override;

private:
    std::function<bool()> m_trayAvailable;
    DesktopNotifications m_notifications;
    QSystemTrayIcon m_icon;
    std::function<void(qint32 code)> m_handler;
    QtTrayIconClicks m_clicks;
};
