#include "bubble/CtrMsg.h"

#include "app/AppState.h"
#include "app/SharedHelpers.h"
#include "app/Units.h"
#include "bubble/AttachmentPath.h"
#include "bubble/BubbleGeometry.h"
#include "bubble/BubbleShape.h"
#include "bubble/LinkTarget.h"
#include "viewer/ImgFrm.h"

#include <QDesktopServices>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextLayout>

#include <cmath>
#include <limits>

namespace {

// Design geometry in twips: left, top, width, height.
constexpr QRect kControlDesign(0, 0, 5910, 570);
constexpr QRect kTextMsgDesign(1485, 75, 3525, 240);
constexpr QRect kImage1Design(945, 30, 4830, 540);
constexpr QRect kImageKDDesign(15, 15, 450, 465);
constexpr QRect kLabelTestoDesign(1080, 75, 570, 240);
constexpr QRect kLabelDataOraDesign(435, 60, 390, 195);
constexpr QRect kShapeMsgDesign(975, 30, 4905, 345);

constexpr quint32 kFrameDesignColor = 0x00C0E0FF;
constexpr quint32 kTimeColor = 0x00808080;
constexpr quint32 kDefaultBackColor = 0x00FFFFFF;
constexpr quint32 kDefaultForeColor = 0x00000000;

const QString kTextFontFamily = QStringLiteral("Arial");
constexpr qreal kTextPointSize = 9.75;
// Arial Narrow is rarely installed off Windows; a condensed Liberation Sans keeps its width.
const QStringList kTimeFontFamilies = {QStringLiteral("Arial Narrow"),
                                       QStringLiteral("Liberation Sans Narrow"),
                                       QStringLiteral("Liberation Sans")};
constexpr qreal kTimePointSize = 8.25;

const QString kBadgeResource = QStringLiteral(":/bubble/badge.png");
const QString kHandCursorResource = QStringLiteral(":/bubble/hand.png");
constexpr QPoint kHandHotSpot(13, 5);

const QString kKeyBackColor = QStringLiteral("BackColor");
const QString kKeyData = QStringLiteral("Data");
const QString kKeyIdOperatore = QStringLiteral("IdOperatore");
const QString kKeyTesto = QStringLiteral("Testo");
const QString kKeyForeColor = QStringLiteral("ForeColor");

QRect toPixels(const QRect &twips) {
    return QRect(Units::twipsToPixels(twips.left()), Units::twipsToPixels(twips.top()),
                 Units::twipsToPixels(twips.width()), Units::twipsToPixels(twips.height()));
}

QCursor handCursor() {
    return QCursor(QPixmap(kHandCursorResource), kHandHotSpot.x(), kHandHotSpot.y());
}

void setPaletteColor(QWidget *widget, QPalette::ColorRole role, quint32 color) {
    QPalette palette = widget->palette();
    palette.setColor(role, Units::fromOleColor(color));
    widget->setPalette(palette);
}

quint32 colorOr(const QVariantMap &bag, const QString &key, quint32 fallback) {
    bool ok = false;
    const quint32 value = bag.value(key).toUInt(&ok);
    return ok ? value : fallback;
}

} // namespace

CtrMsg::CtrMsg(QWidget *parent)
    : QWidget(parent)
    , m_frameMsg(new QFrame(this))
    , m_shapeMsg(new BubbleShape(m_frameMsg))
    , m_labelTesto(new QLabel(m_frameMsg))
    , m_labelDataOra(new QLabel(m_frameMsg))
    , m_imageKD(new QLabel(m_frameMsg))
    , m_image1(new QLabel(m_frameMsg))
    , m_textMsg(new QPlainTextEdit(m_frameMsg))
    , m_thumbnailTwips(kImage1Design.size()) {
    // A static library's resources register only when asked to, once per process.
    static const bool resourcesRegistered = [] {
        Q_INIT_RESOURCE(bubble);
        return true;
    }();
    Q_UNUSED(resourcesRegistered);

    m_frameMsg->setObjectName(QStringLiteral("FrameMsg"));
    m_frameMsg->setAutoFillBackground(true);
    setPaletteColor(m_frameMsg, QPalette::Window, kFrameDesignColor);

    m_shapeMsg->setObjectName(QStringLiteral("ShapeMSG"));
    m_shapeMsg->setGeometry(toPixels(kShapeMsgDesign));

    QFont textFont(kTextFontFamily);
    textFont.setPointSizeF(kTextPointSize);

    m_labelTesto->setObjectName(QStringLiteral("LabelTesto"));
    m_labelTesto->setTextFormat(Qt::PlainText);
    m_labelTesto->setFont(textFont);
    m_labelTesto->setGeometry(toPixels(kLabelTestoDesign));

    QFont timeFont;
    timeFont.setFamilies(kTimeFontFamilies);
    timeFont.setStretch(QFont::Condensed);
    timeFont.setPointSizeF(kTimePointSize);
    m_labelDataOra->setObjectName(QStringLiteral("LabelDataOra"));
    m_labelDataOra->setTextFormat(Qt::PlainText);
    m_labelDataOra->setFont(timeFont);
    setPaletteColor(m_labelDataOra, QPalette::WindowText, kTimeColor);
    m_labelDataOra->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_labelDataOra->setGeometry(toPixels(kLabelDataOraDesign));

    m_imageKD->setObjectName(QStringLiteral("ImageKD"));
    m_imageKD->setPixmap(QPixmap(kBadgeResource));
    m_imageKD->setGeometry(toPixels(kImageKDDesign));
    m_imageKD->hide();

    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setScaledContents(true);
    m_image1->setCursor(handCursor());
    m_image1->setGeometry(toPixels(kImage1Design));
    m_image1->installEventFilter(this);
    m_image1->hide();

    m_textMsg->setObjectName(QStringLiteral("TextMsg"));
    m_textMsg->setReadOnly(true);
    m_textMsg->setCursorWidth(0);
    m_textMsg->setFrameShape(QFrame::NoFrame);
    m_textMsg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textMsg->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textMsg->document()->setDocumentMargin(0);
    m_textMsg->setFont(textFont);
    m_textMsg->viewport()->setCursor(Qt::ArrowCursor);
    m_textMsg->viewport()->installEventFilter(this);
    m_textMsg->setGeometry(toPixels(kTextMsgDesign));

    setBackColor(kDefaultBackColor);
    setForeColor(kDefaultForeColor);
    m_widthTwips = kControlDesign.width();
    m_heightTwips = kControlDesign.height();
    resize(toPixels(kControlDesign).size());
}

