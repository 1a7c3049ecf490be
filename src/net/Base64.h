#pragma once

#include <QByteArray>
#include <QString>

// Base64 for the service: the standard alphabet and padding, lines of 72 characters each
// ended by CR LF (the last line too when it is full).
class Base64 {
public:
    // Texts are taken as Windows-1252 bytes.
    QString Encode(const QString &sString) const;
    QByteArray Encode(const QByteArray &bytes) const;
};
