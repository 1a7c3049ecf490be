#include "service/Base64.h"

#include "app/Windows1252.h"

#include <cstring>

namespace {

constexpr qsizetype kLineLength = 72;
constexpr char kLineEnd[] = "\r\n";
constexpr qsizetype kLineEndLength = 2;

} // namespace

QString Base64::Encode(const QString &sString) const {
    return QString::fromLatin1(Encode(Windows1252::encode(sString)));
}

// Qt encodes; only the line ends are ours, copied in whole lines.
QByteArray Base64::Encode(const QByteArray &bytes) const {
    const QByteArray encoded = bytes.toBase64();
    const qsizetype fullLines = encoded.size() / kLineLength;
    QByteArray out(encoded.size() + fullLines * kLineEndLength, Qt::Uninitialized);
    const char *from = encoded.constData();
    char *to = out.data();
    for (qsizetype line = 0; line < fullLines; ++line) {
        std::memcpy(to, from, kLineLength);
        std::memcpy(to + kLineLength, kLineEnd, kLineEndLength);
        from += kLineLength;
        to += kLineLength + kLineEndLength;
    }
    std::memcpy(to, from, size_t(encoded.size() - fullLines * kLineLength));
    return out;
}
