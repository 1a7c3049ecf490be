#include "outgoing/OutgoingPicture.h"

#include "outgoing/ModuleScreenSnapshot.h"

#include <QPainter>

namespace OutgoingPicture {

QImage cropped(const QImage &picture, const QRect &crop) {
    const QRect kept = crop & picture.rect();
    return kept.isEmpty() ? picture : picture.copy(kept);
}

QImage forSending(const QImage &picture) {
    QImage result = picture;
    const QSize size = picture.size();
    if (qMax(size.width(), size.height()) > kLongSideLimit) {
        // QSize::scaled rounds a very thin picture's short side down to nothing.
        const QSize limited = size.scaled(kLongSideLimit, kLongSideLimit, Qt::KeepAspectRatio)
                                  .expandedTo(QSize(1, 1));
        result = picture.scaled(limited, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (!result.hasAlphaChannel())
        return result;
    QImage opaque(result.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, result);
    return opaque;
}

QString writeJpeg(const QImage &picture, const QString &path) {
    return ModuleScreenSnapshot::SavePictureAsJpeg(forSending(picture), path,
                                                   ModuleScreenSnapshot::kJpegQuality);
}

} // namespace OutgoingPicture
