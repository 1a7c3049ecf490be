#include "viewer/ImgFrm.h"

#include "app/Units.h"
#include "viewer/ViewerGeometry.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>
#include <QPointer>

namespace {

const QString kCaption = QStringLiteral("Immagine");
constexpr QSize kDesignClientSize(1039, 786);

QPointer<ImgFrm> s_instance;

} // namespace

ImgFrm &ImgFrm::instance() {
    if (!s_instance) {
        s_instance = new ImgFrm;
        // A top-level window must go while the application still exists, not at exit.
        qAddPostRoutine([] { delete s_instance; });
    }
    return *s_instance;
}

ImgFrm::ImgFrm()
    : m_image1(new QLabel(this)) {
    setWindowTitle(kCaption);
    resize(kDesignClientSize);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setScaledContents(true);
}

void ImgFrm::ShowImg(const QImage &picture) {
    const auto size = ViewerGeometry::shownPictureSize(outerWidthTwips(), picture.size());
    if (!size) {
        m_image1->clear();
        m_image1->hide();
        return;
    }
    m_image1->setPixmap(QPixmap::fromImage(picture));
    m_image1->show();
    placeImage(*size);
}

void ImgFrm::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void ImgFrm::Form_Resize() {
    placeImage(ViewerGeometry::resizedPictureSize(outerWidthTwips(), outerHeightTwips()));
}

void ImgFrm::placeImage(const QSizeF &sizeTwips) {
    m_image1->setGeometry(0, 0, Units::twipsToPixels(sizeTwips.width()),
                          Units::twipsToPixels(sizeTwips.height()));
}

double ImgFrm::outerWidthTwips() const {
    return Units::pixelsToTwips(frameGeometry().width());
}

double ImgFrm::outerHeightTwips() const {
    return Units::pixelsToTwips(frameGeometry().height());
}
