#include "BenchTable.h"

#include <cstdio>

void printRow(const QString &what, double value, const QString &unit) {
    std::printf("%s | %.3f | %s\n", qPrintable(what), value, qPrintable(unit));
    std::fflush(stdout);
}
