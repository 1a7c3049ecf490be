#include "net/Base64.h"

#include "core/Windows1252.h"

#include <cstring>

namespace {

constexpr qsizetype kLineLength = 72;
constexpr char kLineEnd[] = "\r\n";
constexpr qsizetype kLineEndLength = 2;
// Input bytes of 512 whole lines: 54 bytes make the 72 characters of one line.
constexpr qsizetype kBlockBytes = 54 * 512;

} // namespace

QString Base64::Encode(const QString &sString) const {
    return QString::fromLatin1(Encode(Windows1252::encode(sString)));
}

// Qt encodes a block of lines at a time into a small buffer that stays in the cache; only the
// line ends are ours. One encoding of the whole input would cost a second large buffer.
QByteArray Base64::Encode(const QByteArray &bytes) const {
    const qsizetype encodedSize = (bytes.size() + 2) / 3 * 4;
    const qsizetype fullLines = encodedSize / kLineLength;
    QByteArray out(encodedSize + fullLines * kLineEndLength, Qt::Uninitialized);
    char *to = out.data();
    for (qsizetype from = 0; from < bytes.size(); from += kBlockBytes) {
        const QByteArray block = QByteArray::fromRawData(bytes.constData() + from,
                                                         qMin(kBlockBytes, bytes.size() - from))
                                     .toBase64();
        const char *line = block.constData();
        const char *end = line + block.size();
        for (; end - line >= kLineLength; line += kLineLength) {
            std::memcpy(to, line, kLineLength);
            std::memcpy(to + kLineLength, kLineEnd, kLineEndLength);
            to += kLineLength + kLineEndLength;
        }
        std::memcpy(to, line, size_t(end - line)); // only the last block ends within a line
        to += end - line;
    }
    return out;
}
