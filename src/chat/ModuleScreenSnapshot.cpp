#include "chat/ModuleScreenSnapshot.h"

#include "core/LinkFreePath.h"

#include "chat/DesktopSession.h"
#include "chat/PortalScreenshot.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QScreen>

namespace ModuleScreenSnapshot {

namespace {
const QString kSaveError = QStringLiteral("Non posso salvare l'immagine. Errore GDI+:");
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
    return SavePictureAsJpeg(takePicture(), path, kJpegQuality).isEmpty();
}

QString SavePictureAsJpeg(const QImage &picture, const QString &path, int quality) {
    if (!MayWriteTo(path))
        return kSaveError + QStringLiteral(" collegamento simbolico");
    if (picture.isNull())
        return kSaveError + QStringLiteral(" nessuna immagine");
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    if (writer.write(picture))
        return QString();
    // Qt's own reason, for the log: the one place this text is read.
    return kSaveError + QLatin1Char(' ') + writer.errorString();
}

} // namespace ModuleScreenSnapshot
