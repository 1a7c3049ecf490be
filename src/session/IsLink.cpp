#include "session/IsLink.h"

#include "bubble/LinkTarget.h"

#include <algorithm>

namespace {

constexpr qsizetype kMinLinkLength = 12;

bool hasWhiteSpace(const QString &text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); });
}

} // namespace

LinkCheck IsLink(const QString &text) {
    QString address = text.toLower();
    // Qt would percent-encode spaces into a valid address, and the desktop cannot open a
    // sentence or several lines however they begin.
    if (address.size() < kMinLinkLength || hasWhiteSpace(address))
        return {};
    // Underline only what a click can open, however it begins.
    if (LinkTarget(text).isEmpty())
        return {};
    if (address.startsWith(QLatin1String("http://")) ||
        address.startsWith(QLatin1String("https://")) || address.startsWith(QLatin1String("www")))
        return {true, {}};

    if (!address.startsWith(QLatin1String("http")))
        address.prepend(QLatin1String("http://"));
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    return {false, url};
}
