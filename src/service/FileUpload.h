#pragma once

#include <QString>

// The answer for a file that gave no data.
constexpr char kUploadNoFileData[] = "Errore file";

// Sends one local file, Base64 in a form-encoded body, to the service's attachment endpoint
// with the wait cursor showing. Returns the endpoint's answer whatever its status, the empty
// text when the exchange failed, and "Errore file" (nothing sent) for a missing or empty file.
// httpStatus, when given, receives the answer's status (0 without one).
QString UploadFile(const QString &path, int *httpStatus = nullptr);
