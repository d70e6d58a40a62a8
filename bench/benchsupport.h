// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include <algorithm>

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

} // namespace testsupport
