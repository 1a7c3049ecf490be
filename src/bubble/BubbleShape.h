#pragma once

#include <QColor>
#include <QWidget>

// The visible bubble behind a message: a filled rounded rectangle, or a plain one behind a
// picture.
class BubbleShape : public QWidget {
    Q_OBJECT
public:
    explicit BubbleShape(QWidget *parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor &color);
    bool isRounded() const { return m_rounded; }
    void setRounded(bool rounded);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill = Qt::white;
    bool m_rounded = true;
};
