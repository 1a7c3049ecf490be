// A hostile service answers a getchat with 1 GiB as fast as loopback carries it, while the
// client's event loop stalls once for 500 ms, as under a long paint: how far the client's
// resident memory peaks above where it stood, and how long it takes to give the answer up.
#include "BenchTable.h"
#include "EventLoopWait.h"
#include "LoopbackServer.h"
#include "ProcessStats.h"

#include "core/ServiceProtocol.h"
#include "net/SoapTransport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

namespace {

constexpr size_t kFloodBytes = size_t(1) << 30;
constexpr int kStallMs = 500;

// Linux starts the peak (VmHWM) afresh from the current resident size.
bool restartPeak() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    LoopbackServer peer;
    peer.server().Post(".*", [](const httplib::Request &, httplib::Response &response) {
        // A type httplib leaves uncompressed, so that the whole gigabyte crosses the wire.
        response.set_chunked_content_provider("application/octet-stream",
                                              [](size_t offset, httplib::DataSink &sink) {
                                                  static const std::string mib(1 << 20, 'a');
                                                  if (offset < kFloodBytes)
                                                      return sink.write(mib.data(), mib.size());
                                                  sink.done();
                                                  return true;
                                              });
    });
    peer.start();
    qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(peer.baseUrl()));
    QTimer::singleShot(50, [] { QThread::msleep(kStallMs); });

    if (!restartPeak()) {
        fprintf(stderr, "bench_flood: /proc/self/clear_refs cannot be written\n");
        return 1;
    }
    const qint64 before = ProcessStats::self().residentKiB;
    QElapsedTimer clock;
    clock.start();
    const QString answer = answerOf<QString>([](auto done) {
        PostSoap(QLatin1String(ServiceProtocol::kEndpointTre), QStringLiteral("<x/>"), done);
    });
    const qint64 elapsedMs = clock.elapsed();
    const qint64 growthKiB = ProcessStats::self().peakResidentKiB - before;
    if (!answer.isEmpty()) {
        fprintf(stderr, "bench_flood: the flood was taken as an answer\n");
        return 1;
    }
    printRow(QStringLiteral("flood: peak memory growth, 1 GiB answer against the SOAP cap"),
             growthKiB / 1024.0, QStringLiteral("MiB"));
    printRow(QStringLiteral("flood: time to give the answer up"), double(elapsedMs),
             QStringLiteral("ms"));
    return 0;
}
