#pragma once

#include "app/AccessReader.h"

// Reads through the brenno-dbread helper beside the executable, so that a damaged file that
// crashes or hangs libmdb costs the helper, not the client: a crash, a time-out or output
// that is not the helper's counts as an unreadable file.
class DbReadProcess : public AccessReader {
public:
    static constexpr int kTimeLimitMs = 10000;

    explicit DbReadProcess(QString program = defaultProgram(), int timeLimitMs = kTimeLimitMs);

    FirstValue readFirstValue(const QString &path, const QString &table,
                              const QString &column) override;

    static QString defaultProgram();

private:
    QString m_program;
    int m_timeLimitMs;
};
