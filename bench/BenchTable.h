#pragma once

#include <QString>

// One row of the benchmark table on standard output: "what | value | unit". bench/run lines
// the rows of every program up into one table.
void printRow(const QString &what, double value, const QString &unit);
