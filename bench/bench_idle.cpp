// The real client at rest: CPU time over a stretch of 2000 ms polling with nothing new and its
// resident memory then; and its peak resident memory once a 10 000-message backlog is shown.
// The first argument shortens the 60 s stretch for quick runs.
#include "BenchTable.h"
#include "ClientProcess.h"
#include "LocalService.h"
#include "ProcessStats.h"
#include "ServiceBacklog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kDefaultIdleSeconds = 60;
constexpr int kBacklog = 10000;
// The first getchat comes 20 s after start; a backlog of ten thousand takes minutes.
constexpr int kReadLimitMs = 20 * 60 * 1000;
// Lets the 500 ms follow-up tick after the last message pass before measuring.
constexpr int kSettleMs = 3000;
const QString kVatNumber = QStringLiteral("01234567890");

int fail(const char *what) {
    std::fprintf(stderr, "bench_idle: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultIdleSeconds;

    {
        LocalService service;
        if (!service.start())
            return fail("brenno-service did not start");
        // One message, so that the client polls at the pace of a recent conversation.
        const ServiceBacklog::Conversation conversation =
            ServiceBacklog::fill(service, kVatNumber, 1);
        ClientProcess client;
        if (conversation.ticketId == 0 || !client.start(service.baseUrl(), kVatNumber))
            return fail("no client or no conversation");
        if (!ServiceBacklog::waitUntilRead(service, conversation, kReadLimitMs))
            return fail("the client never read its message");
        QThread::msleep(kSettleMs);
        const ProcessStats before = ProcessStats::of(client.pid());
        QElapsedTimer clock;
        clock.start();
        QThread::sleep(idleSeconds);
        const ProcessStats after = ProcessStats::of(client.pid());
        const double wallSeconds = clock.nsecsElapsed() / 1e9;
        if (!client.isRunning())
            return fail("the client ended while idle");
        printRow(QStringLiteral("idle: CPU of one core, %1 s of 2000 ms polling").arg(idleSeconds),
                 100.0 * (after.cpuSeconds - before.cpuSeconds) / wallSeconds, QStringLiteral("%"));
        printRow(QStringLiteral("idle: resident memory at rest"), after.residentKiB / 1024.0,
                 QStringLiteral("MiB"));
    }

    LocalService service;
    if (!service.start())
        return fail("brenno-service did not start");
    const ServiceBacklog::Conversation conversation =
        ServiceBacklog::fill(service, kVatNumber, kBacklog);
    ClientProcess client;
    if (conversation.ticketId == 0 || !client.start(service.baseUrl(), kVatNumber))
        return fail("no client or no conversation");
    QElapsedTimer clock;
    clock.start();
    if (!ServiceBacklog::waitUntilRead(service, conversation, kReadLimitMs))
        return fail("the client never read the backlog");
    const double fetchSeconds = clock.nsecsElapsed() / 1e9;
    QThread::msleep(kSettleMs);
    const ProcessStats shown = ProcessStats::of(client.pid());
    printRow(
        QStringLiteral("client: start to last of 10000 messages read (20 s of it the first wait)"),
        fetchSeconds, QStringLiteral("s"));
    printRow(QStringLiteral("client: peak resident memory after 10000 messages"),
             shown.peakResidentKiB / 1024.0, QStringLiteral("MiB"));
    return 0;
}
