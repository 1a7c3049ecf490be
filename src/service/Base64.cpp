#include "service/Base64.h"

#include "app/Windows1252.h"

#include <array>

namespace {

constexpr qsizetype kLineLength = 72;
constexpr QLatin1String kLineEnd("\r\n");
constexpr int kCodeUnits = 0x10000;

// The inverse of Windows1252::decode for every UTF-16 code unit: converting a screenshot's
// worth of characters one codec call at a time costs several times the encoding itself.
const std::array<uchar, kCodeUnits> &codeTable() {
    static const std::array<uchar, kCodeUnits> table = [] {
        std::array<uchar, kCodeUnits> codes;
        codes.fill('?');
        QByteArray everyByte(256, Qt::Uninitialized);
        for (int i = 0; i < everyByte.size(); ++i)
            everyByte[i] = char(i);
        const QString characters = Windows1252::decode(everyByte);
        for (int i = 0; i < characters.size(); ++i)
            codes[characters[i].unicode()] = uchar(i);
        return codes;
    }();
    return table;
}

QByteArray windows1252Bytes(const QString &text) {
    const std::array<uchar, kCodeUnits> &codes = codeTable();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *dst = bytes.data();
    for (const QChar c : text) {
        if (c.isSurrogate())
            return Windows1252::encode(text); // one '?' per code point beyond 16 bits
        *dst++ = char(codes[c.unicode()]);
    }
    return bytes;
}

} // namespace

QString Base64::Encode(const QString &sString) const {
    const QByteArray encoded = windows1252Bytes(sString).toBase64();
    const qsizetype fullLines = encoded.size() / kLineLength;
    QString out;
    out.reserve(encoded.size() + fullLines * kLineEnd.size());
    for (qsizetype start = 0; start < encoded.size(); start += kLineLength) {
        const qsizetype length = qMin(kLineLength, encoded.size() - start);
        out.append(QLatin1String(encoded.constData() + start, length));
        if (length == kLineLength)
            out.append(kLineEnd);
    }
    return out;
}
