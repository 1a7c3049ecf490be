#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

// The clicks that QSystemTrayIcon reports, as the shell codes of the tray protocol. Qt's own X11
// tray reports a press on the icon while its balloon shows as a balloon click and then as the
// press; only a balloon click that no press of the icon follows in the same turn of the event
// loop is a click on the balloon itself.
class QtTrayIconClicks : public QObject {
    Q_OBJECT
public:
    QtTrayIconClicks(QSystemTrayIcon &icon, std::function<void(qint32 code)> deliver);

private:
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void balloonClicked();
    void settleBalloonClick();

    std::function<void(qint32 code)> m_deliver;
    bool m_balloonClickPending = false;
};