quint32 CtrMsg::BackColor() const {
    return Units::toOleColor(m_shapeMsg->fillColor());
}

void CtrMsg::setBackColor(quint32 color) {
    m_shapeMsg->setFillColor(Units::fromOleColor(color));
    setPaletteColor(m_textMsg, QPalette::Base, color);
    emit backColorChanged();
}

quint32 CtrMsg::ForeColor() const {
    return Units::toOleColor(m_labelTesto->palette().color(QPalette::WindowText));
}

void CtrMsg::setForeColor(quint32 color) {
    setLabelTextColor(color);
    setPaletteColor(m_textMsg, QPalette::Text, color);
    emit foreColorChanged();
}

void CtrMsg::setLabelTextColor(quint32 color) {
    setPaletteColor(m_labelTesto, QPalette::WindowText, color);
}

QString CtrMsg::Data() const {
    return m_labelDataOra->text();
}

void CtrMsg::setData(const QString &time) {
    m_labelDataOra->setText(time);
    emit dataChanged();
}

QString CtrMsg::Testo() const {
    return m_labelTesto->text();
}

void CtrMsg::setTesto(const QString &text) {
    QString converted = text;
    converted.replace(QStringLiteral("<br>"), QStringLiteral("\r\n"));
    m_labelTesto->setText(converted);

    const auto layout = BubbleGeometry::layoutText(naturalTextWidth(converted), converted);
    m_textMsg->show();
    m_textMsg->setPlainText(converted);
    const QRect textTwips(BubbleGeometry::kTextLeft, BubbleGeometry::kTextTop, layout.textWidth,
                          layout.textHeight);
    m_labelTesto->setGeometry(toPixels(textTwips));
    m_textMsg->setGeometry(toPixels(textTwips));
    m_labelTesto->hide();

    setIsLink(false);

    setHeightTwips(layout.controlHeight);
    m_shapeMsg->setGeometry(toPixels(QRect(BubbleGeometry::kShapeLeft, BubbleGeometry::kShapeTop,
                                           layout.shapeWidth, layout.shapeHeight)));
    emit testoChanged();
}

void CtrMsg::setIsLink(bool isLink) {
    m_isLink = isLink;
    QFont font = m_textMsg->font();
    font.setUnderline(m_isLink);
    m_textMsg->setFont(font);
    m_textMsg->viewport()->setCursor(m_isLink ? handCursor() : QCursor(Qt::ArrowCursor));
}

int CtrMsg::naturalTextWidth(const QString &text) const {
    // Measured by the text layout the box itself uses, rounded up: plain font metrics can come
    // out a pixel short, and the box would then wrap the line.
    qreal widest = 0;
    for (const QString &line : text.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        QTextLayout layout(line, m_labelTesto->font());
        layout.beginLayout();
        QTextLine measured = layout.createLine();
        if (measured.isValid()) {
            measured.setLineWidth(std::numeric_limits<int>::max());
            widest = qMax(widest, measured.naturalTextWidth());
        }
        layout.endLayout();
    }
    return int(Units::pixelsToTwips(int(std::ceil(widest))));
}

