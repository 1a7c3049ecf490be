#include "service/FileUpload.h"

#include "app/Windows1252.h"
#include "service/Base64.h"
#include "service/HttpExchange.h"
#include "service/ResponseText.h"
#include "service/ServiceAddress.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QUrl>

#include <algorithm>

namespace {

constexpr char kUploadPath[] = "/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=";
// The upload allows 60 s per send or receive and nominally 600 s to resolve and connect. Qt has
// one limit on silence for all phases; the system gives up connecting after about two minutes
// anyway, so 60 s bounds every phase and never blocks the window for ten minutes.
constexpr int kUploadSilenceLimitMs = 60000;
// A screenshot takes seconds even on a slow line; a peer trickling bytes is cut off here.
constexpr int kUploadDeadlineMs = 300000;
// The answer is not interpreted; anything this long is not the service talking.
constexpr qint64 kMaxAnswerBytes = 1024 * 1024;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool passesUnchanged(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

QString UploadFile(const QString &path, int *httpStatus) {
    if (httpStatus)
        *httpStatus = 0;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });

    const QString encoded = Base64().Encode(ReadFileBinary(path));
    if (encoded.isEmpty())
        return QLatin1String(kUploadNoFileData);

    QNetworkRequest request(
        QUrl(ServiceAddress::base() + QLatin1String(kUploadPath) + SplitPath(path).first));
    request.setRawHeader("Content-type", "application/x-www-form-urlencoded");
    const QByteArray body = "documento=" + Windows1252::encode(UrlEncode(encoded));
    const HttpResult result = HttpExchange::run(
        request, "POST", body, {kUploadSilenceLimitMs, kUploadDeadlineMs, kMaxAnswerBytes});
    if (!result.completed())
        return {};
    if (httpStatus)
        *httpStatus = result.status;
    return ResponseText(result.contentType, result.body);
}

QString UrlEncode(const QString &text) {
    QString out;
    out.reserve(text.size() * 3);
    for (const QChar c : text) {
        const char16_t unicode = c.unicode();
        if (passesUnchanged(unicode)) {
            out += c;
            continue;
        }
        uchar code = Windows1252::codeOf(unicode);
        if (code == '?' && unicode != u'?') {
            out += c; // outside the code page
            continue;
        }
        // Codes 1 and 2 share the encodings of "%" and "+", as the service has always seen.
        if (code == 1)
            code = '%';
        else if (code == 2)
            code = '+';
        if (code == ' ') {
            out += u'+';
            continue;
        }
        out += u'%';
        out += QLatin1Char(kHexDigits[code >> 4]);
        out += QLatin1Char(kHexDigits[code & 0x0F]);
    }
    return out;
}

QPair<QString, QString> SplitPath(const QString &path) {
    const qsizetype nameStart = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/')) + 1;
    return {path.mid(nameStart), path.left(nameStart)};
}

QString ReadFileBinary(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Windows1252::decode(file.readAll());
}
