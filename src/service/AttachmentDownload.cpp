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
// Pictures are screenshots and photos; a longer body is refused rather than filling memory.
constexpr qint64 kMaxDownloadBytes = 50 * 1024 * 1024;
constexpr int kHttpOk = 200;

} // namespace

bool DownloadFile(const QString &url, const QString &path) {
    const HttpResult result = HttpExchange::run(QNetworkRequest(QUrl(url)), "GET", {},
                                                kDownloadSilenceLimitMs, kMaxDownloadBytes);
    if (!result.completed || result.status != kHttpOk)
        return false;
    QSaveFile file(path);
    if (!MayWriteTo(path) || !file.open(QIODevice::WriteOnly))
        return false;
    file.write(result.body);
    return file.commit();
}

bool IsPlainFileName(const QString &name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20;
    });
}

QString PictureDownloadUrl(const QString &fileName) {
    return ServiceAddress::base() + QLatin1String(kDownloadPath) + fileName;
}
