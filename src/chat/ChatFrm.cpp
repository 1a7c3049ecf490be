#include "chat/ChatFrm.h"

#include "app/Units.h"
#include "chat/WindowPlacement.h"
#include "core/Clock.h"
#include "messagelist/MessageList.h"
#include "outgoing/ModuleScreenSnapshot.h"
#include "outgoing/OutgoingPicture.h"
#include "outgoing/PictureOffer.h"
#include "outgoing/PicturePreview.h"
#include "session/LiveChatService.h"
#include "widgets/SetTopMost.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
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
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
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
constexpr QColor kWindowColor(255, 255, 255);
constexpr QColor kHeaderColor(115, 197, 0);
constexpr QColor kHeaderTextColor(255, 255, 255);
constexpr int kCaptureDelayMs = 500;

const QString kCloseName = QStringLiteral("Chiudi");
const QString kSendName = QStringLiteral("Invia il messaggio");
const QString kScreenShotName = QStringLiteral("Invia l'immagine dello schermo");

// A request shows as waiting only when it takes long enough to be noticed.
constexpr int kShowRequestsAfterMs = 400;
const QString kOneRequest = QStringLiteral("Invio in corso...");
const QString kTwoRequests = QStringLiteral("Invio in corso, un'altra richiesta in attesa...");
const QString kMoreRequests = QStringLiteral("Invio in corso, altre %1 richieste in attesa...");
const QString kUploadFormat = QStringLiteral("Invio dell'immagine: %p%");

const QString kChoosePictureItem = QStringLiteral("Invia un'immagine...");
const QString kOnlyPictures = QStringLiteral("Si possono inviare solo immagini.");
const QString kUnreadablePicture = QStringLiteral("Non è stato possibile leggere l'immagine.");

QRect twipsRect(int left, int top, int width, int height) {
    using Units::twipsToPixels;
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

QFont boldFont(const QString &family, double pointSize) {
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

void fillBackground(QWidget *widget, const QColor &color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
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
    palette.setColor(QPalette::WindowText, kHeaderTextColor);
    label->setPalette(palette);
    return label;
}
} // namespace

ChatFrm::ChatFrm(QWidget *parent)
    : ChatFrm(std::make_unique<LiveChatService>(), parent) {}

ChatFrm::ChatFrm(std::unique_ptr<LiveChatService> liveService, QWidget *parent)
    : ChatFrm(*liveService, Clock::system(), parent) {
    m_liveService = std::move(liveService);
}

ChatFrm::~ChatFrm() = default;

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
    imgClose->setToolTip(kCloseName);
    imgClose->setAccessibleName(kCloseName);
    connect(imgClose, &QToolButton::clicked, this, &QWidget::hide);

    headerLabel(frameTop, QStringLiteral("Chat Assistenza Solmara"), twipsRect(30, 135, 6195, 600),
                boldFont(QStringLiteral("Arial"), 18))
        ->setObjectName(QStringLiteral("Label1"));
    headerLabel(frameTop, QStringLiteral("rispondi al nostro operatore per assistenza su Solmara"),
                twipsRect(105, 675, 6195, 300), boldFont(QStringLiteral("Arial"), 9.75))
        ->setObjectName(QStringLiteral("Label2"));
    imgClose->raise();
}

// The list stands where the design's viewport Frame1 stood, its scroll bar VScroll1 at the right.
void ChatFrm::buildMessageList() {
    m_list = new MessageList(m_messages, this);
    m_list->setObjectName(QStringLiteral("Frame1"));
    m_list->setGeometry(twipsRect(45, 1185, 6285, 6520));
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
    lblMsg->setBuddy(m_textMsg);

    auto *okBtn = new QPushButton(QStringLiteral("OK"), this);
    okBtn->setObjectName(QStringLiteral("OKBtn"));
    okBtn->setGeometry(twipsRect(5385, 8160, 480, 345));
    okBtn->setAccessibleName(kSendName);
    connect(okBtn, &QPushButton::clicked, this, [this] { m_session.sendMessage(); });

    auto *screenShotBtn = new QPushButton(this);
    screenShotBtn->setObjectName(QStringLiteral("ScreenShotBtn"));
    screenShotBtn->setGeometry(twipsRect(5880, 8160, 405, 345));
    screenShotBtn->setIcon(QIcon(QStringLiteral(":/chat/screenshot.png")));
    screenShotBtn->setIconSize(QSize(16, 16));
    screenShotBtn->setToolTip(kScreenShotName);
    screenShotBtn->setAccessibleName(kScreenShotName);
    connect(screenShotBtn, &QPushButton::clicked, this, [this] { m_session.sendScreenshot(); });

    // In the white band between the list and the input line, which the design leaves empty.
    m_requestsLabel = new QLabel(this);
    m_requestsLabel->setObjectName(QStringLiteral("PendingRequests"));
    m_requestsLabel->setGeometry(twipsRect(1110, 7740, 2400, 330));
    m_requestsLabel->hide();
    m_uploadBar = new QProgressBar(this);
    m_uploadBar->setObjectName(QStringLiteral("UploadProgress"));
    m_uploadBar->setGeometry(twipsRect(3540, 7755, 2745, 300));
    m_uploadBar->setFormat(kUploadFormat);
    m_uploadBar->setAccessibleName(kUploadFormat.section(QLatin1Char(':'), 0, 0));
    m_uploadBar->hide();
    m_showRequests.setSingleShot(true);
    connect(&m_showRequests, &QTimer::timeout, m_requestsLabel, &QWidget::show);

    // The keyboard goes from the list to the input line, then through the buttons in the
    // window's order, the close image last.
    auto *imgClose = findChild<QWidget *>(QStringLiteral("ImgClose"));
    const QList<QWidget *> order{m_list, m_textMsg, okBtn, screenShotBtn, imgClose};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    // However the window is brought forward, the keys land where the customer writes.
    m_textMsg->setFocus(Qt::OtherFocusReason);
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
    QMenu *menu = m_textMsg->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(kChoosePictureItem, this, &ChatFrm::choosePictures);
    menu->popup(globalPos);
}

