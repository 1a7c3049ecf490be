#include "bubble/CtrMsg.h"

#include "app/Units.h"
#include "bubble/AttachmentPath.h"
#include "bubble/BubbleGeometry.h"
#include "bubble/BubbleText.h"
#include "bubble/UprightPicture.h"
#include "core/AppState.h"
#include "core/FileChecks.h"

namespace {

// Design geometry in twips: left, top, width, height.
constexpr QRect kControlDesign(0, 0, 5910, 570);
constexpr QRect kTextMsgDesign(1485, 75, 3525, 240);
constexpr QRect kImage1Design(945, 30, 4830, 540);
constexpr QRect kImageKDDesign(15, 15, 450, 465);
constexpr QRect kLabelDataOraDesign(435, 60, 390, 195);
constexpr QRect kShapeMsgDesign(975, 30, 4905, 345);

constexpr quint32 kDefaultBackColor = 0x00FFFFFF;
constexpr quint32 kDefaultForeColor = 0x00000000;

const QString kKeyBackColor = QStringLiteral("BackColor");
const QString kKeyData = QStringLiteral("Data");
const QString kKeyIdOperatore = QStringLiteral("IdOperatore");
const QString kKeyTesto = QStringLiteral("Testo");
const QString kKeyForeColor = QStringLiteral("ForeColor");

quint32 colorOr(const QVariantMap &bag, const QString &key, quint32 fallback) {
    bool ok = false;
    const quint32 value = bag.value(key).toUInt(&ok);
    return ok ? value : fallback;
}

} // namespace

CtrMsg::CtrMsg()
    : m_backColor(kDefaultBackColor)
    , m_labelColor(kDefaultForeColor)
    , m_textColor(kDefaultForeColor)
    , m_shapeRect(kShapeMsgDesign)
    , m_textRect(kTextMsgDesign)
    , m_pictureRect(kImage1Design)
    , m_widthTwips(kControlDesign.width())
    , m_heightTwips(kControlDesign.height()) {}

void CtrMsg::setBackColor(quint32 color) {
    m_backColor = color;
}

void CtrMsg::setForeColor(quint32 color) {
    m_labelColor = color;
    m_textColor = color;
}

void CtrMsg::setData(const QString &time) {
    m_data = time;
}

void CtrMsg::setTesto(const QString &text, bool isLink) {
    m_testo = text;
    m_testo.replace(QStringLiteral("<br>"), QStringLiteral("\r\n"));
    const BubbleText::Measure measured = BubbleText::measure(m_testo);
    const auto layout =
        BubbleGeometry::layoutText(measured.naturalWidthTwips, m_testo, measured.lines);
    m_showsText = true;
    m_shownText = m_testo;
    m_isLink = isLink;
    m_textRect = QRect(BubbleGeometry::kTextLeft, BubbleGeometry::kTextTop, layout.textWidth,
                       layout.textHeight);
    m_heightTwips = layout.controlHeight;
    m_shapeRect = QRect(BubbleGeometry::kShapeLeft, BubbleGeometry::kShapeTop, layout.shapeWidth,
                        layout.shapeHeight);
}

void CtrMsg::setIdOperatore(qint32 id) {
    m_idOperatore = id;
    if (id < 1) {
        m_showsBadge = false;
        m_showsTime = false;
    } else {
        m_showsBadge = true;
    }
}

void CtrMsg::setImmagineAttach(const QString &fileName) {
    const QString path = AttachmentPath(AppState::instance().ApplicationFolder, fileName);
    if (path.isEmpty() || !FileExists(path)) {
        m_showsPicture = false;
        m_rounded = true;
        return;
    }
    m_showsPicture = true;
    m_showsText = false;

    // Only the header is read here; the list decodes a thumbnail when it paints one. A file
    // that is no picture keeps the size the thumbnail had.
    const QSize natural = UprightPicture::size(path);
    m_picturePath = natural.isValid() ? path : QString();
    const QSize naturalTwips =
        natural.isValid() ? natural * int(Units::kTwipsPerPixel) : m_pictureRect.size();
    const auto layout = BubbleGeometry::layoutPicture(naturalTwips.width(), naturalTwips.height(),
                                                      m_pictureRect.height());
    m_pictureRect = QRect(BubbleGeometry::kThumbnailLeft, BubbleGeometry::kThumbnailTop,
                          layout.thumbnailWidth, layout.thumbnailHeight);
    m_heightTwips = layout.controlHeight;
    m_shapeRect = QRect(BubbleGeometry::kShapeLeft, BubbleGeometry::kShapeTop, layout.shapeWidth,
                        layout.shapeHeight);
    m_rounded = false;
}

QRect CtrMsg::badgeRect() {
    return kImageKDDesign;
}

// The time label spans the bubble's width.
QRect CtrMsg::timeRect() const {
    return QRect(kLabelDataOraDesign.left(), kLabelDataOraDesign.top(), m_widthTwips,
                 kLabelDataOraDesign.height());
}

QVariantMap CtrMsg::writeProperties() const {
    QVariantMap bag;
    if (m_backColor != kDefaultBackColor)
        bag.insert(kKeyBackColor, m_backColor);
    if (!m_data.isEmpty())
        bag.insert(kKeyData, m_data);
    if (!m_testo.isEmpty())
        bag.insert(kKeyTesto, m_testo);
    if (m_idOperatore != 0)
        bag.insert(kKeyIdOperatore, m_idOperatore);
    return bag;
}

// Restores the values only: no layout, and the shown text keeps its colour.
void CtrMsg::readProperties(const QVariantMap &bag) {
    m_backColor = colorOr(bag, kKeyBackColor, kDefaultBackColor);
    m_data = bag.value(kKeyData).toString();
    bool ok = false;
    const qint32 id = bag.value(kKeyIdOperatore).toInt(&ok);
    m_idOperatore = ok ? id : 0;
    m_testo = bag.value(kKeyTesto).toString();
    m_labelColor = colorOr(bag, kKeyForeColor, kDefaultForeColor);
    m_showsBadge = m_idOperatore >= 1;
}
