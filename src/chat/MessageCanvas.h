#pragma once

#include "bubble/CtrMsg.h"

#include <QCache>
#include <QImage>
#include <QTextLayout>
#include <QWidget>

#include <vector>

struct ChatMessage;

// The message list's canvas: each message is a bubble value stacked under the one before, and a
// paint covers only the bubbles the viewport exposes. Text can be selected and copied; a click
// opens a link or a picture.
class MessageCanvas : public QWidget {
    Q_OBJECT
public:
    // Every bubble but the first spans the canvas.
    static constexpr int kWidthTwips = 6000;

    explicit MessageCanvas(QWidget *parent = nullptr);

    // Fills a bubble from the message and stacks it under the last one; its bottom in twips.
    double addMessage(const ChatMessage &message);

    int count() const { return int(m_entries.size()); }
    const CtrMsg &bubble(int index) const { return m_entries[size_t(index)].bubble; }
    // Where the bubble's own coordinates start on the canvas, in twips.
    QPointF bubbleOriginTwips(int index) const;
    QString selectedText() const;
    void copy() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    struct Entry {
        double topTwips;
        int leftTwips;
        CtrMsg bubble;
    };
    enum class Part { None, Text, Link, Picture };
    struct Hit {
        int index = -1;
        Part part = Part::None;
        int cursor = 0; // in the shown text, for Text and Link
    };
    struct Selection {
        int index = -1;
        int anchor = 0;
        int position = 0;
    };

    QPoint originOf(int index) const;
    QRect bubbleRect(int index) const;
    // The first bubble that may reach down to yPx or below it.
    int firstReaching(int yPx) const;
    Hit hitAt(QPoint pos) const;
    int cursorAt(int index, QPoint pos) const;
    const QTextLayout &textLayout(int index) const;
    QImage thumbnail(int index, const QRect &exposedPart, QPoint *offset) const;
    void select(const Selection &selection);
    void showPointerFor(Part part);
    void openLink(int index) const;
    void openPicture(int index) const;

    std::vector<Entry> m_entries;
    mutable QCache<int, QTextLayout> m_layouts;
    mutable QCache<int, QImage> m_thumbnails;
    Selection m_selection;
    Hit m_pressed;
    QPoint m_pressPos;
    bool m_dragging = false;
    Part m_pointer = Part::None;
};
