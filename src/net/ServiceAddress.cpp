#include "net/ServiceAddress.h"

#include <QtGlobal>

namespace {
constexpr char kDefaultServiceAddress[] = "http://assistenza.quintaro.it";
}

namespace ServiceAddress {

QString base() {
    QString address = qEnvironmentVariable("BRENNO_SERVICE_URL");
    if (address.isEmpty())
        address = QString::fromLatin1(kDefaultServiceAddress);
    while (address.endsWith(u'/'))
        address.chop(1);
    return address;
}

} // namespace ServiceAddress
