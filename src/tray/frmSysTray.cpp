#include "tray/frmSysTray.h"

#include "tray/QtTrayIconBackend.h"

#include <QCursor>

namespace {

constexpr QLatin1String kProductTitle("Solmara Chat");
constexpr QLatin1String kMenuTitle("SysTray");
constexpr QLatin1String kShowChatCaption("Visualizza chat");
constexpr QLatin1String kHideChatCaption("Nascondi");
constexpr QLatin1String kNoActiveChat("Nessuna chat attiva.");
constexpr qint32 kBalloonTimeoutMs = 30000;
constexpr std::chrono::seconds kNoTrayGrace{15};

} // namespace

frmSysTray::frmSysTray(QWidget *parent)
    : frmSysTray(std::make_unique<QtTrayIconBackend>(), parent) {}

frmSysTray::frmSysTray(std::unique_ptr<TrayIconBackend> backend, QWidget *parent)
    : QWidget(parent)
    , m_mnuSysTray(kMenuTitle)
    , SysTray(std::move(backend))
    , m_noTrayFallback([this] { return SysTray.trayAvailable(); }, kNoTrayGrace) {
    setWindowIcon(QIcon(QStringLiteral(":/tray/brenno.png")));

    m_mnuSysTray.addAction(kShowChatCaption);
    m_mnuSysTray.addSeparator();
    m_mnuSysTray.addAction(kHideChatCaption);
    connect(&m_mnuSysTray, &QMenu::triggered, this, &frmSysTray::mnuPopup_Click);

    connect(&SysTray, &clsSysTray::RightClick, this, &frmSysTray::SysTray_RightClick);
    // As in every desktop chat program, the icon and its balloons lead to the chat.
    connect(&SysTray, &clsSysTray::DoubleClick, this, &frmSysTray::VisualizzaChat);
    connect(&SysTray, &clsSysTray::BalloonClicked, this, &frmSysTray::VisualizzaChat);

    AppState::instance().trayForm = this;
    SysTray.Init(this, kProductTitle);
}

void frmSysTray::ShowMessageTray(const QString &msg) {
    SysTray.ShowBalloonTip(msg, QSystemTrayIcon::Information, kProductTitle, kBalloonTimeoutMs);
}

void frmSysTray::setNoTrayFallback(std::function<void()> fallback) {
    m_noTrayFallback.setFallback(std::move(fallback));
}

void frmSysTray::setShowChat(std::function<void()> showChat) {
    m_showChat = std::move(showChat);
}

QMenu *frmSysTray::mnuSysTray() {
    return &m_mnuSysTray;
}

void frmSysTray::SysTray_RightClick() {
    m_mnuSysTray.popup(QCursor::pos());
}

void frmSysTray::VisualizzaChat() {
    if (AppState::instance().IdTicket <= 0)
        ShowMessageTray(kNoActiveChat);
    else if (m_showChat)
        m_showChat();
}

void frmSysTray::mnuPopup_Click(const QAction *item) {
    const AppState &state = AppState::instance();
    const QString caption = item->text();
    if (caption == kShowChatCaption) {
        VisualizzaChat();
    } else if (caption == kHideChatCaption) {
        if (state.chatWindow)
            state.chatWindow->setVisible(false);
    }
}
