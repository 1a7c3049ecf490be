// Base64.Encode and UrlEncode as the upload uses them (a file's 1 MiB, then its Base64 lines),
// against Qt's own encoders on the same bytes: the best of several rounds, in MiB per second of
// input.
#include "BenchTable.h"

#include "net/Base64.h"
#include "net/UrlEncode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

constexpr qsizetype kInputBytes = 1024 * 1024;
constexpr int kRounds = 20;

// Keeps the compiler from dropping work whose result nobody reads.
volatile qsizetype sink = 0;

double miBPerSecond(qint64 ns) {
    return (double(kInputBytes) / (1024 * 1024)) / (double(ns) / 1e9);
}

// Rounds of ours and Qt's take turns, so that a busy machine slows both alike.
void compare(const QString &what, const std::function<qsizetype()> &ours,
             const std::function<qsizetype()> &qts) {
    qint64 bestOurs = std::numeric_limits<qint64>::max();
    qint64 bestQts = std::numeric_limits<qint64>::max();
    for (int round = 0; round < kRounds; ++round) {
        for (auto [encode, best] : {std::pair{&ours, &bestOurs}, std::pair{&qts, &bestQts}}) {
            QElapsedTimer clock;
            clock.start();
            sink = sink + (*encode)();
            *best = std::min(*best, clock.nsecsElapsed());
        }
    }
    printRow(QStringLiteral("encoders: %1").arg(what), miBPerSecond(bestOurs),
             QStringLiteral("MiB/s"));
    printRow(QStringLiteral("encoders: Qt's counterpart of %1").arg(what), miBPerSecond(bestQts),
             QStringLiteral("MiB/s"));
    printRow(QStringLiteral("encoders: %1 / Qt").arg(what), double(bestQts) / double(bestOurs),
             QStringLiteral("ratio"));
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QByteArray bytes(kInputBytes, Qt::Uninitialized);
    QRandomGenerator generator(1252);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    const QByteArray lines = Base64().Encode(bytes);

    compare(
        QStringLiteral("Base64.Encode"), [&] { return Base64().Encode(bytes).size(); },
        [&] { return bytes.toBase64().size(); });
    compare(
        QStringLiteral("UrlEncode"), [&] { return UrlEncode(lines).size(); },
        [&] { return QUrl::toPercentEncoding(lines).size(); });
    return 0;
}
