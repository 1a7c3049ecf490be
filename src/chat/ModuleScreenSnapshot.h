#pragma once

#include <QImage>
#include <QString>

namespace ModuleScreenSnapshot {

// Writes the whole primary screen to path as a JPEG of quality 80; false when no picture
// was written. Never shows anything.
bool CaptureScreen(const QString &path);

// Empty on success; otherwise "Non posso salvare l'immagine. Errore GDI+:" and a status number
// (1 generic, 2 invalid picture, 7 file system, 13 no JPEG encoder).
QString SavePictureAsJpeg(const QImage &picture, const QString &path, int quality);

} // namespace ModuleScreenSnapshot
