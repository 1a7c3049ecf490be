#include "service/PictureDownloadUrl.h"

#include "service/ServiceAddress.h"

#include <QUrl>

namespace {

constexpr char kDownloadPath[] = "/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=";

} // namespace

QString PictureDownloadUrl(const QString &fileName) {
    // The service decodes the query; unencoded, "#" would end the address there and "&" or "+"
    // would change what it reads.
    return ServiceAddress::base() + QLatin1String(kDownloadPath) +
           QString::fromLatin1(QUrl::toPercentEncoding(fileName));
}
