// SPDX-License-Identifier: GPL-3.0-or-later
// How long the program takes from its start to its main window on screen, against the least a Qt Widgets
// program takes: a window of the same size holding one line edit with a word in it (so that both load
// and draw fonts). Each round starts both as fresh processes of this program, one after the other, the
// order alternating; a child reports the moment its window is exposed and painted. Times run from just
// before the start of the child process. It prints the medians, the fastest rounds and the median of the
// per-round ratios.
//
//   bench_startup [rounds]     (default 11; children run offscreen unless told otherwise)
#include "settings/location.h"
#include "ui/windows/moddrag.h"

#include "benchsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>

namespace {

constexpr QSize kWindowSize(687, 397); // the main window's

enum class Child { Program, Baseline };

qint64 nowNanos()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Prints the steady clock once the first window has been exposed and painted, then ends the event loop.
class StartWatch : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool handled = QApplication::notify(receiver, event);
        if (!m_seen && event->type() == QEvent::Expose) {
            const auto *window = qobject_cast<QWindow *>(receiver);
            if (window && window->isExposed()) {
                m_seen = true; // painted by now: a widget window paints while it handles its exposure
                std::printf("exposed %lld\n", static_cast<long long>(nowNanos()));
                std::fflush(stdout);
                QTimer::singleShot(0, this, &QCoreApplication::quit);
            }
        }
        return handled;
    }

private:
    bool m_seen = false;
};

int runChild(int argc, char *argv[], Child child, const QString &programFolder)
{
    StartWatch app(argc, argv);
    if (child == Child::Program) {
        // As main() starts it, with its settings file in a folder of its own.
        QApplication::setApplicationName(QStringLiteral("Purlwave"));
        settings::setProgramFolderForTesting(programFolder);
        ui::Main();
        return QApplication::exec();
    }
    QWidget window;
    window.resize(kWindowSize);
    QLineEdit edit(QStringLiteral("Text1"), &window);
    edit.move(16, 32);
    window.show();
    return QApplication::exec();
}

// Starts this program as a child and gives the milliseconds from just before its start to its report, or
// a negative number when it failed.
double timeChild(const QString &self, const char *mode, const QString &programFolder)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 start = nowNanos();
    process.start(self, {QString::fromLatin1(mode), programFolder});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        std::fprintf(stderr, "%s: the child failed (%s)\n", mode, qPrintable(process.errorString()));
        return -1;
    }
    const QByteArray report = process.readAllStandardOutput();
    const qsizetype at = report.lastIndexOf("exposed ");
    if (at < 0) {
        std::fprintf(stderr, "%s: no report from the child\n", mode);
        return -1;
    }
    const qint64 exposed = report.mid(at + 8).trimmed().toLongLong();
    return static_cast<double>(exposed - start) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && QByteArray(argv[1]) == "--program")
        return runChild(argc, argv, Child::Program, QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--baseline")
        return runChild(argc, argv, Child::Baseline, QString());

    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 11;
    const QString self = QCoreApplication::applicationFilePath();
    QTemporaryDir programFolder;
    if (!programFolder.isValid())
        return 1;

    // One start of each first, not counted: the program writes its settings file as at a first run, and
    // both find the libraries and fonts in the page cache afterwards, as on a machine in use.
    if (timeChild(self, "--program", programFolder.path()) < 0 || timeChild(self, "--baseline", {}) < 0)
        return 1;

    QList<double> program, baseline, ratios;
    for (int round = 0; round < rounds; ++round) {
        double p = 0;
        double b = 0;
        if (round % 2 == 0) {
            p = timeChild(self, "--program", programFolder.path());
            b = timeChild(self, "--baseline", {});
        } else {
            b = timeChild(self, "--baseline", {});
            p = timeChild(self, "--program", programFolder.path());
        }
        if (p < 0 || b < 0)
            return 1;
        program << p;
        baseline << b;
        ratios << p / b;
        std::printf("round %2d: program %7.1f ms, one line edit %7.1f ms, ratio %.3f\n", round + 1, p, b,
                    p / b);
    }
    using testsupport::fastest;
    using testsupport::median;
    std::printf("on %s, %d rounds\n", qgetenv("QT_QPA_PLATFORM").constData(), rounds);
    std::printf("program         median %7.1f ms   fastest %7.1f ms\n", median(program), fastest(program));
    std::printf("one line edit   median %7.1f ms   fastest %7.1f ms\n", median(baseline), fastest(baseline));
    std::printf("median ratio %.3f   goal 1.100   %s\n", median(ratios),
                median(ratios) <= 1.1 ? "met" : "MISSED");
    return 0;
}
