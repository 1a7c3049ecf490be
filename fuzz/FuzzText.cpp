#include "FuzzText.h"

namespace {

QString decode(const std::string &bytes, bool asUtf16) {
    if (!asUtf16)
        return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    QString text(qsizetype(bytes.size() / 2), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(uchar(bytes[2 * i]) | (uchar(bytes[2 * i + 1]) << 8)));
    return text;
}

} // namespace

namespace FuzzText {

QString take(FuzzedDataProvider &input, size_t maxBytes) {
    const bool asUtf16 = input.ConsumeBool();
    return decode(input.ConsumeRandomLengthString(maxBytes), asUtf16);
}

QString takeRemaining(FuzzedDataProvider &input) {
    const bool asUtf16 = input.ConsumeBool();
    return decode(input.ConsumeRemainingBytesAsString(), asUtf16);
}

} // namespace FuzzText
