// SPDX-License-Identifier: GPL-3.0-or-later
// What the real main window costs on top of the encoder: the program is started as main() starts it, with
// a settings file in a temporary folder that names the encoder and an output folder, and 20 one-second WAV
// files given as its arguments; each round presses Encode, and runs the same 20 command lines in a bare
// start-and-wait loop, alternating which goes first. What the window does during a run is all counted: its
// labels and lamps, the repaints, the taskbar entry's progress over the session bus, the sentence for
// screen readers. After each, the event loop runs on for 200 ms (past the taskbar's 150 ms pacing), so
// that what the run left queued is paid where it belongs; the bare loop gets the same wait. It prints the
// program's own CPU time a file (getrusage, its children left out) in both and the difference: what the
// window and the batch cost beyond starting and reaping the encoder.
//
//   bench_window [rounds] [encoder]     (defaults: 5, /usr/bin/lame; runs offscreen unless told otherwise)
//
// One round before the timed ones warms both up. For a profile of the window's share in the timed rounds
// alone, collect only inside encodeThroughWindow and settle:
//   valgrind --tool=callgrind --toggle-collect='*encodeThroughWindow*' --toggle-collect='*settle*'
//       build/default/bin/bench_window 1
#include "batch/commandline.h"
#include "settings/keys.h"
#include "settings/location.h"

#include "benchsupport.h"
#include "dialogstandins.h"
#include "encodesupport.h"
#include "programsupport.h"
#include "testsupport.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using testsupport::Cost;
using testsupport::cpuMs;

namespace {

constexpr int kFiles = 20;
constexpr int kSettleMilliseconds = 200;

// Kept out of line so that a profiler can collect inside them alone.
[[gnu::noinline]] void encodeThroughWindow(const testsupport::ProgramFixture &program)
{
    program.click(QStringLiteral("cmdEncode"));
}

[[gnu::noinline]] void settle()
{
    QEventLoop loop;
    QTimer::singleShot(kSettleMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // As main() names the program: the taskbar entry and the notes name it by its desktop file.
    QApplication::setApplicationName(QStringLiteral("Purlwave"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Purlwave"));
    const QStringList args = QApplication::arguments();
    const int rounds = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 5;
    const QString encoder = args.size() > 2 ? args.at(2) : QStringLiteral("/usr/bin/lame");
    if (!QFileInfo(encoder).isExecutable()) {
        std::fprintf(stderr, "no encoder at %s\n", qPrintable(encoder));
        return 1;
    }

    testsupport::RecordedMessageBoxes boxes;
    testsupport::ProgramFixture program;
    if (!program.makeFolder())
        return 1;
    const QString outFolder = program.path(QStringLiteral("out"));
    QStringList wavs;
    QList<QByteArray> arguments;
    for (int i = 0; i < kFiles; ++i) {
        const QString wav = program.path(QStringLiteral("tone%1.wav").arg(i, 2, 10, QLatin1Char('0')));
        if (!testsupport::writeToneWav(wav, 1.0))
            return 1;
        wavs << wav;
        arguments << QFile::encodeName(wav);
    }
    using namespace settings::keys;
    const QString ini = settings::settingsFilePath();
    if (!QDir().mkpath(outFolder)
        || !platform::WritePrivateProfileString(kPaths, kDestinationPath, outFolder + QLatin1Char('/'), ini)
        || !platform::WritePrivateProfileString(kSettings, kDefaultEncoding, kCode128, ini)
        || !program.launch(encoder, arguments)) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    // As on a desktop, where the window just started is the active one, and the pointer rests on Encode,
    // which the user pressed (under X the pointer starts in the middle of the screen, over the list, whose
    // rows under it would change as it scrolls).
    program.m_window->activateWindow();
    const QWidget *encode = program.control(QStringLiteral("cmdEncode"));
    QCursor::setPos(encode->mapToGlobal(encode->rect().center()));
    if (!QTest::qWaitForWindowActive(program.m_window) || program.m_window->rowCount() != kFiles) {
        std::fprintf(stderr, "the window did not become active with %d files\n", kFiles);
        return 1;
    }
    settle();

    int failures = 0;
    bool complete = true;
    auto timed = [&](auto &&work) {
        return testsupport::timedEncoding(outFolder, kFiles, &complete, work, settle);
    };
    auto throughWindow = [&] {
        encodeThroughWindow(program);
        const QString activity = program.control<QLabel>(QStringLiteral("lblActivity"))->text();
        if (activity != QLatin1String("Done!")) {
            std::fprintf(stderr, "the window says \"%s\"\n", qPrintable(activity));
            ++failures;
        }
    };
    auto throughLoop = [&] { testsupport::bareLoop(wavs, outFolder, encoder); };

    // Not through encodeThroughWindow: a profile of it leaves out what the first run pays once.
    (void)timed([&] { program.click(QStringLiteral("cmdEncode")); });
    (void)timed(throughLoop);

    std::printf("%d rounds on %s\n", rounds, qPrintable(QGuiApplication::platformName()));
    testsupport::compareWithBareLoop(
        "window", rounds, kFiles, [&] { return timed(throughWindow); }, [&] { return timed(throughLoop); });
    for (const auto &box : std::as_const(boxes.boxes)) {
        std::fprintf(stderr, "box: %s\n", qPrintable(box.text));
        ++failures;
    }
    if (!program.end() || !complete)
        ++failures;
    return failures == 0 ? 0 : 1;
}
