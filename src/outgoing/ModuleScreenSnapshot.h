#pragma once

#include <QImage>
#include <QString>

#include <functional>

namespace ModuleScreenSnapshot {

// Every picture the customer sends, screenshots and others, is a JPEG of this quality.
constexpr int kJpegQuality = 80;

using Written = std::function<void(bool written)>;
// Hands over a picture of the screen, a null one when it could not be taken.
using PictureSource = std::function<void(std::function<void(const QImage &)> taken)>;

// Writes the whole primary screen to path as a JPEG of kJpegQuality; done learns whether a
// picture was written. Never shows anything. Under Wayland the picture comes from the desktop
// portal, which may take a while (it may ask the customer).
void CaptureScreen(const QString &path, Written done);

// The same with the picture taken by takePicture.
void CaptureScreen(const QString &path, const PictureSource &takePicture, Written done);

// Empty on success; otherwise "Non posso salvare l'immagine. Errore GDI+:" and the reason.
QString SavePictureAsJpeg(const QImage &picture, const QString &path, int quality);

} // namespace ModuleScreenSnapshot
