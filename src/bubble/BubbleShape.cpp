#include "bubble/BubbleShape.h"

#include <QPainter>

namespace {

constexpr qreal kCornerRadius = 8;

} // namespace

BubbleShape::BubbleShape(QWidget *parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BubbleShape::setFillColor(const QColor &color) {
    m_fill = color;
    update();
}

void BubbleShape::setRounded(bool rounded) {
    m_rounded = rounded;
    update();
}

void BubbleShape::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_fill);
    if (m_rounded)
        painter.drawRoundedRect(rect(), kCornerRadius, kCornerRadius);
    else
        painter.drawRect(rect());
}
