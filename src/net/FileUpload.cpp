#include "net/FileUpload.h"

#include "core/ServiceProtocol.h"
#include "net/Base64.h"
#include "net/HttpExchange.h"
#include "net/RefusedRedirect.h"
#include "net/ResponseText.h"
#include "net/ServiceAddress.h"
#include "net/UrlEncode.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

#include <memory>

namespace {

// The upload allows 60 s per send or receive and nominally 600 s to resolve and connect. Qt has
// one limit on silence for all phases; the system gives up connecting after about two minutes
// anyway, so 60 s bounds every phase.
constexpr int kUploadSilenceLimitMs = 60000;
// A screenshot takes seconds even on a slow line; a peer trickling bytes is cut off here.
constexpr int kUploadDeadlineMs = 300000;
// The answer is not interpreted; anything this long is not the service talking.
constexpr qint64 kMaxAnswerBytes = 1024 * 1024;

// The busy cursor shows for as long as the exchange lives, however it ends.
std::shared_ptr<void> busyCursor() {
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    return std::shared_ptr<void>(nullptr, [](void *) { QGuiApplication::restoreOverrideCursor(); });
}

} // namespace

HttpExchange *UploadFile(const QString &path, std::function<void(const UploadAnswer &)> done) {
    QFile file(path);
    const QByteArray encoded =
        file.open(QIODevice::ReadOnly) ? Base64().Encode(file.readAll()) : QByteArray();
    if (encoded.isEmpty()) {
        done({QLatin1String(kUploadNoFileData), 0});
        return nullptr;
    }

    QNetworkRequest request(QUrl(ServiceAddress::base() +
                                 QLatin1String(ServiceProtocol::kUploadPath) + QLatin1Char('?') +
                                 QLatin1String(ServiceProtocol::kUploadNameParameter) +
                                 QLatin1Char('=') + QFileInfo(path).fileName()));
    request.setRawHeader("Content-type", "application/x-www-form-urlencoded");
    // A redirect would hand the customer's picture to another address.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    const QByteArray body = "documento=" + UrlEncode(encoded);
    return HttpExchange::start(
        request, "POST", body, {kUploadSilenceLimitMs, kUploadDeadlineMs, kMaxAnswerBytes},
        [done = std::move(done), url = request.url(), cursor = busyCursor()](const HttpResult &r) {
            if (!r.completed() || RefusedRedirect(url, r))
                return done({});
            done({ResponseText(r.contentType, r.body), r.status});
        });
}
