#pragma once

#include <QByteArray>

#include <optional>

// The body of a picture upload: "documento=" and the URL-encoded Base64 of the file's bytes.
namespace UploadForm {

// Nothing when the field is missing or its value is not Base64; line breaks inside it are fine.
std::optional<QByteArray> decodeDocument(const QByteArray &body);

} // namespace UploadForm
