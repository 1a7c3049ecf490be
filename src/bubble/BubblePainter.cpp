#include "bubble/BubblePainter.h"

#include "app/Units.h"
#include "bubble/CtrMsg.h"

#include <QCursor>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr qreal kCornerRadius = 8;
constexpr QColor kTimeColor(128, 128, 128);
constexpr qreal kTimePointSize = 8.25;
const QString kBadgeResource = QStringLiteral(":/bubble/badge.png");
const QString kBadgeScaledResource = QStringLiteral(":/bubble/badge@2x.png");
const QString kHandCursorResource = QStringLiteral(":/bubble/hand.png");
constexpr QPoint kHandHotSpot(13, 5);

// Arial Narrow is rarely installed off Windows; a condensed Liberation Sans keeps its width.
QFont timeFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("Liberation Sans")});
    font.setStretch(QFont::Condensed);
    font.setPointSizeF(kTimePointSize);
    return font;
}

} // namespace

QCursor BubblePainter::handCursor() {
    return QCursor(QPixmap(kHandCursorResource), kHandHotSpot.x(), kHandHotSpot.y());
}

void BubblePainter::paint(QPainter &painter, const CtrMsg &bubble, QPoint origin) const {
    using Units::twipsToPixels;
    painter.save();
    const QRect control(
        origin, QSize(twipsToPixels(bubble.widthTwips()), twipsToPixels(bubble.heightTwips())));
    painter.setClipRect(control);
    painter.fillRect(control, background);

    const QRect shape = twipsToPixels(bubble.shapeRect()).translated(origin);
    painter.setPen(Qt::NoPen);
    painter.setBrush(bubble.BackColor());
    if (bubble.isRounded()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawRoundedRect(shape, kCornerRadius, kCornerRadius);
        painter.setRenderHint(QPainter::Antialiasing, false);
    } else {
        painter.drawRect(shape);
    }

    if (bubble.showsTime()) {
        static const QFont font = timeFont();
        painter.setFont(font);
        painter.setPen(kTimeColor);
        painter.drawText(twipsToPixels(bubble.timeRect()).translated(origin),
                         Qt::AlignLeft | Qt::AlignVCenter, bubble.Data());
    }
    // A scaled screen gets the badge drawn for it: the small one enlarged would blur.
    static const QPixmap badge(kBadgeResource);
    static const QPixmap scaledBadge = [] {
        QPixmap drawn(kBadgeScaledResource);
        drawn.setDevicePixelRatio(2);
        return drawn;
    }();
    if (bubble.showsBadge())
        painter.drawPixmap(twipsToPixels(CtrMsg::badgeRect()).translated(origin).topLeft(),
                           painter.device()->devicePixelRatioF() > 1 ? scaledBadge : badge);
    if (bubble.showsPicture() && !thumbnail.isNull())
        painter.drawImage(twipsToPixels(bubble.pictureRect()).translated(origin).topLeft() +
                              thumbnailOffset,
                          thumbnail);
    if (bubble.showsText() && text) {
        painter.setPen(bubble.ForeColor());
        text->draw(&painter, twipsToPixels(bubble.textRect()).translated(origin).topLeft(),
                   selection);
    }
    painter.restore();
}
