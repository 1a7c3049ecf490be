#include "chat/ChatFrm.h"

#include "app/Units.h"
#include "chat/LiveChatService.h"
#include "chat/MessageCanvas.h"
#include "chat/MessageListGeometry.h"
#include "chat/ModuleScreenSnapshot.h"
#include "chat/OutgoingPicture.h"
#include "chat/PictureOffer.h"
#include "chat/PicturePreview.h"
#include "chat/WindowPlacement.h"
#include "core/AppState.h"
#include "core/Clock.h"
#include "widgets/SetTopMost.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QToolButton>
#include <limits>
#include <memory>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace {
const QString kCaption = QStringLiteral("Servizio clienti Quintaro");
const QString kMessageBoxTitle = QStringLiteral("Brenno");

constexpr int kClientWidthTwips = 6375;
constexpr int kClientHeightTwips = 8565;
constexpr int kBorderWidthTwips = 6375;
constexpr int kBorderHeightTwips = 8550;
constexpr quint32 kWindowColor = 0x00FFFFFF;
constexpr quint32 kHeaderColor = 0x0000C573;
constexpr quint32 kHeaderTextColor = 0x00FFFFFF;
constexpr int kScrollPageStep = 10;
constexpr int kCaptureDelayMs = 500;

const QString kChoosePictureItem = QStringLiteral("Invia un'immagine...");
const QString kOnlyPictures = QStringLiteral("Si possono inviare solo immagini.");
const QString kUnreadablePicture = QStringLiteral("Non è stato possibile leggere l'immagine.");

