#pragma once

#include <QString>

#include <functional>

class HttpExchange;

// The answer for a file that gave no data.
constexpr char kUploadNoFileData[] = "Errore file";

struct UploadAnswer {
    // The endpoint's answer whatever its status, the empty text when the exchange failed, and
    // "Errore file" (nothing sent) for a missing or empty file.
    QString text;
    int status = 0; // the answer's HTTP status, 0 without one
};

// Sends one local file, Base64 in a form-encoded body, to the service's attachment endpoint
// with the busy cursor showing. Returns the exchange, whose progress the caller may follow, or
// nullptr when there was nothing to send: done has then run already.
HttpExchange *UploadFile(const QString &path, std::function<void(const UploadAnswer &)> done);
