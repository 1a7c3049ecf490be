#include "net/LinkProbe.h"

#include "net/HttpExchange.h"

#include <QNetworkRequest>

namespace {

// One limit for silence and the whole probe: the message waits on it.
constexpr int kProbeTimeLimitMs = 5000;
const QByteArray kProbeSuccess = QByteArrayLiteral("OK");

} // namespace

HttpExchange *ProbeLink(const QUrl &address, std::function<void(bool answersOk)> done) {
    QNetworkRequest request(address);
    // The answer of this address counts, not another's; HTTP/2 has no status text at all.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    HttpTerms terms(kProbeTimeLimitMs, kProbeTimeLimitMs, /*maxBodyBytes=*/0);
    terms.headOnly = true;
    return HttpExchange::start(request, "GET", {}, terms,
                               [done = std::move(done)](const HttpResult &result) {
                                   done(result.completed() && result.reasonPhrase == kProbeSuccess);
                               });
}
