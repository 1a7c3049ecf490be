#pragma once

#include <QString>

// Single keys of a Windows profile (INI) file, with the behaviour of the Windows profile calls
// on every platform. Written by hand: QSettings rewrites and reorders the whole file.

// The value of key in section, or the empty text when either is missing. Files over 64000
// bytes are scanned line by line for the first line that starts with key, whatever its section.
QString ReadIniValue(const QString &path, const QString &section, const QString &key);

// Replaces the value in place, or appends the key (and its section) when missing; every other
// byte of the file stays as it was. A file that is a symbolic link is not written. Non-zero on
// success.
qint32 WriteIniValue(const QString &path, const QString &section, const QString &key,
                     const QString &value);
