#pragma once

#include "core/AppState.h"
#include "tray/NoTrayFallback.h"
#include "tray/clsSysTray.h"

#include <QMenu>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;

// The hidden host of the tray icon: its pop-up menu shows or hides the chat window, and the rest
// of the program pops up balloon tips through it. It registers itself as the tray form.
class frmSysTray : public QWidget, public TrayNotifier {
    Q_OBJECT
public:
    explicit frmSysTray(QWidget *parent = nullptr);
    explicit frmSysTray(std::unique_ptr<TrayIconBackend> backend, QWidget *parent = nullptr);

    void ShowMessageTray(const QString &msg) override;

    // Runs once when no tray has appeared in the grace period after start.
    void setNoTrayFallback(std::function<void()> fallback);
    // How "Visualizza chat" brings the chat window up for the customer.
    void setShowChat(std::function<void()> showChat);

    QMenu *mnuSysTray();

    // What "Visualizza chat" does: the chat for the customer, or the balloon that there is none.
    void VisualizzaChat();

private:
    void SysTray_RightClick();
    void mnuPopup_Click(const QAction *item);

    QMenu m_mnuSysTray;
    std::function<void()> m_showChat;
    // After the menu, so that the icon leaves before the menu it opens.
    clsSysTray SysTray;
    // After the icon, whose tray check it makes at once.
    NoTrayFallback m_noTrayFallback;
};
