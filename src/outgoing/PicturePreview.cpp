#include "outgoing/PicturePreview.h"

#include "outgoing/PictureCrop.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Invia immagine");
const QString kHint = QStringLiteral("Trascinare un rettangolo per inviare solo quella parte.");
const QString kSend = QStringLiteral("Invia");
const QString kCancel = QStringLiteral("Annulla");
constexpr QSize kLargestArea(640, 480);
constexpr QSize kSmallestArea(240, 160);
const QColor kOutsideShade(0, 0, 0, 128);
} // namespace

// The picture and the dragged rectangle, in widget pixels; the rectangle is mapped to picture
// pixels only when asked for.
class PicturePreview::CropArea : public QWidget {
public:
    CropArea(const QImage &picture, QWidget *parent)
        : QWidget(parent)
        , m_pictureSize(picture.size()) {
        const QSize area =
            PictureCrop::shownRect(m_pictureSize, kLargestArea).size().expandedTo(kSmallestArea);
        setFixedSize(area);
        m_shown = PictureCrop::shownRect(m_pictureSize, area);
        m_shownPicture =
            picture.scaled(m_shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        setCursor(Qt::CrossCursor);
    }

    QRect crop() const { return PictureCrop::toPicture(m_dragged, m_shown, m_pictureSize); }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().dark());
        painter.drawImage(m_shown.topLeft(), m_shownPicture);
        const QRect kept = m_dragged & m_shown;
        if (kept.isEmpty())
            return;
        QRegion outside(m_shown);
        outside -= kept;
        for (const QRect &part : outside)
            painter.fillRect(part, kOutsideShade);
        painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
        painter.drawRect(kept.adjusted(0, 0, -1, -1));
    }
    void mousePressEvent(QMouseEvent *event) override {
        if (event->button() != Qt::LeftButton)
            return;
        m_anchor = event->position().toPoint();
        m_dragged = QRect();
        update();
    }
    // A click without a drag keeps the whole picture.
    void mouseMoveEvent(QMouseEvent *event) override {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const QPoint pos = event->position().toPoint();
        if ((pos - m_anchor).manhattanLength() < QApplication::startDragDistance())
            return;
        // QRect::normalized moves a backwards corner by a pixel.
        m_dragged = QRect(QPoint(qMin(m_anchor.x(), pos.x()), qMin(m_anchor.y(), pos.y())),
                          QPoint(qMax(m_anchor.x(), pos.x()), qMax(m_anchor.y(), pos.y())));
        update();
    }

private:
    QSize m_pictureSize;
    QRect m_shown;
    QImage m_shownPicture;
    QPoint m_anchor;
    QRect m_dragged;
};

PicturePreview::PicturePreview(const QImage &picture, QWidget *parent)
    : QDialog(parent) {
    setWindowTitle(kTitle);
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new QLabel(kHint, this));
    m_area = new CropArea(picture, this);
    m_area->setObjectName(QStringLiteral("CropArea"));
    layout->addWidget(m_area);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *send = buttons->addButton(kSend, QDialogButtonBox::AcceptRole);
    // Enter sends wherever the focus is; only a click or Escape cancels.
    send->setDefault(true);
    send->setFocus();
    buttons->addButton(kCancel, QDialogButtonBox::RejectRole)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QRect PicturePreview::crop() const {
    return m_area->crop();
}
