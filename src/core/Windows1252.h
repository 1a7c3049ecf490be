#pragma once

#include <QByteArray>
#include <QString>

// Windows-1252 on every platform: the service, the INI file and the log expect these bytes.
// Hand-written because Qt reaches this code page only through ICU, which some builds lack.
namespace Windows1252 {

// Characters the code page cannot represent become '?', one per code point.
QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);

// The code of one character in the code page, or '?' when it has none.
uchar codeOf(char32_t codePoint);

} // namespace Windows1252