QRect twipsRect(int left, int top, int width, int height) {
    using Units::twipsToPixels;
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

int cmToPixels(double cm) {
    return Units::twipsToPixels(Units::cmToTwips(cm));
}

QFont boldFont(const QString &family, double pointSize) {
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

void fillBackground(QWidget *widget, quint32 color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Units::fromOleColor(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel *headerLabel(QWidget *parent, const QString &text, const QRect &geometry,
                    const QFont &font) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Units::fromOleColor(kHeaderTextColor));
    label->setPalette(palette);
    return label;
}

ChatService &liveService() {
    static LiveChatService service;
    return service;
}
} // namespace

ChatFrm::ChatFrm(QWidget *parent)
    : ChatFrm(liveService(), Clock::system(), parent) {}

ChatFrm::ChatFrm(ChatService &service, const Clock &clock, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_session(service, *this, *this, clock) {
    setWindowTitle(kCaption);
    setFixedSize(twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAcceptDrops(true);
    fillBackground(this, kWindowColor);

    buildHeader();
    buildMessageList();
    buildInputLine();

    connect(&m_timerChat, &QTimer::timeout, this, [this] { m_session.onTimerTick(); });
    // The input box takes Ctrl+V itself while it has the focus; the filter sees it there.
    connect(new QShortcut(QKeySequence::Paste, this), &QShortcut::activated, this,
            [this] { pastePictures(); });
    AppState::instance().chatWindow = this;
}

void ChatFrm::buildHeader() {
    auto *frameTop = new QWidget(this);
    frameTop->setObjectName(QStringLiteral("FrameTop"));
    frameTop->setGeometry(twipsRect(30, 30, 6315, 1125));
    fillBackground(frameTop, kHeaderColor);

    auto *imgClose = new QToolButton(frameTop);
    imgClose->setObjectName(QStringLiteral("ImgClose"));
    imgClose->setGeometry(twipsRect(15, 15, 600, 600));
    imgClose->setIcon(QIcon(QStringLiteral(":/chat/close.png")));
    imgClose->setIconSize(imgClose->size());
    imgClose->setStyleSheet(QStringLiteral("QToolButton { border: none; background: none; }"));
    imgClose->setCursor(Qt::PointingHandCursor);
    connect(imgClose, &QToolButton::clicked, this, &QWidget::hide);

    headerLabel(frameTop, QStringLiteral("Chat Assistenza Solmara"), twipsRect(30, 135, 6195, 600),
                boldFont(QStringLiteral("Arial"), 18))
        ->setObjectName(QStringLiteral("Label1"));
    headerLabel(frameTop, QStringLiteral("rispondi al nostro operatore per assistenza su Solmara"),
                twipsRect(105, 675, 6195, 300), boldFont(QStringLiteral("Arial"), 9.75))
        ->setObjectName(QStringLiteral("Label2"));
    imgClose->raise();
}

void ChatFrm::buildMessageList() {
    auto *frame1 = new QWidget(this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(twipsRect(45, 1185, 6285, 6520));
    frame1->setBackgroundRole(QPalette::Base);
    frame1->setAutoFillBackground(true);

    m_picture1 = new MessageCanvas(frame1);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(twipsRect(0, 15, MessageCanvas::kWidthTwips, 6060));

    m_vScroll1 = new QScrollBar(Qt::Vertical, frame1);
    m_vScroll1->setObjectName(QStringLiteral("VScroll1"));
    m_vScroll1->setGeometry(twipsRect(6015, 0, 270, 6525));
    m_vScroll1->setRange(MessageListGeometry::kScrollMinimum, MessageListGeometry::kScrollMinimum);
    m_vScroll1->setPageStep(kScrollPageStep);
    m_vScroll1->hide();
    connect(m_vScroll1, &QScrollBar::valueChanged, this, &ChatFrm::moveCanvasFor);
}

void ChatFrm::buildInputLine() {
    auto *lblMsg = new QLabel(QStringLiteral("Scrivi Messaggio"), this);
    lblMsg->setObjectName(QStringLiteral("LblMsg"));
    lblMsg->setGeometry(twipsRect(60, 8115, 960, 405));
    lblMsg->setFont(boldFont(QStringLiteral("MS Sans Serif"), 8.25));
    lblMsg->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblMsg->setWordWrap(true);

    m_textMsg = new QLineEdit(this);
    m_textMsg->setObjectName(QStringLiteral("TextMsg"));
    m_textMsg->setGeometry(twipsRect(1110, 8145, 4245, 375));
    // A long paste must reach the service whole.
    m_textMsg->setMaxLength(std::numeric_limits<int>::max());
    m_textMsg->installEventFilter(this);

    auto *okBtn = new QPushButton(QStringLiteral("OK"), this);
    okBtn->setObjectName(QStringLiteral("OKBtn"));
    okBtn->setGeometry(twipsRect(5385, 8160, 480, 345));
    connect(okBtn, &QPushButton::clicked, this, [this] { m_session.sendMessage(); });

    auto *screenShotBtn = new QPushButton(this);
    screenShotBtn->setObjectName(QStringLiteral("ScreenShotBtn"));
    screenShotBtn->setGeometry(twipsRect(5880, 8160, 405, 345));
    screenShotBtn->setIcon(QIcon(QStringLiteral(":/chat/screenshot.png")));
    screenShotBtn->setIconSize(QSize(16, 16));
    screenShotBtn->setToolTip(QStringLiteral("Invia l'immagine dello schermo"));
    connect(screenShotBtn, &QPushButton::clicked, this, [this] { m_session.sendScreenshot(); });
}

void ChatFrm::InizializzaChat() {
    m_session.InizializzaChat();
}

void ChatFrm::showAsForMessage() {
    show();
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(WindowPlacement::bottomRight(screen->geometry(), frameGeometry().size()));
    SetTopMost(this, true);
}

bool ChatFrm::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_textMsg)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste) && pastePictures())
            return true;
        onTextMsgKey(*static_cast<QKeyEvent *>(event));
        break;
    case QEvent::KeyRelease:
        onTextMsgKey(*static_cast<QKeyEvent *>(event));
        break;
    case QEvent::ContextMenu:
        showTextMsgMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (takeDrag(static_cast<QDropEvent *>(event)))
            return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ChatFrm::onTextMsgKey(const QKeyEvent &key) {
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    if (enter && key.type() == QEvent::KeyPress)
        m_enterPressedInTextMsg = true;
    // Holding Enter down repeats presses, but it is one message.
    if (enter && key.type() == QEvent::KeyRelease && !key.isAutoRepeat() &&
        m_enterPressedInTextMsg) {
        m_enterPressedInTextMsg = false;
        m_session.sendMessage();
    }
}

bool ChatFrm::pastePictures() {
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !PictureOffer::mayHold(*mime))
        return false;
    sendOffered(PictureOffer::fromMimeData(*mime));
    return true;
}

