#pragma once

#include <QString>

#include <functional>

class HttpExchange;

constexpr int kSoapTimeLimitMs = 30000;

// Receives the response body as it came, whatever its HTTP status; the empty text on any
// failure.
using SoapAnswer = std::function<void(const QString &answer)>;

// Posts one SOAP envelope to a chat service endpoint ("ws_chat_tre" and the like). The answer
// comes from the event loop; the exchange is returned so that an owner can take it on.
HttpExchange *PostSoap(const QString &endpoint, const QString &envelope, SoapAnswer done);

// The same with another limit on silence; tests use a short one.
HttpExchange *PostSoapWithin(const QString &endpoint, const QString &envelope, int timeLimitMs,
                             SoapAnswer done);
