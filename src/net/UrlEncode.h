#pragma once

#include <QByteArray>
#include <QString>

// Form-style percent encoding of Windows-1252 codes: letters and digits pass, a space becomes
// "+", every other code becomes "%XX" (the controls 1 and 2 as "%" and "+" do); characters
// outside the code page pass unchanged.
QString UrlEncode(const QString &text);
// The same for codes already in bytes.
QByteArray UrlEncode(const QByteArray &codes);
