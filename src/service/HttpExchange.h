#pragma once

#include <QByteArray>
#include <QNetworkRequest>

class QIODevice;

// How an exchange ended; every outcome but Completed is a failure for the caller.
enum class HttpOutcome {
    Completed, // the whole answer arrived (the head alone when only the head was wanted)
    Failed,    // the network, the peer or the body's sink broke it off
    Silent,    // nothing moved for the silence limit
    Overdue,   // the deadline passed
    TooLong,   // the body, declared or arrived, passed its cap
};

struct HttpResult {
    HttpOutcome outcome = HttpOutcome::Failed;
    int status = 0;
    QByteArray reasonPhrase;
    QByteArray contentType; // the Content-Type header as received, empty when absent
    QByteArray body;        // empty when the body went to a sink or was not wanted

    bool completed() const { return outcome == HttpOutcome::Completed; }
};

// The bounds of one exchange against a peer that may be hostile or broken, and where its body
// goes.
struct HttpTerms {
    HttpTerms(int silenceMs, int deadlineMs, qint64 maxBodyBytes)
        : silenceMs(silenceMs)
        , deadlineMs(deadlineMs)
        , maxBodyBytes(maxBodyBytes) {}

    int silenceMs;         // abandoned once no byte has moved for this long, whatever the phase
    int deadlineMs;        // abandoned once the whole exchange has lasted this long
    qint64 maxBodyBytes;   // abandoned as soon as the body, declared or arrived, is longer
    bool headOnly = false; // done once the status line and headers are in; the body is not read
    QIODevice *bodySink = nullptr; // takes the body piece by piece instead of HttpResult::body
};

// The one way the client speaks HTTP. Each exchange is synchronous for its caller: a local
// event loop keeps the windows painting while user input waits, and everything (connection,
// cookies) lives for this one call only. Redirects follow the request's redirect policy.
class HttpExchange {
public:
    static HttpResult run(const QNetworkRequest &request, const QByteArray &method,
                          const QByteArray &body, const HttpTerms &terms);

    // True while any exchange runs, so that timers firing inside its event loop can stay out.
    static bool inProgress();
};
