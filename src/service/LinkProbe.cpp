#include "service/LinkProbe.h"

#include "service/HttpExchange.h"

#include <QNetworkRequest>

namespace {

constexpr int kProbeTimeoutMs = 5000;
// Only the status text counts, but the body still arrives; the cap ends endless streams.
constexpr qint64 kProbeMaxBodyBytes = 8 * 1024 * 1024;
const QByteArray kProbeSuccess = QByteArrayLiteral("OK");

} // namespace

bool ProbeLink(const QUrl &address) {
    const HttpResult result = HttpExchange::run(QNetworkRequest(address), QByteArrayLiteral("GET"),
                                                {}, kProbeTimeoutMs, kProbeMaxBodyBytes);
    return result.completed && result.reasonPhrase == kProbeSuccess;
}
