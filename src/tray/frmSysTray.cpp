#include "tray/frmSysTray.h"

#include <QIcon>

namespace {
const QString kProductTitle = QStringLiteral("Solmara Chat");
const QString kNoActiveChat = QStringLiteral("Nessuna chat attiva.");
constexpr int kBalloonTimeoutMs = 30000;
constexpr std::chrono::seconds kNoTrayGrace{15};
} // namespace

frmSysTray::frmSysTray()
    : frmSysTray(&QSystemTrayIcon::isSystemTrayAvailable, QDBusConnection::sessionBus()) {}

frmSysTray::frmSysTray(std::function<bool()> trayAvailable, QDBusConnection notificationBus)
    : m_noTrayFallback(std::move(trayAvailable), std::move(notificationBus), kNoTrayGrace)
    , m_mnuSysTray(QStringLiteral("SysTray"))
    , m_visualizzaChat(QStringLiteral("Visualizza chat"))
    , m_nascondi(QStringLiteral("Nascondi"))
    , m_icon(this) {
    m_mnuSysTray.addAction(&m_visualizzaChat);
    m_mnuSysTray.addSeparator();
    m_mnuSysTray.addAction(&m_nascondi);
    connect(&m_visualizzaChat, &QAction::triggered, this, &frmSysTray::VisualizzaChat);
    connect(&m_nascondi, &QAction::triggered, this, &frmSysTray::hideChat);
    connect(&m_noTrayFallback, &NoTrayFallback::noTray, this, &frmSysTray::noTray);
    connect(&m_icon, &QSystemTrayIcon::activated, this, &frmSysTray::iconActivated);
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, &frmSysTray::balloonClicked);
    // Qt shows no icon without a picture.
    m_icon.setIcon(QIcon(QStringLiteral(":/tray/brenno.png")));
    m_icon.setToolTip(kProductTitle);
    m_icon.setContextMenu(&m_mnuSysTray);
    m_icon.show();
}

void frmSysTray::ShowMessageTray(const QString &msg) {
    if (m_noTrayFallback.trayAvailable())
        m_icon.showMessage(kProductTitle, msg, QSystemTrayIcon::Information, kBalloonTimeoutMs);
    else
        m_noTrayFallback.notify(kProductTitle, msg, kBalloonTimeoutMs);
}

void frmSysTray::VisualizzaChat() {
    if (m_idTicket <= 0)
        ShowMessageTray(kNoActiveChat);
    else
        emit showChat();
}

void frmSysTray::setIdTicket(qint32 idTicket) {
    m_idTicket = idTicket;
}

// As in every desktop chat program, a double click on the icon and a click on its balloon lead
// to the chat; the context menu opens by itself.
void frmSysTray::iconActivated(QSystemTrayIcon::ActivationReason reason) {
    m_balloonClickPending = false;
    if (reason == QSystemTrayIcon::DoubleClick)
        VisualizzaChat();
}

// Qt's own X11 tray reports a press on the icon while its balloon shows as a balloon click and
// then as the press, in the same handler; only a balloon click that no press follows in the same
// turn of the event loop is a click on the balloon itself.
void frmSysTray::balloonClicked() {
    m_balloonClickPending = true;
    QMetaObject::invokeMethod(this, &frmSysTray::settleBalloonClick, Qt::QueuedConnection);
}

void frmSysTray::settleBalloonClick() {
    if (m_balloonClickPending)
        VisualizzaChat();
    m_balloonClickPending = false;
}
