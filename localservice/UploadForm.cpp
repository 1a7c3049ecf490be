#include "UploadForm.h"

#include "Base64Lines.h"

#include <QList>

namespace {

constexpr auto kField = QByteArrayView("documento=");

} // namespace

namespace UploadForm {

std::optional<QByteArray> decodeDocument(const QByteArray &body) {
    for (const QByteArray &pair : body.split('&')) {
        if (!pair.startsWith(kField))
            continue;
        // Percent-decoding by hand keeps a literal "+" as Base64's own character rather than a
        // space, so a client that leaves "+" unencoded is understood as well.
        const auto decoded =
            decodeBase64Lines(QByteArray::fromPercentEncoding(pair.mid(kField.size())));
        if (!decoded || decoded->isEmpty())
            return std::nullopt;
        return decoded;
    }
    return std::nullopt;
}

} // namespace UploadForm
