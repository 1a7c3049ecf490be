#include "tray/QtTrayIconBackend.h"

#include <QDBusMessage>

namespace {
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
// The name of the desktop entry and of the icon it installs in the icon theme.
const QString kApplicationName = QStringLiteral("Brenno");
const QString kApplicationIcon = QStringLiteral("brenno");
constexpr uint kNewNotification = 0;
} // namespace

QtTrayIconBackend::QtTrayIconBackend()
    : QtTrayIconBackend(&QSystemTrayIcon::isSystemTrayAvailable, QDBusConnection::sessionBus()) {}

QtTrayIconBackend::QtTrayIconBackend(std::function<bool()> trayAvailable,
                                     QDBusConnection notificationBus)
    : m_trayAvailable(std::move(trayAvailable))
    , m_notificationBus(std::move(notificationBus))
    , m_icon(new QSystemTrayIcon(this)) {
    connect(m_icon, &QSystemTrayIcon::activated, this, &QtTrayIconBackend::iconActivated);
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, &QtTrayIconBackend::balloonClicked);
}

void QtTrayIconBackend::setClickHandler(std::function<void(TrayClick click)> handler) {
    m_handler = std::move(handler);
}

bool QtTrayIconBackend::trayAvailable() const {
    return m_trayAvailable();
}

void QtTrayIconBackend::setIcon(const QIcon &icon) {
    m_icon->setIcon(icon);
}

void QtTrayIconBackend::setToolTip(const QString &text) {
    m_icon->setToolTip(text);
}

void QtTrayIconBackend::showMessage(const QString &title, const QString &message,
                                    QSystemTrayIcon::MessageIcon icon, int timeoutMs) {
    if (m_trayAvailable()) {
        m_icon->showMessage(title, message, icon, timeoutMs);
        return;
    }
    // Sent without waiting for an answer: a desktop without a notification service shows
    // nothing, as a tray without balloons would.
    QDBusMessage call = QDBusMessage::createMethodCall(
        kNotifications, QStringLiteral("/org/freedesktop/Notifications"), kNotifications,
        QStringLiteral("Notify"));
    call << kApplicationName << kNewNotification << kApplicationIcon << title << message
         << QStringList() << QVariantMap() << qint32(timeoutMs);
    m_notificationBus.send(call);
}

void QtTrayIconBackend::show() {
    m_icon->show();
}

void QtTrayIconBackend::remove() {
    m_icon->hide();
}

// Qt's own X11 tray reports a press on the icon while its balloon shows as a balloon click and
// then as the press, in the same handler; only a balloon click that no press follows in the same
// turn of the event loop is a click on the balloon itself.
void QtTrayIconBackend::iconActivated(QSystemTrayIcon::ActivationReason reason) {
    m_balloonClickPending = false;
    if (!m_handler)
        return;
    switch (reason) {
    case QSystemTrayIcon::Context:
        m_handler(TrayClick::RightClick);
        break;
    case QSystemTrayIcon::Trigger:
        m_handler(TrayClick::LeftClick);
        break;
    // Qt reports a double click as Trigger then DoubleClick.
    case QSystemTrayIcon::DoubleClick:
        m_handler(TrayClick::DoubleClick);
        break;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void QtTrayIconBackend::balloonClicked() {
    m_balloonClickPending = true;
    QMetaObject::invokeMethod(this, &QtTrayIconBackend::settleBalloonClick, Qt::QueuedConnection);
}

void QtTrayIconBackend::settleBalloonClick() {
    if (m_balloonClickPending && m_handler)
        m_handler(TrayClick::BalloonClicked);
    m_balloonClickPending = false;
}
