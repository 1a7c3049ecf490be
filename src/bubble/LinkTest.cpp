#include "bubble/LinkTest.h"

#include "service/HttpExchange.h"

#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>

namespace {

constexpr qsizetype kMinLinkLength = 12;
constexpr int kProbeTimeoutMs = 5000;
// Only the status text counts, but the body still arrives; the cap ends endless streams.
constexpr qint64 kProbeMaxBodyBytes = 8 * 1024 * 1024;
const QByteArray kProbeSuccess = QByteArrayLiteral("OK");

bool hasWhiteSpace(const QString &text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
}

} // namespace

bool IsLink(const QString &text) {
    QString address = text.toLower();
    // Qt would percent-encode spaces into a valid address, and the desktop cannot open a
    // sentence or several lines however they begin.
    if (address.size() < kMinLinkLength || hasWhiteSpace(address))
        return false;
    if (address.startsWith(QLatin1String("http://")) ||
        address.startsWith(QLatin1String("https://")) || address.startsWith(QLatin1String("www")))
        return true;

    if (!address.startsWith(QLatin1String("http")))
        address.prepend(QLatin1String("http://"));
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;

    const HttpResult result = HttpExchange::run(QNetworkRequest(url), QByteArrayLiteral("GET"), {},
                                                kProbeTimeoutMs, kProbeMaxBodyBytes);
    return result.completed && result.reasonPhrase == kProbeSuccess;
}
