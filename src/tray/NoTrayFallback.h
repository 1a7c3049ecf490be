#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>

// Some desktops have no tray, or get one late. Without one, balloon tips become desktop
// notifications on the given bus; and when none is there at start and none has come once the
// grace period is over, noTray is emitted once, so that the user still has a window.
class NoTrayFallback : public QObject {
    Q_OBJECT
public:
    NoTrayFallback(std::function<bool()> trayAvailable, QDBusConnection notificationBus,
                   std::chrono::milliseconds grace, QObject *parent = nullptr);

    bool trayAvailable() const;
    // Sent without waiting for an answer: a desktop without a notification service shows
    // nothing, as a tray without balloons would.
    void notify(const QString &title, const QString &text, int timeoutMs);

public slots:
    void graceElapsed();

signals:
    void noTray();

private:
    std::function<bool()> m_trayAvailable;
    QDBusConnection m_notificationBus;
    QTimer m_graceTimer;
    bool m_settled;
};
