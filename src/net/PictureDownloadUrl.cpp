#include "net/PictureDownloadUrl.h"

#include "core/ServiceProtocol.h"
#include "net/ServiceAddress.h"

#include <QUrl>

QString PictureDownloadUrl(const QString &fileName) {
    // The service decodes the query; unencoded, "#" would end the address there and "&" or "+"
    // would change what it reads.
    return ServiceAddress::base() + QLatin1String(ServiceProtocol::kDownloadPath) +
           QLatin1Char('?') + QLatin1String(ServiceProtocol::kDownloadNameParameter) +
           QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}
