// Fetching a backlog of N messages from brenno-service on loopback: the chat session with its
// real service adapter against the floor, the same 2N + 1 exchanges made by a bare loop over
// the same HTTP stack.
#include "BenchTable.h"
#include "ChatFakes.h"
#include "EventLoopWait.h"
#include "LocalService.h"
#include "ServiceBacklog.h"

#include "core/AppState.h"
#include "core/Clock.h"
#include "core/ServiceProtocol.h"
#include "net/Envelopes.h"
#include "net/HttpExchange.h"
#include "net/ServiceAddress.h"
#include "session/ChatSession.h"
#include "session/LiveChatService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkRequest>
#include <QUrl>

#include <cstdio>

namespace {

constexpr int kTimeLimitMs = 30000;
constexpr qint64 kMaxAnswerBytes = 16 * 1024 * 1024;
constexpr int kSizes[] = {1000, 10000};

QByteArray post(const char *endpoint, const QString &envelope) {
    QNetworkRequest request(
        QUrl(ServiceAddress::base() + QLatin1String(ServiceProtocol::kEndpointFolder) +
             QLatin1String(endpoint) + QLatin1String(ServiceProtocol::kEndpointSuffix)));
    request.setRawHeader("Content-type", "text/xml;charset=UTF-8");
    return answerOf<HttpResult>([&](auto done) {
               HttpExchange::start(request, "POST", envelope.toUtf8(),
                                   {kTimeLimitMs, kTimeLimitMs, kMaxAnswerBytes}, done);
           })
        .body;
}

// The message id of a getchat answer by plain search, 0 when it delivers none.
qint32 deliveredId(const QByteArray &answer) {
    if (!answer.contains("<status>OK</status>"))
        return 0;
    const qsizetype start = answer.indexOf("<id>");
    const qsizetype end = answer.indexOf("</id>", start);
    return start < 0 || end < 0 ? 0 : answer.mid(start + 4, end - start - 4).toInt();
}

// The floor: getchat and setreadchat until an answer delivers nothing; the exchanges made.
int bareLoop(qint32 ticketId, const QString &vatNumber) {
    int exchanges = 0;
    qint32 letto = 0;
    for (;;) {
        const qint32 id = deliveredId(
            post(ServiceProtocol::kEndpointTre, BuildGetChat(ticketId, letto, 0, vatNumber)));
        ++exchanges;
        if (id <= 0)
            return exchanges;
        post(ServiceProtocol::kEndpointDue, BuildSetReadChat(id));
        ++exchanges;
        letto = id;
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    double perMessageAt[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const int count = kSizes[i];
        LocalService service;
        if (!service.start()) {
            std::fprintf(stderr, "bench_backlog: brenno-service did not start\n");
            return 1;
        }
        qputenv("BRENNO_SERVICE_URL", service.baseUrl().toUtf8());
        const QString vatNumber = QStringLiteral("0123456789%1").arg(i);
        const qint32 ticketId = ServiceBacklog::fill(service, vatNumber, count).ticketId;
        if (ticketId == 0) {
            std::fprintf(stderr, "bench_backlog: the service refused the backlog\n");
            return 1;
        }

        QElapsedTimer clock;
        clock.start();
        const int exchanges = bareLoop(ticketId, vatNumber);
        const double floorUs = clock.nsecsElapsed() / 1000.0 / count;
        if (exchanges != 2 * count + 1)
            std::fprintf(stderr, "bench_backlog: the floor made %d exchanges\n", exchanges);

        AppState::instance().VatNumber = vatNumber;
        LiveChatService live;
        FakeChatView view;
        FakePollTimer timer;
        ChatSession session(live, view, timer, Clock::system());
        session.InizializzaChat();
        runEventsUntil([&timer] { return timer.interval != 0; }); // the ticket's pace is set
        clock.restart();
        // A hundred messages a run; the follow-up ticks fetch the rest, and the last one ends on
        // an answer without a message, which sets the pace again.
        for (int tick = 0; tick <= count / 100 + 1; ++tick) {
            timer.interval = 0;
            session.onTimerTick();
            runEventsUntil([&timer] { return timer.interval != 0; });
            if (timer.interval != 500)
                break;
        }
        const double sessionUs = clock.nsecsElapsed() / 1000.0 / count;
        if (int(view.messages.size()) != count)
            std::fprintf(stderr, "bench_backlog: the session showed %d messages\n",
                         int(view.messages.size()));
        perMessageAt[i] = sessionUs;

        const QString n = QStringLiteral("N=%1").arg(count);
        printRow(QStringLiteral("backlog: session, ") + n, sessionUs, QStringLiteral("us/message"));
        printRow(QStringLiteral("backlog: bare HTTP floor, ") + n, floorUs,
                 QStringLiteral("us/message"));
        printRow(QStringLiteral("backlog: session / floor, ") + n, sessionUs / floorUs,
                 QStringLiteral("ratio"));
    }
    printRow(QStringLiteral("backlog: session per message, N=10000 / N=1000"),
             perMessageAt[1] / perMessageAt[0], QStringLiteral("ratio"));
    return 0;
}
