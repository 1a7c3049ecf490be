#pragma once

#include <QByteArray>
#include <QNetworkRequest>

struct HttpResult {
    bool completed = false; // a whole response arrived, whatever its status
    int status = 0;
    QByteArray reasonPhrase;
    QByteArray contentType; // the Content-Type header as received, empty when absent
    QByteArray body;
};

// The one way the client speaks HTTP. Each exchange is synchronous for its caller: a local
// event loop keeps the windows painting while user input waits, and everything (connection,
// cookies) lives for this one call only.
class HttpExchange {
public:
    // timeoutMs: the exchange is abandoned once no byte has moved for this long, whatever the
    // phase (resolving, connecting, sending, waiting, receiving). A body longer than
    // maxBodyBytes (when not negative) abandons it too. An abandoned exchange is not completed.
    static HttpResult run(const QNetworkRequest &request, const QByteArray &method,
                          const QByteArray &body, int timeoutMs, qint64 maxBodyBytes = -1);

    // True while any exchange runs, so that timers firing inside its event loop can stay out.
    static bool inProgress();
};
