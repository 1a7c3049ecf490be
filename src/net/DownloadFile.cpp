#include "net/DownloadFile.h"

#include "core/LinkFreePath.h"
#include "net/HttpExchange.h"

#include <QSaveFile>
#include <QUrl>

namespace {

constexpr int kDownloadSilenceLimitMs = 60000;
// A picture takes seconds even on a slow line; a peer trickling bytes is cut off here.
constexpr int kDownloadDeadlineMs = 300000;
// Pictures are screenshots and photos; a longer body is refused rather than filling the disk.
constexpr qint64 kMaxDownloadBytes = 50 * 1024 * 1024;
constexpr int kHttpOk = 200;

} // namespace

HttpExchange *DownloadFile(const QString &url, const QString &path,
                           std::function<void(bool stored)> done) {
    auto file = std::make_unique<QSaveFile>(path);
    if (!MayWriteTo(path) || !file->open(QIODevice::WriteOnly)) {
        done(false);
        return nullptr;
    }
    QNetworkRequest request{QUrl(url)};
    // Another host would hand the client anything under the service's name.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    HttpTerms terms(kDownloadSilenceLimitMs, kDownloadDeadlineMs, kMaxDownloadBytes);
    terms.bodySink = file.get();
    QSaveFile *sink = file.get();
    HttpExchange *exchange = HttpExchange::start(
        request, "GET", {}, terms, [sink, done = std::move(done)](const HttpResult &result) {
            done(result.completed() && result.status == kHttpOk && sink->commit());
        });
    // A file not committed vanishes with its QSaveFile, and with the exchange, and leaves the
    // earlier one.
    file.release()->setParent(exchange);
    return exchange;
}