void CtrMsg::setIdOperatore(qint32 id) {
    m_idOperatore = id;
    if (id < 1) {
        m_imageKD->hide();
        m_labelDataOra->hide();
    } else {
        m_imageKD->show();
    }
    emit idOperatoreChanged();
}

void CtrMsg::setImmagineAttach(const QString &fileName) {
    const QString path = AttachmentPath(AppState::instance().ApplicationFolder, fileName);
    if (path.isEmpty() || !FileExists(path)) {
        showWithoutPicture();
        return;
    }
    m_image1->show();
    m_textMsg->hide();

    // A file that does not load keeps the picture and size the thumbnail had.
    QImage loaded;
    if (QImageReader(path).read(&loaded)) {
        m_picture = loaded;
        m_image1->setPixmap(QPixmap::fromImage(m_picture));
    }
    const QSize natural = m_picture.isNull() ? m_thumbnailTwips
                                             : QSize(int(Units::pixelsToTwips(m_picture.width())),
                                                     int(Units::pixelsToTwips(m_picture.height())));
    const auto layout =
        BubbleGeometry::layoutPicture(natural.width(), natural.height(), m_thumbnailTwips.height());
    m_thumbnailTwips = QSize(layout.thumbnailWidth, layout.thumbnailHeight);
    m_image1->setGeometry(toPixels(QRect(
        QPoint(BubbleGeometry::kThumbnailLeft, BubbleGeometry::kThumbnailTop), m_thumbnailTwips)));
    setHeightTwips(layout.controlHeight);
    m_shapeMsg->setGeometry(toPixels(QRect(BubbleGeometry::kShapeLeft, BubbleGeometry::kShapeTop,
                                           layout.shapeWidth, layout.shapeHeight)));
    m_shapeMsg->setRounded(false);
}

void CtrMsg::showWithoutPicture() {
    m_image1->hide();
    m_shapeMsg->setRounded(true);
}

// A hidden widget gets its resize event only when shown; the bubble's own sizes apply at once.
void CtrMsg::setWidthTwips(int width) {
    m_widthTwips = width;
    resize(Units::twipsToPixels(width), height());
    UserControl_Resize();
}

void CtrMsg::setHeightTwips(int height) {
    m_heightTwips = height;
    resize(width(), Units::twipsToPixels(height));
    UserControl_Resize();
}

QVariantMap CtrMsg::writeProperties() const {
    QVariantMap bag;
    if (BackColor() != kDefaultBackColor)
        bag.insert(kKeyBackColor, BackColor());
    if (!Data().isEmpty())
        bag.insert(kKeyData, Data());
    if (!Testo().isEmpty())
        bag.insert(kKeyTesto, Testo());
    if (m_idOperatore != 0)
        bag.insert(kKeyIdOperatore, m_idOperatore);
    return bag;
}

void CtrMsg::readProperties(const QVariantMap &bag) {
    m_shapeMsg->setFillColor(Units::fromOleColor(colorOr(bag, kKeyBackColor, kDefaultBackColor)));
    m_labelDataOra->setText(bag.value(kKeyData).toString());
    bool ok = false;
    const qint32 id = bag.value(kKeyIdOperatore).toInt(&ok);
    m_idOperatore = ok ? id : 0;
    m_labelTesto->setText(bag.value(kKeyTesto).toString());
    setLabelTextColor(colorOr(bag, kKeyForeColor, kDefaultForeColor));
    m_imageKD->setVisible(m_idOperatore >= 1);
}

void CtrMsg::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    // Whoever resized the control, the twips follow unless they already round to this size.
    if (Units::twipsToPixels(m_widthTwips) != width())
        m_widthTwips = int(Units::pixelsToTwips(width()));
    if (Units::twipsToPixels(m_heightTwips) != height())
        m_heightTwips = int(Units::pixelsToTwips(height()));
    UserControl_Resize();
}

void CtrMsg::UserControl_Resize() {
    // Only the shape, the badge and the time should stand out from the list behind.
    if (QWidget *host = parentWidget())
        setPaletteColor(m_frameMsg, QPalette::Window,
                        Units::toOleColor(host->palette().color(host->backgroundRole())));
    m_frameMsg->setGeometry(rect());
    m_labelDataOra->resize(m_frameMsg->width(), m_labelDataOra->height());
}

bool CtrMsg::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const auto *widget = static_cast<QWidget *>(watched);
        if (mouse->button() == Qt::LeftButton &&
            widget->rect().contains(mouse->position().toPoint())) {
            if (watched == m_image1)
                Image1_Click();
            else if (watched == m_textMsg->viewport())
                TextMsg_Click();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CtrMsg::TextMsg_Click() {
    if (!m_isLink)
        return;
    const QUrl url = LinkTarget(m_textMsg->toPlainText());
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

void CtrMsg::Image1_Click() {
    ImgFrm &viewer = ImgFrm::instance();
    viewer.show();
    viewer.raise();
    viewer.ShowImg(m_picture);
}
