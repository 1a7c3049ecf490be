#pragma once

#include <QDialog>
#include <QImage>
#include <QRect>

// "Invia immagine": the picture scaled to fit, where the customer may drag a rectangle to send
// only that part. Nothing is sent from here; the caller sends after "Invia".
class PicturePreview : public QDialog {
    Q_OBJECT
public:
    explicit PicturePreview(const QImage &picture, QWidget *parent = nullptr);

    // The dragged part in picture pixels; empty for the whole picture.
    QRect crop() const;

private:
    class CropArea;
    CropArea *m_area = nullptr;
};
