#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

// Some desktops have no tray, or get one late. When none is there at start and none has come
// once the grace period is over, the fallback runs once, so the user still has a window.
class NoTrayFallback : public QObject {
    Q_OBJECT
public:
    NoTrayFallback(std::function<bool()> trayAvailable, std::chrono::milliseconds grace,
                   QObject *parent = nullptr);

    void setFallback(std::function<void()> fallback);

public slots:
    void graceElapsed();

private:
    std::function<bool()> m_trayAvailable;
    std::function<void()> m_fallback;
    QTimer m_graceTimer;
    bool m_settled;
};
