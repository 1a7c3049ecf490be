#pragma once

#include <QImage>
#include <QWidget>

class QLabel;

// The window that shows one attachment picture large; one per process, reused by every click.
class ImgFrm : public QWidget {
    Q_OBJECT
public:
    // Enough for the window maximised on a large screen; more would only cost memory.
    static constexpr int kLongestSide = 4096;

    static ImgFrm &instance();

    // Replaces the picture and sizes it across the window's width, in its own proportions.
    void ShowImg(const QImage &picture);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    ImgFrm();
    void Form_Resize();
    void placeImage(const QSizeF &sizeTwips);
    double outerWidthTwips() const;
    double outerHeightTwips() const;

    QLabel *m_image1;
};
