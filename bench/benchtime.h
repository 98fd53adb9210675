#pragma once

#include <QList>

#include <algorithm>
#include <ctime>

// The clock the pty shim stamps its line changes with, and the figures the benchmarks print.
namespace benchtime {
inline qint64 nowNs()
{
    timespec t = {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

inline double percentile(QList<double> v, double p)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(qMin(int(v.size()) - 1, int(p * (v.size() - 1) + 0.5)));
}
} // namespace benchtime
