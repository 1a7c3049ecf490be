#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QTimer>

#include <functional>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

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

// The one way the client speaks HTTP: one request, driven by its reply's signals and two
// timers, that reports once through its callback and then deletes itself. Everything
// (connection, cookies) lives for this one exchange only. Redirects follow the request's
// redirect policy. Deleting the exchange before it reports abandons it without a report, so an
// owner that goes away takes its exchanges with it.
class HttpExchange : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const HttpResult &)>;

    // done runs from the event loop, never inside start.
    static HttpExchange *start(const QNetworkRequest &request, const QByteArray &method,
                               const QByteArray &body, const HttpTerms &terms, Done done);
    ~HttpExchange() override;

signals:
    void uploadProgress(qint64 sent, qint64 total);

private:
    HttpExchange(const HttpTerms &terms, Done done);

    void send(const QNetworkRequest &request, const QByteArray &method, const QByteArray &body);
    void takeHead();
    // Moves what has arrived out of Qt's buffer, which lets Qt read on.
    void drain();
    void headArrived();
    void replyFinished();
    // Reports outcome and lets go of the exchange; later signals of the reply change nothing.
    void end(HttpOutcome outcome);

    HttpTerms m_terms;
    Done m_done;
    QNetworkAccessManager *m_manager = nullptr;
    QNetworkReply *m_reply = nullptr;
    QTimer m_silence;
    QTimer m_deadline;
    HttpResult m_result;
    qint64 m_received = 0;
    bool m_ended = false;
};
