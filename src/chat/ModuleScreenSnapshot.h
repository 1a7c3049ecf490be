#pragma once

#include <QImage>
#include <QString>

#include <functional>

namespace ModuleScreenSnapshot {

// Every picture the customer sends, screenshots and others, is a JPEG of this quality.
constexpr int kJpegQuality = 80;

// Writes the whole primary screen to path as a JPEG of kJpegQuality; false when no picture
// was written. Never shows anything. Under Wayland the picture comes from the desktop portal.
bool CaptureScreen(const QString &path);

// The same with the picture taken by takePicture, which gives a null picture when it fails.
bool CaptureScreen(const QString &path, const std::function<QImage()> &takePicture);

// Empty on success; otherwise "Non posso salvare l'immagine. Errore GDI+:" and the reason.
QString SavePictureAsJpeg(const QImage &picture, const QString &path, int quality);

} // namespace ModuleScreenSnapshot
