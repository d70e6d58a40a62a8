// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include <algorithm>

#include <sys/resource.h>

// Figures for the benchmark programs.
namespace testsupport {

// The middle value of the list, or the mean of the two middle ones; 0 for an empty list.
inline double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// The smallest value, the least disturbed by other work on the machine; 0 for an empty list.
inline double fastest(const QList<double> &values)
{
    return values.isEmpty() ? 0 : *std::min_element(values.cbegin(), values.cend());
}

// The CPU time, user and system, in ms that this process (RUSAGE_SELF) or its children that ended
// (RUSAGE_CHILDREN) have used so far.
inline double cpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

} // namespace testsupport
