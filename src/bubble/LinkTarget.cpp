#include "bubble/LinkTarget.h"

QUrl LinkTarget(const QString &shownText) {
    const QString lower = shownText.toLower();
    const bool hasWebScheme =
        lower.startsWith(QLatin1String("http://")) || lower.startsWith(QLatin1String("https://"));
    if (!hasWebScheme && lower.contains(QLatin1String("://")))
        return {};
    // Tolerant: what a browser's address bar takes ("|", "{", "^", a lone "%") is encoded.
    const QUrl url(hasWebScheme ? shownText : QLatin1String("http://") + shownText,
                   QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}
