#pragma once

#include <QImage>
#include <QSize>

class QIODevice;

// A PNG reduced row by row as libpng decodes it, each pixel of the result the mean of the
// pixels it covers: Qt decodes a PNG whole before scaling it, and refuses one over its 128 MiB
// limit (an 8000 x 6000 photo), so a large pasted PNG could not be read at all.
namespace ReducedPng {

// Null, with the device back where it was, when the bytes are no PNG, an interlaced one (whose
// rows come in passes), one of more than 100 megapixels, or one that fails to decode.
QImage read(QIODevice *device, QSize reduced);

} // namespace ReducedPng
