#pragma once

#include "tray/DesktopNotifications.h"
#include "tray/TrayIconBackend.h"

#include <QSystemTrayIcon>

#include <functional>
#include <optional>

// The tray icon on the desktop's own tray through QSystemTrayIcon. Where the desktop shows no
// tray, balloon tips become desktop notifications.
class QtTrayIconBackend : public TrayIconBackend {
public:
    QtTrayIconBackend();
    QtTrayIconBackend(std::function<bool()> trayAvailable, DesktopNotifications notifications);

    // Qt reports a double click as Trigger then DoubleClick, the same order the shell codes have.
    static std::optional<qint32> shellCodeFor(QSystemTrayIcon::ActivationReason reason);

    void setShellCodeHandler(std::function<void(qint32 code)> handler) override;
    void setIcon(const QIcon &icon) override;
    void setToolTip(const QString &text) override;
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon icon, int timeoutMs) override;
    void show() override;
    void remove() override;

private:
    void deliver(qint32 code) const;

    std::function<bool()> m_trayAvailable;
    DesktopNotifications m_notifications;
    QSystemTrayIcon m_icon;
    std::function<void(qint32 code)> m_handler;
};
