#include "ListenAddress.h"

#include <QHostAddress>
#include <QUrl>

namespace {

constexpr auto kLocalhost = QLatin1String("localhost");
constexpr int kHttpPort = 80;

// Addresses compare as addresses, so that "::1" and "0:0:0:0:0:0:0:1" agree; names as names.
bool sameHost(const QString &a, const QString &b) {
    const QHostAddress addressA(a);
    const QHostAddress addressB(b);
    if (!addressA.isNull() && !addressB.isNull())
        return addressA.isEqual(addressB);
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

bool ListenAddress::isLoopback() const {
    return m_host.compare(kLocalhost, Qt::CaseInsensitive) == 0 ||
           QHostAddress(m_host).isLoopback();
}

bool ListenAddress::isWildcard() const {
    const QHostAddress address(m_host);
    return address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6;
}

bool ListenAddress::isNamedBy(std::string_view hostHeader) const {
    QUrl url;
    url.setAuthority(QString::fromLatin1(hostHeader.data(), qsizetype(hostHeader.size())),
                     QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        url.port(kHttpPort) != m_port)
        return false;
    if (isWildcard())
        return true;
    return sameHost(url.host(), m_host) || (isLoopback() && sameHost(url.host(), kLocalhost));
}

QString ListenAddress::url() const {
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_host);
    url.setPort(m_port);
    return url.toString();
}
