#include "tray/clsSysTray.h"

#include "core/AppState.h"

namespace {

// The shell's tip field holds 128 bytes with the closing NUL; one byte a character in ANSI.
constexpr int kTooltipVisibleCharacters = 127;

QSystemTrayIcon::MessageIcon balloonIconFor(qint32 kind) {
    switch (kind) {
    case TrayBalloonIcon::Information:
        return QSystemTrayIcon::Information;
    case TrayBalloonIcon::Warning:
        return QSystemTrayIcon::Warning;
    case TrayBalloonIcon::Error:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}

} // namespace

clsSysTray::clsSysTray(std::unique_ptr<TrayIconBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend)) {
    m_backend->setShellCodeHandler([this](qint32 code) { MouseMove(Qt::NoButton, code, m_host); });
}

clsSysTray::~clsSysTray() {
    m_backend->remove();
    // Only the host's own registration goes, so a stray instance cannot unhook the live tray form.
    AppState &state = AppState::instance();
    if (m_hostNotifier && state.trayForm == m_hostNotifier)
        state.trayForm = nullptr;
}

void clsSysTray::Init(QWidget *pfrm, const QString &pstrTooltip) {
    m_host = pfrm;
    m_hostNotifier = dynamic_cast<TrayNotifier *>(pfrm);
    // Qt shows no icon without a picture, so the icon and tip come before the icon is added.
    SetIcon(pfrm);
    setTooltipText(pstrTooltip);
    m_backend->show();
}

void clsSysTray::MouseMove(Qt::MouseButtons, qint32 X, QWidget *) {
    switch (X) {
    case TrayShellCode::LeftButtonUp:
        emit LeftClick();
        break;
    case TrayShellCode::RightButtonUp:
        emit RightClick();
        break;
    case TrayShellCode::LeftButtonDoubleClick:
        emit DoubleClick();
        break;
    case TrayShellCode::BalloonHide:
        emit BalloonHide();
        break;
    case TrayShellCode::BalloonTimeout:
        emit BalloonTimeOut();
        break;
    case TrayShellCode::BalloonUserClick:
        emit BalloonClicked();
        break;
    default:
        break;
    }
}

void clsSysTray::SetIcon(QWidget *pfrm) {
    m_backend->setIcon(pfrm->windowIcon());
}

void clsSysTray::ShowBalloonTip(const QString &pstrMessage, qint32 penIcon,
                                const QString &pstrTitle, qint32 plngTimeout) {
    m_backend->showMessage(pstrTitle, pstrMessage, balloonIconFor(penIcon), plngTimeout);
}

void clsSysTray::setTooltipText(const QString &text) {
    m_backend->setToolTip(visibleTooltip(text));
}

QString clsSysTray::visibleTooltip(const QString &text) {
    // Counted in code points so that a character outside the BMP is kept whole or dropped whole.
    int end = 0;
    for (int kept = 0; kept < kTooltipVisibleCharacters && end < text.size(); ++kept)
        end += (text.at(end).isHighSurrogate() && end + 1 < text.size()) ? 2 : 1;
    return text.left(end);
}
