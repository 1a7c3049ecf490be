#include "service/FileUpload.h"

#include "core/ServiceProtocol.h"
#include "service/Base64.h"
#include "service/HttpExchange.h"
#include "service/ResponseText.h"
#include "service/ServiceAddress.h"
#include "service/UrlEncode.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QUrl>

namespace {

// The upload allows 60 s per send or receive and nominally 600 s to resolve and connect. Qt has
// one limit on silence for all phases; the system gives up connecting after about two minutes
// anyway, so 60 s bounds every phase and never blocks the window for ten minutes.
constexpr int kUploadSilenceLimitMs = 60000;
// A screenshot takes seconds even on a slow line; a peer trickling bytes is cut off here.
constexpr int kUploadDeadlineMs = 300000;
// The answer is not interpreted; anything this long is not the service talking.
constexpr qint64 kMaxAnswerBytes = 1024 * 1024;
} // namespace

QString UploadFile(const QString &path, int *httpStatus) {
    if (httpStatus)
        *httpStatus = 0;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });

    QFile file(path);
    const QByteArray encoded =
        file.open(QIODevice::ReadOnly) ? Base64().Encode(file.readAll()) : QByteArray();
    if (encoded.isEmpty())
        return QLatin1String(kUploadNoFileData);

    QNetworkRequest request(QUrl(ServiceAddress::base() +
                                 QLatin1String(ServiceProtocol::kUploadPath) + QLatin1Char('?') +
                                 QLatin1String(ServiceProtocol::kUploadNameParameter) +
                                 QLatin1Char('=') + QFileInfo(path).fileName()));
    request.setRawHeader("Content-type", "application/x-www-form-urlencoded");
    const QByteArray body = "documento=" + UrlEncode(encoded);
    const HttpResult result = HttpExchange::run(
        request, "POST", body, {kUploadSilenceLimitMs, kUploadDeadlineMs, kMaxAnswerBytes});
    if (!result.completed())
        return {};
    if (httpStatus)
        *httpStatus = result.status;
    return ResponseText(result.contentType, result.body);
}
