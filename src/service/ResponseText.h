#pragma once

#include <QByteArray>
#include <QString>

// A response body as text, in the character set its Content-Type declares; UTF-8 when it
// declares none or one this build cannot decode.
QString ResponseText(const QByteArray &contentType, const QByteArray &body);
