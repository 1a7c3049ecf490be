#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

// Codes of the notification-area protocol that the tray icon's events are defined by.
namespace TrayShellCode {
constexpr qint32 LeftButtonUp = 0x202;
constexpr qint32 RightButtonUp = 0x205;
constexpr qint32 LeftButtonDoubleClick = 0x203;
constexpr qint32 BalloonHide = 0x403;
constexpr qint32 BalloonTimeout = 0x404;
constexpr qint32 BalloonUserClick = 0x405;
} // namespace TrayShellCode

// The desktop side of the tray icon, so that the icon's logic runs in tests without a tray.
class TrayIconBackend {
public:
    virtual ~TrayIconBackend() = default;

    // Receives the shell code of every click on the icon or its balloon.
    virtual void setShellCodeHandler(std::function<void(qint32 code)> handler) = 0;
    virtual void setIcon(const QIcon &icon) = 0;
    virtual void setToolTip(const QString &text) = 0;
    virtual void showMessage(const QString &title, const QString &message,
                             QSystemTrayIcon::MessageIcon icon, int timeoutMs) = 0;
    virtual void show() = 0;
    virtual void remove() = 0;
};
