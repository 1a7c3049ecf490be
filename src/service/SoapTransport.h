#pragma once

#include <QString>

constexpr int kSoapTimeLimitMs = 30000;

// Posts one SOAP envelope to a chat service endpoint ("ws_chat_tre" and the like) and returns
// the response body as it came, whatever its HTTP status; the empty text on any failure.
QString PostSoap(const QString &endpoint, const QString &envelope);

// The same with another limit on silence; tests use a short one.
QString PostSoapWithin(const QString &endpoint, const QString &envelope, int timeLimitMs);
