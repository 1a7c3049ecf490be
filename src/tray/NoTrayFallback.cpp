#include "tray/NoTrayFallback.h"

NoTrayFallback::NoTrayFallback(std::function<bool()> trayAvailable, std::chrono::milliseconds grace,
                               QObject *parent)
    : QObject(parent)
    , m_trayAvailable(std::move(trayAvailable))
    , m_settled(m_trayAvailable()) {
    if (m_settled)
        return;
    m_graceTimer.setSingleShot(true);
    connect(&m_graceTimer, &QTimer::timeout, this, &NoTrayFallback::graceElapsed);
    m_graceTimer.start(grace);
}

void NoTrayFallback::setFallback(std::function<void()> fallback) {
    m_fallback = std::move(fallback);
}

void NoTrayFallback::graceElapsed() {
    if (m_settled)
        return;
    m_settled = true;
    m_graceTimer.stop();
    if (!m_trayAvailable() && m_fallback)
        m_fallback();
}
