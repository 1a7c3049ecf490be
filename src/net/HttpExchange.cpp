#include "net/HttpExchange.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

namespace {

// Qt stops reading the socket while this much of the answer waits for us, so a peer that sends
// faster than the event loop takes fills the kernel's buffers, not the client's memory.
constexpr qint64 kReadBufferBytes = 256 * 1024;

// Qt reports an HTTP error status as a reply error too; those replies still arrived whole.
bool arrivedWhole(QNetworkReply::NetworkError error) {
    if (error == QNetworkReply::NoError)
        return true;
    return error >= QNetworkReply::ContentAccessDenied &&
           error != QNetworkReply::ContentReSendError && error != QNetworkReply::ProtocolFailure;
}

} // namespace

HttpExchange *HttpExchange::start(const QNetworkRequest &request, const QByteArray &method,
                                  const QByteArray &body, const HttpTerms &terms, Done done) {
    auto *exchange = new HttpExchange(terms, std::move(done));
    exchange->send(request, method, body);
    return exchange;
}

HttpExchange::HttpExchange(const HttpTerms &terms, Done done)
    : m_terms(terms)
    , m_done(std::move(done))
    // A manager of its own: no cookie, cache or connection outlives the exchange.
    , m_manager(new QNetworkAccessManager(this)) {
    m_silence.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] { end(HttpOutcome::Silent); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { end(HttpOutcome::Overdue); });
}

HttpExchange::~HttpExchange() {
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        if (!m_reply->isFinished())
            m_reply->abort();
    }
}

void HttpExchange::send(const QNetworkRequest &request, const QByteArray &method,
                        const QByteArray &body) {
    if (method == "GET")
        m_reply = m_manager->get(request);
    else if (method == "POST")
        m_reply = m_manager->post(request, body);
    else
        m_reply = m_manager->sendCustomRequest(request, method, body);
    m_reply->setReadBufferSize(kReadBufferBytes);
    // A request with a body starts later, in the event loop, and Qt's network thread misses a
    // limit set before it started: without it, a flood fills memory while the loop is busy.
    connect(m_reply, &QNetworkReply::socketStartedConnecting, this,
            [this] { m_reply->setReadBufferSize(kReadBufferBytes); });
    const auto activity = [this] { m_silence.start(m_terms.silenceMs); };
    connect(m_reply, &QNetworkReply::uploadProgress, this,
            [this, activity](qint64 sent, qint64 all) {
                activity();
                emit uploadProgress(sent, all);
            });
    connect(m_reply, &QNetworkReply::downloadProgress, this, activity);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpExchange::headArrived);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpExchange::drain);
    connect(m_reply, &QNetworkReply::finished, this, &HttpExchange::replyFinished);
    m_silence.start(m_terms.silenceMs);
    m_deadline.start(m_terms.deadlineMs);
    // The callback must never run inside start; a reply finished this early reports later.
    if (m_reply->isFinished())
        QMetaObject::invokeMethod(this, &HttpExchange::replyFinished, Qt::QueuedConnection);
}

void HttpExchange::takeHead() {
    m_result.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_result.reasonPhrase =
        m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    m_result.contentType = m_reply->rawHeader("Content-Type");
}

void HttpExchange::drain() {
    while (!m_ended && m_reply->bytesAvailable() > 0) {
        const QByteArray piece = m_reply->readAll();
        m_received += piece.size();
        if (m_received > m_terms.maxBodyBytes)
            return end(HttpOutcome::TooLong);
        if (!m_terms.bodySink)
            m_result.body += piece;
        else if (m_terms.bodySink->write(piece) != piece.size())
            return end(HttpOutcome::Failed);
    }
}

void HttpExchange::headArrived() {
    if (m_terms.headOnly) {
        if (!m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
            return;
        takeHead();
        return end(HttpOutcome::Completed);
    }
    const QVariant declared = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (declared.isValid() && declared.toLongLong() > m_terms.maxBodyBytes)
        end(HttpOutcome::TooLong);
}

void HttpExchange::replyFinished() {
    if (m_ended)
        return;
    const bool answered = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() &&
                          arrivedWhole(m_reply->error());
    if (answered)
        drain();
    if (m_ended)
        return;
    if (answered)
        takeHead();
    end(answered ? HttpOutcome::Completed : HttpOutcome::Failed);
}

void HttpExchange::end(HttpOutcome outcome) {
    if (m_ended)
        return;
    m_ended = true;
    m_silence.stop();
    m_deadline.stop();
    // The reply is aborted as the exchange is deleted, outside the reply's own signals.
    disconnect(m_reply, nullptr, this, nullptr);
    HttpResult result;
    if (outcome == HttpOutcome::Completed)
        result = std::move(m_result);
    result.outcome = outcome;
    const QPointer<HttpExchange> alive(this);
    const Done done = std::move(m_done);
    if (done)
        done(result);
    if (alive)
        deleteLater();
}
