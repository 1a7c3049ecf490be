#pragma once

#include <QString>

// Base64 for the service: the standard alphabet and padding, lines of 72 characters each
// ended by CR LF (the last line too when it is full). Texts are taken as Windows-1252 bytes.
class Base64 {
public:
    QString Encode(const QString &sString) const;
};