bool ChatFrm::takeDrag(QDropEvent *event) {
    // A move would let the source delete the customer's file.
    if (!PictureOffer::mayHold(*event->mimeData()) || !(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (event->type() == QEvent::Drop) {
        // The drag source waits until the drop returns; the previews come after it.
        QMetaObject::invokeMethod(
            this,
            [this, offer = PictureOffer::fromMimeData(*event->mimeData())] { sendOffered(offer); },
            Qt::QueuedConnection);
    }
    return true;
}

void ChatFrm::dragEnterEvent(QDragEnterEvent *event) {
    takeDrag(event);
}
void ChatFrm::dragMoveEvent(QDragMoveEvent *event) {
    takeDrag(event);
}
void ChatFrm::dropEvent(QDropEvent *event) {
    takeDrag(event);
}

void ChatFrm::showTextMsgMenu(const QPoint &globalPos) {
    const std::unique_ptr<QMenu> menu(m_textMsg->createStandardContextMenu());
    menu->addSeparator();
    const QAction *choose = menu->addAction(kChoosePictureItem);
    if (menu->exec(globalPos) == choose)
        choosePictures();
}

void ChatFrm::choosePictures() {
    // A missing pictures folder would open the dialog elsewhere with its name typed in.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QStringList paths = QFileDialog::getOpenFileNames(this, kChoosePictureItem, folder,
                                                            PictureOffer::fileDialogFilter());
    sendOffered(PictureOffer::fromFiles(paths));
}

void ChatFrm::sendOffered(const PictureOffer &offer) {
    if (!offer.otherFiles.isEmpty())
        showWarning(kOnlyPictures);
    if (offer.unreadablePicture)
        showWarning(kUnreadablePicture);
    if (!offer.picture.isNull())
        previewAndSend(offer.picture);
    for (const QString &path : offer.pictureFiles) {
        const QImage picture = PictureOffer::read(path);
        if (picture.isNull())
            showWarning(kUnreadablePicture);
        else
            previewAndSend(picture);
    }
}

void ChatFrm::previewAndSend(const QImage &picture) {
    PicturePreview preview(picture, this);
    if (preview.exec() == QDialog::Accepted)
        m_session.sendPicture(OutgoingPicture::cropped(picture, preview.crop()));
}

void ChatFrm::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRect border = twipsRect(0, 0, kBorderWidthTwips, kBorderHeightTwips);
    painter.drawRect(border.adjusted(0, 0, -1, -1));
}

void ChatFrm::moveCanvasFor(int scrollValue) {
    m_picture1->move(m_picture1->x(), cmToPixels(MessageListGeometry::canvasTopCm(scrollValue)));
}

bool ChatFrm::isShown() const {
    return isVisible();
}
QString ChatFrm::inputText() const {
    return m_textMsg->text();
}
void ChatFrm::clearInput() {
    m_textMsg->clear();
}
void ChatFrm::showWindow() {
    show();
}
void ChatFrm::showForUser() {
    show();
    raise();
    activateWindow();
    m_textMsg->setFocus(Qt::OtherFocusReason);
}
void ChatFrm::hideWindow() {
    hide();
}
void ChatFrm::beep() {
    QApplication::beep();
}
void ChatFrm::setCanvasVisible(bool visible) {
    m_picture1->setVisible(visible);
}

// Each new bubble stands on the one before it; earlier bubbles are never laid out again.
void ChatFrm::addMessage(const ChatMessage &message) {
    const double bottomTwips = m_picture1->addMessage(message);
    const auto growth = MessageListGeometry::grow(float(Units::twipsToCm(bottomTwips)));
    m_picture1->resize(m_picture1->width(), cmToPixels(growth.canvasHeightCm));
    if (!growth.scrollBarVisible) {
        m_vScroll1->hide();
        return;
    }
    m_vScroll1->show();
    m_vScroll1->setMaximum(growth.maximum);
    m_vScroll1->setValue(growth.value);
}

void ChatFrm::showWarning(const QString &text) {
    QMessageBox box(QMessageBox::Warning, kMessageBoxTitle, text, QMessageBox::Ok, this);
    box.exec();
}

bool ChatFrm::askYesNo(const QString &question) {
    return QMessageBox::question(this, kMessageBoxTitle, question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void ChatFrm::waitForScreenToSettle() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QEventLoop pause;
    QTimer::singleShot(kCaptureDelayMs, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);
}

bool ChatFrm::captureScreen(const QString &path) {
    return ModuleScreenSnapshot::CaptureScreen(path);
}

bool ChatFrm::startProgram(const QString &path) {
    m_programPid = 0;
    return QProcess::startDetached(path, {}, {}, &m_programPid);
}

bool ChatFrm::programRunning() const {
#ifdef Q_OS_UNIX
    // Signal 0 only asks whether the process is there.
    return m_programPid > 0 && ::kill(pid_t(m_programPid), 0) == 0;
#else
    return false; // no way to ask here: the once-a-minute rule alone holds
#endif
}

// Before the event loop runs, quitting is only heard once it starts.
void ChatFrm::endProcess() {
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void ChatFrm::setInterval(int milliseconds) {
    m_timerChat.setInterval(milliseconds);
}

void ChatFrm::enable() {
    if (!m_timerChat.isActive())
        m_timerChat.start();
}
