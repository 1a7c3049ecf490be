#include "ProcessStats.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>

#include <ctime>
#include <unistd.h>

namespace {

QByteArray readProcFile(qint64 pid, const char *name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    // /proc files report no size: read them whole in one go.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 statusKiB(const QByteArray &status, const QByteArray &field) {
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

} // namespace

ProcessStats ProcessStats::of(qint64 pid) {
    ProcessStats stats;
    const QByteArray stat = readProcFile(pid, "stat");
    // The command name in parentheses may hold blanks; the fields count from after it.
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return stats;
    const QList<QByteArray> fields = stat.mid(nameEnd + 2).split(' ');
    // utime and stime are fields 14 and 15 of the whole line, 12 and 13 after the name.
    constexpr int kUserTime = 11;
    constexpr int kSystemTime = 12;
    if (fields.size() <= kSystemTime)
        return stats;
    const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    stats.cpuSeconds =
        (fields[kUserTime].toLongLong() + fields[kSystemTime].toLongLong()) / ticksPerSecond;
    const QByteArray status = readProcFile(pid, "status");
    stats.residentKiB = statusKiB(status, "VmRSS");
    stats.peakResidentKiB = statusKiB(status, "VmHWM");
    return stats;
}

ProcessStats ProcessStats::self() {
    ProcessStats stats = of(QCoreApplication::applicationPid());
    // /proc counts in clock ticks of 10 ms; the process clock counts in nanoseconds.
    timespec now{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) == 0)
        stats.cpuSeconds = double(now.tv_sec) + now.tv_nsec / 1e9;
    return stats;
}
