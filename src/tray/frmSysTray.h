#pragma once

#include "core/AppState.h"
#include "tray/NoTrayFallback.h"
#include "tray/TrayIconBackend.h"
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
    using NoticePresenter = std::function<void(const QString &title, const QString &text)>;

    explicit frmSysTray(QWidget *parent = nullptr);
    frmSysTray(std::unique_ptr<TrayIconBackend> backend,
               std::unique_ptr<NoTrayFallback> noTrayFallback, NoticePresenter presentNotice,
               QWidget *parent = nullptr);

    void ShowMessageTray(const QString &msg) override;

    // Runs once when no tray has appeared in the grace period after start.
    void setNoTrayFallback(std::function<void()> fallback);
    // How "Visualizza chat" brings the chat window up for the customer.
    void setShowChat(std::function<void()> showChat);

    QMenu *mnuSysTray();

private:
    void SysTray_RightClick();
    void SysTray_DoubleClick();
    void SysTray_BalloonClicked();
    void mnuPopup_Click(const QAction *item);

    QMenu m_mnuSysTray;
    NoticePresenter m_presentNotice;
    std::unique_ptr<NoTrayFallback> m_noTrayFallback;
    std::function<void()> m_showChat;
    // Declared last so that it goes first: the icon leaves before the menu it opens.
    std::unique_ptr<clsSysTray> SysTray;
};
