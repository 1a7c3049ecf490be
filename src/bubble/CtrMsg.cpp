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

} // namespace

CtrMsg::CtrMsg()
    : m_shapeRect(kShapeMsgDesign)
    , m_textRect(kTextMsgDesign)
    , m_pictureRect(kImage1Design)
    , m_widthTwips(kControlDesign.width())
    , m_heightTwips(kControlDesign.height()) {}

void CtrMsg::setBackColor(const QColor &color) {
    m_backColor = color;
}

void CtrMsg::setForeColor(const QColor &color) {
    m_foreColor = color;
}

void CtrMsg::setData(const QString &time) {
    m_data = time;
}

void CtrMsg::setTesto(const QString &text, bool isLink) {
    m_testo = text;
    const BubbleText::Measure measured = BubbleText::measure(m_testo);
    const auto layout =
        BubbleGeometry::layoutText(measured.naturalWidthTwips, m_testo, measured.lines);
    m_showsText = true;
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
