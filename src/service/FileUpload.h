#pragma once

#include <QPair>
#include <QString>

// The answer for a file that gave no data.
constexpr char kUploadNoFileData[] = "Errore file";

// Sends one local file, Base64 in a form-encoded body, to the service's attachment endpoint
// with the wait cursor showing. Returns the endpoint's answer whatever its status, the empty
// text when the exchange failed, and "Errore file" (nothing sent) for a missing or empty file.
// httpStatus, when given, receives the answer's status (0 without one).
QString UploadFile(const QString &path, int *httpStatus = nullptr);

// Form-style percent encoding of Windows-1252 codes: letters and digits pass, a space becomes
// "+", every other code becomes "%XX" (the controls 1 and 2 as "%" and "+" do); characters
// outside the code page pass unchanged.
QString UrlEncode(const QString &text);

// {file name, folder with its trailing separator}; both "\" and "/" separate.
QPair<QString, QString> SplitPath(const QString &path);

// The file's bytes, one character each, so that Base64 encodes exactly these bytes; empty
// when the file cannot be read.
QString ReadFileBinary(const QString &path);
