// SPDX-License-Identifier: GPL-3.0-or-later
// The encoder runner against real child processes: the stand-in encoder for
// sizes, endings and timing.
#include "batch/shell.h"
#include "platform/process.h"
#include "recordingview.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>

using namespace batch;

class TestShell : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;
    QString m_out;
    RecordingView m_view;
    double m_share = -1; // of the file, as the encoder said at the last poll
    // A timer posted at the first pending events: when it fired, and how many ops had been done by then.
    QElapsedTimer m_sincePosted;
    qint64 m_latency = -1;
    qsizetype m_opsWhenFired = -1;

    // A command base as the batch builds it; the stand-in writes the new MP3 file.
    static QString base(const QString &options)
    {
        return testsupport::standinEncoder() + ' ' + options + ' ';
    }
    // Pending events are recorded, then run.
    void doEvents()
    {
        if (m_view.ops.isEmpty()) {
            m_sincePosted.start();
            QTimer::singleShot(50, Qt::PreciseTimer, this, [this] {
                m_latency = m_sincePosted.elapsed() - 50;
                m_opsWhenFired = m_view.ops.size();
            });
        }
        m_view.ops << "doEvents";
        QCoreApplication::processEvents();
    }
    ShellResult run(const QString &commandBase)
    {
        const QDeadlineTimer deadline(30000); // a stuck encoder fails the test, not hangs it
        EncoderRun encoder(commandBase, m_dir.filePath("in.wav"), m_out);
        QString why;
        return encoder.stage(&why) ? encoder.ShellAndWait(
                   m_view, [this] { doEvents(); }, [&] { return deadline.hasExpired(); },
                   [this](double share) { m_share = share; })
                                   : ShellResult{};
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { m_out = m_dir.filePath(QStringLiteral("out%1.mp3").arg(++m_serial)); }
    void cleanup()
    {
        QCOMPARE(childProcessCount(), 0); // every encoder reaped, whatever the outcome
        m_view.ops.clear();
    }

    void reportsSizeAndEnd_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("caption"); // the last poll's; empty: any
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errorTail");
        QTest::addColumn<double>("share"); // of the file, as the encoder said last
        QTest::newRow("1500 bytes, tie to even 2, the last share the encoder gave")
            << "--bytes 1500 --stderr \"   1/767   ( 0%)|\r  100/767   (13%)|  0:01/\""
            << "2kbytes" << 0 << "" << 0.13;
        // About 1.5 s of writing: the size grows over several polls, and the window answers during the wait.
        QTest::newRow("a slow encoder, 4500 bytes at the end, tie to even 4")
            << "--bytes 4500 --chunk 1000 --interval 300"
            << "4kbytes" << 0 << "" << 0.0;
        QTest::newRow("progress figures and blank lines dropped, a message beyond ASCII kept")
            << "--stderr \"  10%\r 100%\r\" --stderr \"\" --stderr \"Datei größer als erlaubt\" --exit 1"
            << "" << 1 << "Datei größer als erlaubt" << 0.0;
        QTest::newRow("flood on standard error keeps only its last five lines")
            << "--stderr-lines 50000 --exit 1"
            << "" << 1
            << "error line 49996\nerror line 49997\nerror line 49998\nerror line 49999\nerror line 50000"
            << 0.0;
        QTest::newRow("a long line the kept tail cuts is left out, the lines after it kept")
            << "--stderr " + QString(5000, u'x') + " --stderr-lines 4 --exit 1"
            << "" << 1 << "error line 1\nerror line 2\nerror line 3\nerror line 4" << 0.0;
    }
    void reportsSizeAndEnd()
    {
        QFETCH(QString, options);
        QFETCH(QString, caption);
        QFETCH(int, exitCode);
        QFETCH(QString, errorTail);
        QFETCH(double, share);
        QElapsedTimer elapsed;
        elapsed.start();
        const ShellResult result = run(base(options));
        const qint64 ms = elapsed.elapsed();
        QCOMPARE(m_share, share);
        QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.errorTail(), errorTail);
        // Each poll runs pending events, shows the size and blinks the lamp, starting dim; then "Done!".
        QStringList captions, expected;
        for (const QString &entry : m_view.ops.filter("kbytes"))
            captions << entry.mid(10);
        for (qsizetype i = 0; i < captions.size(); ++i)
            expected
                << "doEvents"
                << "progress: " + captions[i]
                << QStringLiteral("lamp shpRecord %1").arg(i % 2 ? colours::RecordLit : colours::RecordDim);
        QCOMPARE(m_view.ops, expected << "progress: Done!");
        QVERIFY(!captions.isEmpty() && (caption.isEmpty() || captions.last() == caption));
        for (qsizetype i = 1; i < captions.size(); ++i)
            QVERIFY(captions[i - 1].chopped(6).toInt() <= captions[i].chopped(6).toInt());
        // A timer posted at the first poll's pending events fires during the wait, before that poll's size;
        // the polls come 500 ms apart, or at the end.
        if (options.contains("--interval")) {
            QVERIFY2(captions.size() > 1 && captions.size() <= ms / 500 + 1, qPrintable(QString::number(ms)));
            QCOMPARE(m_opsWhenFired, 1);
            QVERIFY2(m_latency >= 0 && m_latency < 200, qPrintable(QString::number(m_latency)));
        }
    }

    // Nothing runs, the lamp stays, and the result tells it from an exit with 0: a file that is no program,
    // and an empty encoder path, where the first word of the parameters is no program to run.
    void programThatCannotBeRunIsDoneAtOnce()
    {
        QVERIFY(testsupport::writeFile(m_dir.filePath("junk"), QByteArray(64, '\1')));
        QVERIFY(QFile::setPermissions(m_dir.filePath("junk"), QFile::ReadOwner | QFile::ExeOwner));
        for (const QString &program : {m_dir.filePath("junk"), QString()}) {
            const ShellResult result = run(program + " touch " + m_dir.filePath("touched") + ' ');
            QCOMPARE(result.outcome, ShellResult::Outcome::CouldNotStart);
            QCOMPARE(m_view.ops.takeFirst(), "progress: Done!");
            QVERIFY(m_view.ops.isEmpty() && !QFile::exists(m_dir.filePath("touched")));
        }
    }

    // The encoder finishes while the pending events close the window: its file
    // is complete, and the run must not take it for an incomplete one.
    void encoderThatEndedBeforeTheAbandonKeepsItsFile()
    {
        const auto ended = [] {
            return childProcessCount(true) == 1 || childProcessCount() == 0;
        }; // or reaped
        EncoderRun run(base("--bytes 5000"), m_dir.filePath("in.wav"), m_out);
        QString why;
        QVERIFY(run.stage(&why));
        const ShellResult result = run.ShellAndWait(m_view, [&] {
            QVERIFY(QTest::qWaitFor(ended, 10000));
            run.abandon();
        });
        QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
        QCOMPARE(QFileInfo(run.newMp3Path()).size(), 5000);
    }

    // The child runs in the caller's environment and folder, with input and output on the null device; a
    // wait ends when it does; a kill ends it at once, reaped, with the kill's exit code.
    void childProcessRunsInTheCallersWorldAndEndsAtAKill()
    {
        qputenv("PURLWAVE_TEST", "inherited");
        platform::ChildProcess child, killed;
        QVERIFY(child.start(
            R"(/bin/sh -c "echo $(readlink /proc/$$/fd/0 /proc/$$/fd/1) $PURLWAVE_TEST $(pwd -P) >&2")"));
        QVERIFY(killed.start("sleep 60"));
        killed.kill();
        QVERIFY(!killed.isRunning() && killed.killedBySignal());
        QCOMPARE(killed.exitCode(), 137);
        const QDeadlineTimer late(20000); // the wait must end with the process, long before its time-out
        QVERIFY(child.waitForEnd(30000) && !late.hasExpired());
        QCOMPARE(childProcessCount(), 0);
        QCOMPARE(child.errorOutput(),
                 "/dev/null /dev/null inherited " + QDir::current().canonicalPath().toUtf8() + '\n');
    }

    // Last: once the application has been told to quit, no event loop of this
    // process runs again. The program is then inside its own event loop.
    void waitAfterTheApplicationQuitsBlocksInsteadOfSpinning()
    {
        int waits = 0;
        double cpuMs = 0;
        bool started = false;
        QTimer::singleShot(0, [&] {
            platform::ChildProcess sleeper;
            started = sleeper.start(QStringLiteral("sleep 0.6"));
            QCoreApplication::quit();
            const std::clock_t cpuBefore = std::clock();
            while (started && !sleeper.waitForEnd(200))
                ++waits;
            cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        });
        QCoreApplication::exec();
        QVERIFY(started);
        QVERIFY2(waits <= 4, qPrintable(QString::number(waits)));
        QVERIFY2(cpuMs < 200, qPrintable(QString::number(cpuMs)));
    }
};

QTEST_GUILESS_MAIN(TestShell)
#include "tst_shell.moc"
