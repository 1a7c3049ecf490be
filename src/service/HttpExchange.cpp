#include "service/HttpExchange.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QTimer>

#include <memory>

namespace {

int runningExchanges = 0;

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
                             const QByteArray &body, int timeoutMs, qint64 maxBodyBytes) {
    ++runningExchanges;
    const auto leave = qScopeGuard([] { --runningExchanges; });
    // A fresh manager per call: no cookie, cache or connection outlives the exchange.
    QNetworkAccessManager manager;
    std::unique_ptr<QNetworkReply> reply(send(manager, request, method, body));

    bool abandoned = false;
    auto abandon = [&] {
        abandoned = true;
        reply->abort();
    };
    auto tooLong = [maxBodyBytes](qint64 bytes) {
        return maxBodyBytes >= 0 && bytes > maxBodyBytes;
    };

    QTimer silence;
    silence.setSingleShot(true);
    QObject::connect(&silence, &QTimer::timeout, reply.get(), abandon);
    auto activity = [&silence, timeoutMs] { silence.start(timeoutMs); };
    QObject::connect(reply.get(), &QNetworkReply::uploadProgress, &silence, activity);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &silence, activity);
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        const QVariant declared = reply->header(QNetworkRequest::ContentLengthHeader);
        if (declared.isValid() && tooLong(declared.toLongLong()))
            abandon();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        if (tooLong(reply->bytesAvailable()))
            abandon();
    });

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    silence.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    silence.stop();

    HttpResult result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.completed = !abandoned && status.isValid() && arrivedWhole(reply->error());
    if (result.completed) {
        result.status = status.toInt();
        result.reasonPhrase =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
        result.contentType = reply->rawHeader("Content-Type");
        result.body = reply->readAll();
    }
    return result;
}

bool HttpExchange::inProgress() {
    return runningExchanges > 0;
}
