#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QTextLayout>

class CtrMsg;
class QCursor;
class QPainter;

// Paints one bubble with its top left corner at origin (pixels), clipped to the bubble as a
// control would be, over the background of the list that holds it.
struct BubblePainter {
    QColor background;
    // The bubble's text laid out at its text width, when it shows text.
    const QTextLayout *text = nullptr;
    // The picture at the thumbnail's size in pixels, or a part of it that starts at
    // thumbnailOffset.
    QImage thumbnail;
    QPoint thumbnailOffset;
    QList<QTextLayout::FormatRange> selection;

    void paint(QPainter &painter, const CtrMsg &bubble, QPoint origin) const;

    // The pointer over a link and over a picture.
    static QCursor handCursor();
};
