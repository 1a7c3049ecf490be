#include "service/HttpExchange.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QTimer>

#include <memory>

namespace {

int runningExchanges = 0;
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

QNetworkReply *send(QNetworkAccessManager &manager, const QNetworkRequest &request,
                    const QByteArray &method, const QByteArray &body) {
    if (method == "GET")
        return manager.get(request);
    if (method == "POST")
        return manager.post(request, body);
    return manager.sendCustomRequest(request, method, body);
}

} // namespace

HttpResult HttpExchange::run(const QNetworkRequest &request, const QByteArray &method,
                             const QByteArray &body, const HttpTerms &terms) {
    ++runningExchanges;
    const auto leave = qScopeGuard([] { --runningExchanges; });
    // A fresh manager per call: no cookie, cache or connection outlives the exchange.
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(send(manager, request, method, body));
    reply->setReadBufferSize(kReadBufferBytes);
    // A request with a body starts later, in the event loop, and Qt's network thread misses a
    // limit set before it started: without it, a flood fills memory while the loop is busy.
    QObject::connect(reply.get(), &QNetworkReply::socketStartedConnecting, reply.get(),
                     [started = reply.get()] { started->setReadBufferSize(kReadBufferBytes); });

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    HttpResult result;
    bool ended = false; // the outcome was decided before Qt finished the reply
    // The reply is aborted once the loop is left: Qt still reports on it inside its own signals.
    auto end = [&](HttpOutcome outcome) {
        if (ended)
            return;
        ended = true;
        result.outcome = outcome;
        loop.quit();
    };
    auto takeHead = [&] {
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.reasonPhrase =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
        result.contentType = reply->rawHeader("Content-Type");
    };
    qint64 received = 0;
    // Moves what has arrived out of Qt's buffer, which lets Qt read on.
    auto drain = [&] {
        while (!ended && reply->bytesAvailable() > 0) {
            const QByteArray piece = reply->readAll();
            received += piece.size();
            if (received > terms.maxBodyBytes)
                return end(HttpOutcome::TooLong);
            if (!terms.bodySink)
                result.body += piece;
            else if (terms.bodySink->write(piece) != piece.size())
                return end(HttpOutcome::Failed);
        }
    };

    QTimer silence;
    silence.setSingleShot(true);
    QObject::connect(&silence, &QTimer::timeout, reply.get(), [&] { end(HttpOutcome::Silent); });
    auto activity = [&silence, &terms] { silence.start(terms.silenceMs); };
    QObject::connect(reply.get(), &QNetworkReply::uploadProgress, &silence, activity);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &silence, activity);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&] { end(HttpOutcome::Overdue); });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        if (terms.headOnly) {
            if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
                return;
            takeHead();
            return end(HttpOutcome::Completed);
        }
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid() && declared.toLongLong() > terms.maxBodyBytes)
            end(HttpOutcome::TooLong);
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), drain);

    silence.start(terms.silenceMs);
    deadline.start(terms.deadlineMs);
    if (!reply->isFinished() && !ended)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    silence.stop();
    deadline.stop();

    if (ended) {
        reply->abort();
    } else {
        const bool answered =
            reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() &&
            arrivedWhole(reply->error());
        if (answered)
            drain();
        if (!ended) {
            result.outcome = answered ? HttpOutcome::Completed : HttpOutcome::Failed;
            takeHead();
        }
    }
    if (result.completed())
        return result;
    HttpResult failed;
    failed.outcome = result.outcome;
    return failed;
}

bool HttpExchange::inProgress() {
    return runningExchanges > 0;
}
