#pragma once

#include <QImage>
#include <QStringList>

class QMimeData;

// What a paste, a drop or the file dialog offers to send: picture files in their order, the
// files that are no pictures, or a picture without a file, which may have proved unreadable.
struct PictureOffer {
    QStringList pictureFiles;
    QStringList otherFiles;
    QImage picture;
    bool unreadablePicture = false;

    bool isEmpty() const {
        return pictureFiles.isEmpty() && otherFiles.isEmpty() && picture.isNull() &&
               !unreadablePicture;
    }

    // Local files first; then text, which is no offer (it pastes as text); then picture data.
    static PictureOffer fromMimeData(const QMimeData &mime);
    // Whether fromMimeData offers anything, without reading the files.
    static bool mayHold(const QMimeData &mime);
    // A file is a picture when its content reads as one, whatever its name says.
    static PictureOffer fromFiles(const QStringList &paths);
    // The picture in the file, upright and within the long side of what is sent; null when
    // unreadable.
    static QImage read(const QString &path);
    // For the file dialog: "Immagini (*.bmp *.gif ...)", the formats this system reads.
    static QString fileDialogFilter();
};
