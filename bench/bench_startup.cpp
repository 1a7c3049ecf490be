// Time from starting the client process to its first getticket on the wire, as a loopback
// server that timestamps the first request sees it. The first start also writes setws.ini and
// TempImg; later starts find them.
#include "BenchTable.h"
#include "ClientProcess.h"
#include "LoopbackServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kStarts = 7;
constexpr int kWaitLimitMs = 60000;
constexpr int kPollMs = 1;
using SteadyClock = std::chrono::steady_clock;

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    std::atomic<SteadyClock::rep> firstRequestAt{0};
    LoopbackServer server;
    server.server().Post(R"(/RovizeveReravav/sync_connector/ws_chat_due\.php)",
                         [&firstRequestAt](const httplib::Request &, httplib::Response &response) {
                             SteadyClock::rep expected = 0;
                             firstRequestAt.compare_exchange_strong(
                                 expected, SteadyClock::now().time_since_epoch().count());
                             // No ticket: the client then waits a minute before asking again.
                             response.set_content("", "text/xml");
                         });
    server.start();
    const QString url = QString::fromStdString(server.baseUrl());

    ClientProcess client;
    std::vector<double> laterStartsMs;
    double firstStartMs = 0;
    for (int i = 0; i < kStarts; ++i) {
        firstRequestAt = 0;
        const auto startedAt = SteadyClock::now();
        if (!client.start(url, QStringLiteral("01234567890"))) {
            std::fprintf(stderr, "bench_startup: the client did not start\n");
            return 1;
        }
        for (QDeadlineTimer deadline(kWaitLimitMs); firstRequestAt == 0 && !deadline.hasExpired();)
            QThread::msleep(kPollMs);
        client.stop();
        if (firstRequestAt == 0) {
            std::fprintf(stderr, "bench_startup: no getticket arrived\n");
            return 1;
        }
        const double ms =
            std::chrono::duration<double, std::milli>(
                SteadyClock::time_point(SteadyClock::duration(firstRequestAt.load())) - startedAt)
                .count();
        if (i == 0)
            firstStartMs = ms;
        else
            laterStartsMs.push_back(ms);
    }
    std::sort(laterStartsMs.begin(), laterStartsMs.end());
    printRow(QStringLiteral("start-up: to first getticket, first start"), firstStartMs,
             QStringLiteral("ms"));
    printRow(QStringLiteral("start-up: to first getticket, median of %1 later starts")
                 .arg(laterStartsMs.size()),
             laterStartsMs[laterStartsMs.size() / 2], QStringLiteral("ms"));
    return 0;
}
