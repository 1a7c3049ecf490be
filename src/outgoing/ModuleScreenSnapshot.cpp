#include "outgoing/ModuleScreenSnapshot.h"

#include "core/LinkFreePath.h"

#include "outgoing/DesktopSession.h"
#include "outgoing/PortalScreenshot.h"

#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QScreen>

namespace ModuleScreenSnapshot {

namespace {
const QString kSaveError = QStringLiteral("Non posso salvare l'immagine. Errore GDI+:");
} // namespace

void CaptureScreen(const QString &path, Written done) {
    if (DesktopSession::isWayland(QProcessEnvironment::systemEnvironment())) {
        auto *portal = new PortalScreenshot(QDBusConnection::sessionBus());
        return CaptureScreen(
            path,
            [portal](auto taken) {
                portal->take([portal, taken](const QImage &screen) {
                    portal->deleteLater();
                    taken(screen);
                });
            },
            std::move(done));
    }
    CaptureScreen(
        path,
        [](auto taken) {
            QScreen *screen = QGuiApplication::primaryScreen();
            taken(screen ? screen->grabWindow(0).toImage() : QImage());
        },
        std::move(done));
}

void CaptureScreen(const QString &path, const PictureSource &takePicture, Written done) {
    takePicture([path, done = std::move(done)](const QImage &screen) {
        done(SavePictureAsJpeg(screen, path, kJpegQuality).isEmpty());
    });
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
