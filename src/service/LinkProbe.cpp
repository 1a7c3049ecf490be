#include "service/LinkProbe.h"

#include "service/HttpExchange.h"

#include <QNetworkRequest>

namespace {

// One limit for silence and the whole probe: the window waits on it.
constexpr int kProbeTimeLimitMs = 5000;
// Only the status text counts, but the body still arrives; the cap ends endless streams.
constexpr qint64 kProbeMaxBodyBytes = 8 * 1024 * 1024;
const QByteArray kProbeSuccess = QByteArrayLiteral("OK");

} // namespace

bool ProbeLink(const QUrl &address) {
    const HttpResult result =
        HttpExchange::run(QNetworkRequest(address), "GET", {},
                          {kProbeTimeLimitMs, kProbeTimeLimitMs, kProbeMaxBodyBytes});
    return result.completed() && result.reasonPhrase == kProbeSuccess;
}
