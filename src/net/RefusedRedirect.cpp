#include "net/RefusedRedirect.h"

#include "core/DiagnosticLog.h"
#include "net/HttpExchange.h"

namespace {
constexpr int kFirstRedirect = 300;
constexpr int kLastRedirect = 399;
} // namespace

bool RefusedRedirect(const QUrl &requested, const HttpResult &result) {
    if (result.status < kFirstRedirect || result.status > kLastRedirect)
        return false;
    WriteLog(QStringLiteral("Rinvio %1 non seguito: %2")
                 .arg(result.status)
                 .arg(requested.toString(QUrl::RemoveQuery)));
    return true;
}
