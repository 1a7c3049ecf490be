#include "tray/clsSysTray.h"

#include "core/AppState.h"

namespace {
// The shell's tip field holds 128 bytes with the closing NUL; one byte a character in ANSI.
constexpr int kTooltipVisibleCharacters = 127;
} // namespace

clsSysTray::clsSysTray(std::unique_ptr<TrayIconBackend> backend, QObject *parent)
    : QObject(parent)
    , m_backend(std::move(backend)) {
    m_backend->setClickHandler([this](TrayClick click) {
        switch (click) {
        case TrayClick::LeftClick:
            return emit LeftClick();
        case TrayClick::RightClick:
            return emit RightClick();
        case TrayClick::DoubleClick:
            return emit DoubleClick();
        case TrayClick::BalloonClicked:
            return emit BalloonClicked();
        }
    });
}

clsSysTray::~clsSysTray() {
    m_backend->remove();
    // Only the host's own registration goes, so a stray instance cannot unhook the live tray form.
    AppState &state = AppState::instance();
    if (m_hostNotifier && state.trayForm == m_hostNotifier)
        state.trayForm = nullptr;
}

void clsSysTray::Init(QWidget *pfrm, const QString &pstrTooltip) {
    m_hostNotifier = dynamic_cast<TrayNotifier *>(pfrm);
    // Qt shows no icon without a picture, so the icon and tip come before the icon is added.
    SetIcon(pfrm);
    setTooltipText(pstrTooltip);
    m_backend->show();
}

void clsSysTray::SetIcon(QWidget *pfrm) {
    m_backend->setIcon(pfrm->windowIcon());
}

void clsSysTray::ShowBalloonTip(const QString &pstrMessage, QSystemTrayIcon::MessageIcon penIcon,
                                const QString &pstrTitle, qint32 plngTimeout) {
    m_backend->showMessage(pstrTitle, pstrMessage, penIcon, plngTimeout);
}

bool clsSysTray::trayAvailable() const {
    return m_backend->trayAvailable();
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
