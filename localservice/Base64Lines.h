#pragma once

#include <QByteArray>

#include <optional>

// Base64 as the client writes it: lines of 72 characters ended by CR LF. Nothing when anything
// else but those line breaks stands outside the alphabet, so a damaged value is refused whole.
std::optional<QByteArray> decodeBase64Lines(QByteArray text);
