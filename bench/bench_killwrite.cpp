// SPDX-License-Identifier: GPL-3.0-or-later
// Kill trials for settings writes: a child process rewrites one entry of a
// settings file without pause, alternating a short and a long value, and is
// killed with SIGKILL at a random moment. After each kill the file must hold one
// of the two whole states. Nothing is removed between the trials: the writes
// themselves must clear what the kills leave. It prints how many files were
// damaged (must be 0), after how many kills a copy lay beside the file, and what
// lay beside it at the end (at most one copy).
//
//   bench_killwrite [trials] [folder]     (defaults: 200, a new temporary folder)
#include "platform/profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const QString kShort = QStringLiteral("/a");
const QString kLong = QStringLiteral("/music/out/") + QString(200, u'x');

QByteArray stateWith(const QString &value)
{
    return "[PATHS]\nSource Path=/opt/purlwave\nDestination Path=" + value.toUtf8()
           + "\nLAME=/usr/bin/lame\n[SETTINGS]\nDefault Encoding=1\n";
}

int writeForever(const QString &path)
{
    std::puts("ready");
    std::fflush(stdout);
    for (bool flip = false;; flip = !flip) {
        if (!platform::WritePrivateProfileString("PATHS", "Destination Path", flip ? kLong : kShort, path))
            return 1;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--writer"))
        return writeForever(args[2]);

    const int trials = args.size() > 1 ? args[1].toInt() : 200;
    QTemporaryDir scratch(args.size() > 2 ? args[2] + QStringLiteral("/killwrite-XXXXXX") : QString());
    if (!scratch.isValid())
        return 1;
    const QString path = scratch.filePath(QStringLiteral("purlwave.ini"));
    const QByteArray shortState = stateWith(kShort);
    const QByteArray longState = stateWith(kLong);
    int damaged = 0, killsLeavingCopies = 0;
    QStringList left;
    if (QFile seed(path);
        !seed.open(QIODevice::WriteOnly) || seed.write(shortState) != shortState.size() || !seed.flush())
        return 1;
    for (int trial = 0; trial < trials; ++trial) {
        QProcess writer;
        writer.start(app.applicationFilePath(), {QStringLiteral("--writer"), path});
        if (!writer.waitForReadyRead(10000))
            return 1;
        QThread::usleep(QRandomGenerator::global()->bounded(20000));
        writer.kill();
        writer.waitForFinished();
        QFile file(path);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (bytes != shortState && bytes != longState)
            ++damaged;
        left = QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.removeOne(QStringLiteral("purlwave.ini"));
        killsLeavingCopies += !left.isEmpty();
    }
    std::printf("%d trials in %s: %d damaged settings files; after %d kills a copy lay beside it; at the end "
                "%lld files beside it%s%s\n",
                trials, qPrintable(scratch.path()), damaged, killsLeavingCopies,
                static_cast<long long>(left.size()), left.isEmpty() ? "" : ": ",
                qPrintable(left.join(QStringLiteral(", "))));
    return damaged == 0 && left.size() <= 1 ? 0 : 2;
}
