// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>

#include <algorithm>
#include <cstdio>

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

// What one way of encoding the files cost: wall time, and the CPU time of the program and of its children
// (the encoders) in ms.
struct Cost {
    double ms, cpuMs, childrenCpuMs;
};

// Runs the program's way of encoding `files` files (named `what`: "batch", "window") and the bare loop in
// turns over the rounds, the order swapped each round so that neither always meets a warm cache, and prints
// each round and the medians: the program's own CPU a file beyond the loop's is what its way costs.
template <class Program, class Loop>
void compareWithBareLoop(const char *what, int rounds, int files, Program &&program, Loop &&loop)
{
    QList<double> programMs, loopMs, ratios, programCpu, loopCpu, ownCpu, programChildren, loopChildren;
    for (int round = 0; round < rounds; ++round) {
        Cost p{}, l{};
        if (round % 2 == 0) {
            p = program();
            l = loop();
        } else {
            l = loop();
            p = program();
        }
        programMs << p.ms;
        loopMs << l.ms;
        ratios << p.ms / l.ms;
        programCpu << p.cpuMs / files;
        loopCpu << l.cpuMs / files;
        ownCpu << (p.cpuMs - l.cpuMs) / files;
        programChildren << p.childrenCpuMs / files;
        loopChildren << l.childrenCpuMs / files;
        std::printf(
            "round %d: %s %.1f ms, bare loop %.1f ms, ratio %.4f; own CPU a file %.3f ms and %.3f ms\n",
            round + 1, what, p.ms, l.ms, p.ms / l.ms, p.cpuMs / files, l.cpuMs / files);
    }
    std::printf("median %s %.1f ms, median bare loop %.1f ms (%d files of 1 s each)\n", what,
                median(programMs), median(loopMs), files);
    std::printf("ratio of medians %.4f, median ratio %.4f\n", median(programMs) / median(loopMs),
                median(ratios));
    std::printf(
        "own CPU a file, median: %s %.3f ms, bare loop %.3f ms, beyond the loop's %.3f ms (goal <= 0.5)\n",
        what, median(programCpu), median(loopCpu), median(ownCpu));
    std::printf("the encoder's CPU a file, median: in the %s %.3f ms, in the bare loop %.3f ms\n", what,
                median(programChildren), median(loopChildren));
    // The fastest round of each is the least disturbed by other work on the machine.
    std::printf("fastest %s %.1f ms, fastest bare loop %.1f ms, ratio %.4f\n", what, fastest(programMs),
                fastest(loopMs), fastest(programMs) / fastest(loopMs));
}

} // namespace testsupport
