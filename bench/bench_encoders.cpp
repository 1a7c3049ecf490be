// Base64.Encode and UrlEncode as the upload uses them (a file's 1 MiB, then its Base64 lines),
// against Qt's own encoders on the same bytes: the best of several rounds, in MiB per second of
// input.
#include "BenchTable.h"

#include "service/Base64.h"
#include "service/UrlEncode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

constexpr qsizetype kInputBytes = 1024 * 1024;
constexpr int kRounds = 10;

// Keeps the compiler from dropping work whose result nobody reads.
volatile qsizetype sink = 0;

double bestMiBPerSecond(const std::function<qsizetype()> &encode) {
    qint64 bestNs = std::numeric_limits<qint64>::max();
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        sink = sink + encode();
        bestNs = std::min(bestNs, clock.nsecsElapsed());
    }
    return (double(kInputBytes) / (1024 * 1024)) / (double(bestNs) / 1e9);
}

void compare(const QString &what, double ours, double qts) {
    printRow(QStringLiteral("encoders: %1").arg(what), ours, QStringLiteral("MiB/s"));
    printRow(QStringLiteral("encoders: Qt's counterpart of %1").arg(what), qts,
             QStringLiteral("MiB/s"));
    printRow(QStringLiteral("encoders: %1 / Qt").arg(what), ours / qts, QStringLiteral("ratio"));
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QByteArray bytes(kInputBytes, Qt::Uninitialized);
    QRandomGenerator generator(1252);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    const QByteArray lines = Base64().Encode(bytes);

    compare(QStringLiteral("Base64.Encode"),
            bestMiBPerSecond([&] { return Base64().Encode(bytes).size(); }),
            bestMiBPerSecond([&] { return bytes.toBase64().size(); }));
    compare(QStringLiteral("UrlEncode"), bestMiBPerSecond([&] { return UrlEncode(lines).size(); }),
            bestMiBPerSecond([&] { return QUrl::toPercentEncoding(lines).size(); }));
    return 0;
}
