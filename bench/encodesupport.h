// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/commandline.h"

#include "benchsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cstdio>

// The bare loop the encoding benchmarks measure the program against, and the timing of either.
namespace testsupport {

// The MP3 files in the folder, removed, so that every run writes its own.
inline void removeMp3s(const QString &folder)
{
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.mp3")}, QDir::Files))
        QFile::remove(folder + QLatin1Char('/') + name);
}

// The encoder started and waited for once a file, as a shell loop does: the 128 kbps preset, each MP3 file
// named as the program names it in outFolder.
[[gnu::noinline]] inline void bareLoop(const QStringList &wavs, const QString &outFolder,
                                       const QString &encoder)
{
    for (const QString &wav : wavs) {
        const batch::Mp3Naming naming = batch::MakeMp3Name(wav, batch::NormalizeOutFolder(outFolder));
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(encoder, {batch::kParam128.trimmed(), wav, naming.strMp3Path});
        process.waitForFinished(-1);
    }
}

// What work cost, run on outFolder cleared of MP3 files: its wall time, and the CPU time of this process and
// of its children up to the end of after (the event loop let run, say), which the wall time leaves out.
// *complete turns false, and stderr says so, when fewer than `files` MP3 files were written.
template <class Work, class After>
Cost timedEncoding(const QString &outFolder, int files, bool *complete, Work &&work, After &&after)
{
    removeMp3s(outFolder);
    QElapsedTimer timer;
    const double cpuBefore = cpuMs(RUSAGE_SELF), childrenBefore = cpuMs(RUSAGE_CHILDREN);
    timer.start();
    work();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    after();
    const Cost cost{ms, cpuMs(RUSAGE_SELF) - cpuBefore, cpuMs(RUSAGE_CHILDREN) - childrenBefore};
    const int made = int(QDir(outFolder).entryList({QStringLiteral("*.mp3")}, QDir::Files).size());
    if (made != files) {
        std::fprintf(stderr, "only %d of %d MP3 files written\n", made, files);
        *complete = false;
    }
    return cost;
}

} // namespace testsupport
