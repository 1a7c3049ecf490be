#pragma once

#include <QtGlobal>

// What Linux reports about a process in /proc/<pid>/stat and /proc/<pid>/status; for this
// process the CPU time comes from its own clock, finer than /proc's 10 ms ticks.
struct ProcessStats {
    double cpuSeconds = 0; // user and system time so far
    qint64 residentKiB = 0;
    qint64 peakResidentKiB = 0;

    // Zeroes when the process is gone.
    static ProcessStats of(qint64 pid);
    static ProcessStats self();
};
