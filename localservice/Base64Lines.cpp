#include "Base64Lines.h"

std::optional<QByteArray> decodeBase64Lines(QByteArray text) {
    text.replace('\r', QByteArray()).replace('\n', QByteArray());
    auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return std::move(*decoded);
}
