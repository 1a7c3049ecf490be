#include "net/SoapTransport.h"

#include "core/ServiceProtocol.h"
#include "net/HttpExchange.h"
#include "net/RefusedRedirect.h"
#include "net/ResponseText.h"
#include "net/ServiceAddress.h"

#include <QUrl>

namespace {

// Answers are a few hundred bytes; anything near this is not the service talking.
constexpr qint64 kMaxResponseBytes = 16 * 1024 * 1024;
// A peer that keeps trickling bytes never trips the silence limit; this bounds it anyway.
constexpr int kSoapDeadlineMs = 60000;

} // namespace

HttpExchange *PostSoap(const QString &endpoint, const QString &envelope, SoapAnswer done) {
    return PostSoapWithin(endpoint, envelope, kSoapTimeLimitMs, std::move(done));
}

HttpExchange *PostSoapWithin(const QString &endpoint, const QString &envelope, int timeLimitMs,
                             SoapAnswer done) {
    QNetworkRequest request(QUrl(ServiceAddress::base() +
                                 QLatin1String(ServiceProtocol::kEndpointFolder) + endpoint +
                                 QLatin1String(ServiceProtocol::kEndpointSuffix)));
    request.setRawHeader("Content-type", "text/xml;charset=UTF-8");
    // A redirect would post the customer's VAT number and messages to another address.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return HttpExchange::start(
        request, "POST", envelope.toUtf8(), {timeLimitMs, kSoapDeadlineMs, kMaxResponseBytes},
        [done = std::move(done), url = request.url()](const HttpResult &result) {
            if (!result.completed() || RefusedRedirect(url, result))
                return done({});
            done(ResponseText(result.contentType, result.body));
        });
}
