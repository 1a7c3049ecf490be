#pragma once

#include "bubble/CtrMsg.h"

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>
#include <QTextLayout>

#include <vector>

class MessageModel;

// The message list: each message of the model is a bubble value stacked under the one before,
// laid out once; a paint covers only the bubbles in view. The list scrolls by the wheel, the
// touchpad and the keys, and shows its end after each new message. Text can be selected and
// copied; a click opens a link or a picture. Screen readers get one item per message.
class MessageList : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Every bubble but the first spans the list.
    static constexpr int kWidthTwips = 6000;

    explicit MessageList(const MessageModel &model, QWidget *parent = nullptr);

    const MessageModel &model() const { return m_model; }
    int count() const { return int(m_entries.size()); }
    const CtrMsg &bubble(int index) const { return m_entries[size_t(index)].bubble; }
    // Where the bubble's own coordinates start in the list, in twips.
    QPointF bubbleOriginTwips(int index) const;
    // The bubble in the viewport's pixels.
    QRect bubbleInViewport(int index) const;
    // The list from its top, 11.5 cm at least, in pixels.
    int contentHeight() const { return m_contentHeightPx; }
    // Paints contentArea, in the list's pixels from its top, with its top left corner at 0, 0.
    void paintContent(QPainter &painter, const QRect &contentArea) const;

    QString selectedText() const;
    void copy() const;
    void openLink(int index) const;
    void openPicture(int index) const;
    // Brings the bubble into view, at the top when it was above.
    void scrollToBubble(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct Entry {
        double topTwips;
        int leftTwips;
        CtrMsg bubble;
    };
    enum class Part { None, Margin, Text, Link, Picture };
    struct Hit {
        int index = -1;
        Part part = Part::None;
        int cursor = 0; // nearest to the point in the shown text, for every part but Picture
    };
    struct Selection {
        int index = -1;
        int anchor = 0;
        int position = 0;
    };

    void addBubbles(int first, int last);
    // Grows the list by the window's centimetre rules and shows its end.
    void growTo(double bottomTwips);
    int contentTop() const;
    QPoint originOf(int index) const;
    QRect bubbleRect(int index) const;
    // The first bubble that may reach down to yPx or below it.
    int firstReaching(int yPx) const;
    Hit hitAt(QPoint viewportPos) const;
    int cursorAt(int index, QPoint contentPos) const;
    const QTextLayout &textLayout(int index) const;
    QImage thumbnail(int index, const QRect &exposedPart, qreal pixelRatio, QPoint *offset) const;
    void select(const Selection &selection);
    void showPointerFor(Part part);
    void showMenu(QPoint viewportPos, QPoint globalPos);

    const MessageModel &m_model;
    std::vector<Entry> m_entries;
    int m_contentHeightPx;
    mutable QCache<int, QTextLayout> m_layouts;
    mutable QCache<int, QImage> m_thumbnails;
    Selection m_selection;
    Hit m_pressed;
    QPoint m_pressPos;
    bool m_dragging = false;
    Part m_pointer = Part::None;
};
