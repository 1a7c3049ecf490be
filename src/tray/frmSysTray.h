#pragma once

#include "tray/NoTrayFallback.h"

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

// The tray icon with its pop-up menu, which shows or hides the chat window, and its balloon
// tips, which the rest of the program asks for. It knows the chat only by its ticket and by the
// signals that main connects to the chat window.
class frmSysTray : public QObject {
    Q_OBJECT
public:
    frmSysTray();
    // For tests: whether the desktop shows a tray, and the bus its notifications go on.
    frmSysTray(std::function<bool()> trayAvailable, QDBusConnection notificationBus);

    QMenu *mnuSysTray() { return &m_mnuSysTray; }

public slots:
    void ShowMessageTray(const QString &msg);
    // What "Visualizza chat" does: the chat for the customer, or the balloon that there is none.
    void VisualizzaChat();
    // The customer's open chat ticket; 0 or less: none.
    void setIdTicket(qint32 idTicket);

signals:
    void showChat();
    void hideChat();
    // Once, when no tray has appeared in the grace period after start.
    void noTray();

private:
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void balloonClicked();
    void settleBalloonClick();

    NoTrayFallback m_noTrayFallback;
    QMenu m_mnuSysTray;
    QAction m_visualizzaChat;
    QAction m_nascondi;
    // After the menu, so that the icon leaves before the menu it opens.
    QSystemTrayIcon m_icon;
    qint32 m_idTicket = 0;
    bool m_balloonClickPending = false;
};
