#include "chat/ModuleScreenSnapshot.h"

#include "app/LinkFreePath.h"

#include "chat/DesktopSession.h"
#include "chat/PortalScreenshot.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QScreen>

namespace ModuleScreenSnapshot {

namespace {
constexpr int kScreenshotQuality = 80;
const QString kSaveError = QStringLiteral("Non posso salvare l'immagine. Errore GDI+:");

// GDI+ status codes, the numbers this error text has always carried.
int statusNumber(QImageWriter::ImageWriterError error) {
    switch (error) {
    case QImageWriter::InvalidImageError:
        return 2;
    case QImageWriter::DeviceError:
        return 7;
    case QImageWriter::UnsupportedFormatError:
        return 13;
    case QImageWriter::UnknownError:
        break;
    }
    return 1;
}
} // namespace

bool CaptureScreen(const QString &path) {
    if (DesktopSession::isWayland(QProcessEnvironment::systemEnvironment())) {
        PortalScreenshot portal(QDBusConnection::sessionBus());
        return CaptureScreen(path, [&portal] { return portal.take(); });
    }
    return CaptureScreen(path, [] {
        QScreen *screen = QGuiApplication::primaryScreen();
        return screen ? screen->grabWindow(0).toImage() : QImage();
    });
}

bool CaptureScreen(const QString &path, const std::function<QImage()> &takePicture) {
    return SavePictureAsJpeg(takePicture(), path, kScreenshotQuality).isEmpty();
}

QString SavePictureAsJpeg(const QImage &picture, const QString &path, int quality) {
    if (!MayWriteTo(path))
        return kSaveError + QString::number(statusNumber(QImageWriter::DeviceError));
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    if (!picture.isNull() && writer.write(picture))
        return QString();
    const auto error = picture.isNull() ? QImageWriter::InvalidImageError : writer.error();
    return kSaveError + QString::number(statusNumber(error));
}

} // namespace ModuleScreenSnapshot
