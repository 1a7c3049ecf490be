#include "service/SoapTransport.h"

#include "core/ServiceProtocol.h"
#include "service/HttpExchange.h"
#include "service/ResponseText.h"
#include "service/ServiceAddress.h"

#include <QUrl>

namespace {

// Answers are a few hundred bytes; anything near this is not the service talking.
constexpr qint64 kMaxResponseBytes = 16 * 1024 * 1024;
// A peer that keeps trickling bytes never trips the silence limit; this bounds it anyway.
constexpr int kSoapDeadlineMs = 60000;

} // namespace

QString PostSoap(const QString &endpoint, const QString &envelope) {
    return PostSoapWithin(endpoint, envelope, kSoapTimeLimitMs);
}

QString PostSoapWithin(const QString &endpoint, const QString &envelope, int timeLimitMs) {
    QNetworkRequest request(QUrl(ServiceAddress::base() +
                                 QLatin1String(ServiceProtocol::kEndpointFolder) + endpoint +
                                 QLatin1String(ServiceProtocol::kEndpointSuffix)));
    request.setRawHeader("Content-type", "text/xml;charset=UTF-8");
    const HttpResult result = HttpExchange::run(request, "POST", envelope.toUtf8(),
                                                {timeLimitMs, kSoapDeadlineMs, kMaxResponseBytes});
    if (!result.completed())
        return {};
    return ResponseText(result.contentType, result.body);
}
