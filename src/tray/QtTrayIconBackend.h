#pragma once

#include "tray/TrayIconBackend.h"

#include <QDBusConnection>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

// The tray icon on the desktop's own tray through QSystemTrayIcon. Where the desktop shows no
// tray, balloon tips become desktop notifications on the given bus.
class QtTrayIconBackend : public QObject, public TrayIconBackend {
    Q_OBJECT
public:
    QtTrayIconBackend();
    QtTrayIconBackend(std::function<bool()> trayAvailable, QDBusConnection notificationBus);

    void setClickHandler(std::function<void(TrayClick click)> handler) override;
    bool trayAvailable() const override;
    void setIcon(const QIcon &icon) override;
    void setToolTip(const QString &text) override;
    void showMessage(const QString &title, const QString &message,
                     QSystemTrayIcon::MessageIcon icon, int timeoutMs) override;
    void show() override;
    void remove() override;

private:
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void balloonClicked();
    void settleBalloonClick();

    std::function<bool()> m_trayAvailable;
    QDBusConnection m_notificationBus;
    QSystemTrayIcon *m_icon;
    std::function<void(TrayClick click)> m_handler;
    bool m_balloonClickPending = false;
};
