#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

// The clicks on the icon and its balloon that the tray form answers or may answer.
enum class TrayClick { LeftClick, RightClick, DoubleClick, BalloonClicked };

// The desktop side of the tray icon, so that the icon's logic runs in tests without a tray.
class TrayIconBackend {
public:
    virtual ~TrayIconBackend() = default;

    virtual void setClickHandler(std::function<void(TrayClick click)> handler) = 0;
    virtual bool trayAvailable() const = 0;
    virtual void setIcon(const QIcon &icon) = 0;
    virtual void setToolTip(const QString &text) = 0;
    virtual void showMessage(const QString &title, const QString &message,
                             QSystemTrayIcon::MessageIcon icon, int timeoutMs) = 0;
    virtual void show() = 0;
    virtual void remove() = 0;
};
