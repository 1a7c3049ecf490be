#include "service/Base64.h"

#include "app/Windows1252.h"

namespace {

constexpr qsizetype kLineLength = 72;
constexpr QLatin1String kLineEnd("\r\n");

} // namespace

QString Base64::Encode(const QString &sString) const {
    const QByteArray encoded = Windows1252::encode(sString).toBase64();
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
