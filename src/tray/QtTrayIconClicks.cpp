#include "tray/QtTrayIconClicks.h"

#include "tray/TrayIconBackend.h"

#include <optional>

namespace {

// Qt reports a double click as Trigger then DoubleClick, the same order the shell codes have.
std::optional<qint32> shellCodeFor(QSystemTrayIcon::ActivationReason reason) {
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

} // namespace

QtTrayIconClicks::QtTrayIconClicks(QSystemTrayIcon &icon, std::function<void(qint32 code)> deliver)
    : m_deliver(std::move(deliver)) {
    connect(&icon, &QSystemTrayIcon::activated, this, &QtTrayIconClicks::iconActivated);
    connect(&icon, &QSystemTrayIcon::messageClicked, this, &QtTrayIconClicks::balloonClicked);
}

void QtTrayIconClicks::iconActivated(QSystemTrayIcon::ActivationReason reason) {
    // Qt emits the press right after the balloon click it made of it, in the same handler.
    m_balloonClickPending = false;
    if (const auto code = shellCodeFor(reason))
        m_deliver(*code);
}

void QtTrayIconClicks::balloonClicked() {
    m_balloonClickPending = true;
    QMetaObject::invokeMethod(this, &QtTrayIconClicks::settleBalloonClick, Qt::QueuedConnection);
}

void QtTrayIconClicks::settleBalloonClick() {
    if (!m_balloonClickPending)
        return;
    m_balloonClickPending = false;
    m_deliver(TrayShellCode::BalloonUserClick);
}