void ChatFrm::choosePictures() {
    // A missing pictures folder would open the dialog elsewhere with its name typed in.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    auto *dialog =
        new QFileDialog(this, kChoosePictureItem, folder, PictureOffer::fileDialogFilter());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    connect(dialog, &QFileDialog::filesSelected, this,
            [this](const QStringList &paths) { sendOffered(PictureOffer::fromFiles(paths)); });
    dialog->open();
}

void ChatFrm::sendOffered(const PictureOffer &offer) {
    if (!offer.otherFiles.isEmpty())
        openInTurn([this] { return warningBox(kOnlyPictures); });
    if (offer.unreadablePicture)
        openInTurn([this] { return warningBox(kUnreadablePicture); });
    if (!offer.picture.isNull())
        previewAndSend(offer.picture);
    for (const QString &path : offer.pictureFiles) {
        const QImage picture = PictureOffer::read(path);
        if (picture.isNull())
            openInTurn([this] { return warningBox(kUnreadablePicture); });
        else
            previewAndSend(picture);
    }
}

void ChatFrm::previewAndSend(const QImage &picture) {
    openInTurn([this, picture] {
        auto *preview = new PicturePreview(picture, this);
        connect(preview, &QDialog::accepted, this, [this, preview, picture] {
            m_session.sendPicture(OutgoingPicture::cropped(picture, preview->crop()));
        });
        return preview;
    });
}

void ChatFrm::openInTurn(std::function<QDialog *()> dialog) {
    m_dialogsInTurn.push_back(std::move(dialog));
    if (!m_dialogInTurnOpen)
        openNextInTurn();
}

void ChatFrm::openNextInTurn() {
    m_dialogInTurnOpen = !m_dialogsInTurn.empty();
    if (!m_dialogInTurnOpen)
        return;
    QDialog *dialog = m_dialogsInTurn.front()();
    m_dialogsInTurn.pop_front();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, &ChatFrm::openNextInTurn);
    dialog->open();
}

QMessageBox *ChatFrm::warningBox(const QString &text) {
    return new QMessageBox(QMessageBox::Warning, kMessageBoxTitle, text, QMessageBox::Ok, this);
}

void ChatFrm::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRect border = twipsRect(0, 0, kBorderWidthTwips, kBorderHeightTwips);
    painter.drawRect(border.adjusted(0, 0, -1, -1));
}

bool ChatFrm::isShown() const {
    return isVisible();
}
QString ChatFrm::inputText() const {
    return m_textMsg->text();
}
void ChatFrm::setInputText(const QString &text) {
    m_textMsg->setText(text);
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

// The list lays the new bubble out under the last one and shows the end.
void ChatFrm::addMessage(const ChatMessage &message) {
    m_messages.append(message);
}

void ChatFrm::showPendingRequests(int count) {
    if (count == 0) {
        m_showRequests.stop();
        m_requestsLabel->hide();
        return;
    }
    m_requestsLabel->setText(count == 1   ? kOneRequest
                             : count == 2 ? kTwoRequests
                                          : kMoreRequests.arg(count - 1));
    if (!m_requestsLabel->isVisible() && !m_showRequests.isActive())
        m_showRequests.start(kShowRequestsAfterMs);
}

void ChatFrm::showUploadProgress(qint64 sent, qint64 total) {
    m_uploadBar->setVisible(total > 0);
    // Per mille: the bar takes ints, a file may pass 2 GiB in bytes.
    m_uploadBar->setRange(0, 1000);
    m_uploadBar->setValue(total > 0 ? int(qBound(qint64(0), sent * 1000 / total, qint64(1000)))
                                    : 0);
}

void ChatFrm::showWarning(const QString &text) {
    QMessageBox *box = warningBox(text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ChatFrm::askYesNo(const QString &question, std::function<void(bool yes)> answer) {
    auto *box = new QMessageBox(QMessageBox::Question, kMessageBoxTitle, question,
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::Yes);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this,
            [answer = std::move(answer)](int button) { answer(button == QMessageBox::Yes); });
    box->open();
}

void ChatFrm::waitForScreenToSettle(std::function<void()> then) {
    QTimer::singleShot(kCaptureDelayMs, this, std::move(then));
}

void ChatFrm::captureScreen(const QString &path, std::function<void(bool written)> done) {
    ModuleScreenSnapshot::CaptureScreen(path, std::move(done));
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

void ChatFrm::ticketChanged(qint32 idTicket) {
    emit IdTicketChanged(idTicket);
}

void ChatFrm::showBalloon(const QString &text) {
    emit balloonWanted(text);
}

void ChatFrm::setInterval(int milliseconds) {
    m_timerChat.setInterval(milliseconds);
}

void ChatFrm::enable() {
    if (!m_timerChat.isActive())
        m_timerChat.start();
}
