// SPDX-License-Identifier: GPL-3.0-or-later
// How long the program takes from its start to its main window on screen, and how much processor time that
// start costs, against the least a Qt Widgets program takes: a window of the same size holding one line
// edit with a word in it (so that both load and draw fonts). The two are programs of their own, each
// linked as it would be on its own: bench_startup_program as the program is, bench_startup_baseline with
// Qt Widgets only. Each round starts both as fresh processes, one after the other, the order alternating;
// a child reports the moment its window is exposed and painted, and ends one pass of its event loop
// later. Wall time runs from just before the start of the child to its report; processor time is the
// child's user and system time over its whole life, as the system counts it for a child that has ended.
// It prints the medians, the fastest rounds and the median of the per-round ratios of each.
//
//   bench_startup [rounds]     (default 11; children run offscreen unless told otherwise)
#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr double kGoal = 1.1;

struct Start {
    double wallMs = -1; // negative: the child failed
    double cpuMs = 0;
};

long long nowNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// User and system time of every ended child waited for so far.
double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Starts a child and times it. QProcess has waited for the child once waitForFinished() returns, so the
// system's count of the children's time has grown by this child's.
Start timeChild(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childrenCpuMs();
    const long long start = nowNanos();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        std::fprintf(stderr, "%s: the child failed (%s)\n", qPrintable(program),
                     qPrintable(process.errorString()));
        return {};
    }
    const double cpu = childrenCpuMs() - cpuBefore;
    const QByteArray report = process.readAllStandardOutput();
    const qsizetype at = report.lastIndexOf("exposed ");
    if (at < 0) {
        std::fprintf(stderr, "%s: no report from the child\n", qPrintable(program));
        return {};
    }
    const long long exposed = report.mid(at + 8).trimmed().toLongLong();
    return {double(exposed - start) / 1e6, cpu};
}

void printFigures(const char *what, const QList<double> &program, const QList<double> &baseline,
                  const QList<double> &ratios)
{
    using testsupport::fastest;
    using testsupport::median;
    std::printf("%s\n", what);
    std::printf("  program         median %7.1f ms   fastest %7.1f ms\n", median(program), fastest(program));
    std::printf("  one line edit   median %7.1f ms   fastest %7.1f ms\n", median(baseline),
                fastest(baseline));
    std::printf("  median ratio %.3f   goal %.3f   %s\n", median(ratios), kGoal,
                median(ratios) <= kGoal ? "met" : "MISSED");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 11;
    const QDir bin(QCoreApplication::applicationDirPath());
    const QString program = bin.filePath(QStringLiteral("bench_startup_program"));
    const QString baseline = bin.filePath(QStringLiteral("bench_startup_baseline"));
    QTemporaryDir programFolder;
    if (!programFolder.isValid())
        return 1;
    const QStringList programArguments{programFolder.path()};

    // One start of each first, not counted: the program writes its settings file as at a first run, and
    // both find the libraries and fonts in the page cache afterwards, as on a machine in use.
    if (timeChild(program, programArguments).wallMs < 0 || timeChild(baseline, {}).wallMs < 0)
        return 1;

    QList<double> programWall, baselineWall, wallRatios, programCpu, baselineCpu, cpuRatios;
    for (int round = 0; round < rounds; ++round) {
        Start p;
        Start b;
        if (round % 2 == 0) {
            p = timeChild(program, programArguments);
            b = timeChild(baseline, {});
        } else {
            b = timeChild(baseline, {});
            p = timeChild(program, programArguments);
        }
        if (p.wallMs < 0 || b.wallMs < 0)
            return 1;
        programWall << p.wallMs;
        baselineWall << b.wallMs;
        wallRatios << p.wallMs / b.wallMs;
        programCpu << p.cpuMs;
        baselineCpu << b.cpuMs;
        cpuRatios << p.cpuMs / b.cpuMs;
        std::printf("round %2d: wall %6.1f / %6.1f ms (%.3f), cpu %6.1f / %6.1f ms (%.3f)\n", round + 1,
                    p.wallMs, b.wallMs, p.wallMs / b.wallMs, p.cpuMs, b.cpuMs, p.cpuMs / b.cpuMs);
    }
    std::printf("on %s, %d rounds (program / one line edit)\n", qgetenv("QT_QPA_PLATFORM").constData(),
                rounds);
    printFigures("wall time, start to window on screen", programWall, baselineWall, wallRatios);
    printFigures("processor time, user and system, whole life", programCpu, baselineCpu, cpuRatios);
    return 0;
}
