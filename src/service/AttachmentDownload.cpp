#include "service/AttachmentDownload.h"

#include "app/LinkFreePath.h"
#include "service/HttpExchange.h"
#include "service/ServiceAddress.h"

#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace {

constexpr char kDownloadPath[] = "/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=";
constexpr int kDownloadSilenceLimitMs = 60000;
// A picture takes seconds even on a slow line; a peer trickling bytes is cut off here.
constexpr int kDownloadDeadlineMs = 300000;
// Pictures are screenshots and photos; a longer body is refused rather than filling the disk.
constexpr qint64 kMaxDownloadBytes = 50 * 1024 * 1024;
constexpr int kHttpOk = 200;

bool isControl(QChar c) {
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

} // namespace

bool DownloadFile(const QString &url, const QString &path) {
    QSaveFile file(path);
    if (!MayWriteTo(path) || !file.open(QIODevice::WriteOnly))
        return false;
    QNetworkRequest request{QUrl(url)};
    // Another host would hand the client anything under the service's name.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    HttpTerms terms(kDownloadSilenceLimitMs, kDownloadDeadlineMs, kMaxDownloadBytes);
    terms.bodySink = &file;
    const HttpResult result = HttpExchange::run(request, "GET", {}, terms);
    // A file not committed vanishes with its QSaveFile and leaves the earlier one.
    return result.completed() && result.status == kHttpOk && file.commit();
}

bool IsPlainFileName(const QString &name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == u'/' || c == u'\\' || c == u':' || isControl(c);
    });
}

QString PictureDownloadUrl(const QString &fileName) {
    // The service decodes the query; unencoded, "#" would end the address there and "&" or "+"
    // would change what it reads.
    return ServiceAddress::base() + QLatin1String(kDownloadPath) +
           QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}
