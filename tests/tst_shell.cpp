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

namespace {

// The size captions of the polls, or none unless the log is one or more polls
// (pending events, size, lamp blinking from dim) followed by "Done!".
QStringList pollCaptions(const QStringList &log)
{
    QStringList captions, expected;
    for (const QString &entry : log.filter("kbytes"))
        captions << entry.mid(10);
    for (qsizetype i = 0; i < captions.size(); ++i)
        expected << "doEvents"
                 << "progress: " + captions[i]
                 << QStringLiteral("lamp shpRecord %1").arg(i % 2 ? colours::RecordLit : colours::RecordDim);
    expected << "progress: Done!";
    return expected == log ? captions : QStringList();
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;
    QString m_out;
    RecordingView m_view;

    // A command line as the batch builds it; the stand-in writes m_out.
    QString command(const QString &options) const
    {
        return testsupport::standinEncoder() + ' ' + options + "  \"" + m_dir.filePath("in.wav") + "\" \""
               + m_out + '"';
    }
    // Pending events are recorded, then run.
    void doEvents()
    {
        m_view.ops << "doEvents";
        QCoreApplication::processEvents();
    }
    double m_share = -1; // of the file, as the encoder said at the last poll
    ShellResult run(const QString &commandLine)
    {
        const QDeadlineTimer deadline(30000); // a stuck encoder fails the test, not hangs it
        return EncoderRun(commandLine, m_out)
            .ShellAndWait(
                m_view, [this] { doEvents(); }, [&] { return deadline.hasExpired(); },
                [this](double share) { m_share = share; });
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
        QTest::addColumn<QString>("caption"); // when given, the one poll shows it
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errorTail");
        QTest::addColumn<double>("share"); // of the file, as the encoder said last
        // Rows run one after the other, so each also checks that a call starts dim.
        QTest::newRow("500 bytes, tie to even 0") << "--bytes 500"
                                                  << "0kbytes" << 0 << "" << 0.0;
        QTest::newRow("1500 bytes, tie to even 2, the last share the encoder gave")
            << "--bytes 1500 --stderr \"   1/767   ( 0%)|\r  100/767   (13%)|  0:01/\""
            << "2kbytes" << 0 << "" << 0.13;
        QTest::newRow("no output file reads 0") << "--no-output"
                                                << "0kbytes" << 0 << "" << 0.0;
        QTest::newRow("progress figures and blank lines dropped, a message beyond ASCII kept")
            << "--stderr \"  10%\r 100%\r\" --stderr \"\" --stderr \"Datei größer als erlaubt\" --exit 1"
            << "" << 1 << "Datei größer als erlaubt" << 0.0;
        QTest::newRow("flood on standard error keeps only its last five lines")
            << "--stderr-lines 50000 --exit 1"
            << "" << 1
            << "error line 49996\nerror line 49997\nerror line 49998\nerror line 49999\nerror line 50000"
            << 0.0;
    }
    void reportsSizeAndEnd()
    {
        QFETCH(QString, options);
        QFETCH(QString, caption);
        QFETCH(int, exitCode);
        QFETCH(QString, errorTail);
        QFETCH(double, share);
        const ShellResult result = run(command(options));
        QCOMPARE(m_share, share);
        QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.errorTail, errorTail);
        const QStringList captions = pollCaptions(m_view.ops);
        QVERIFY2(caption.isEmpty() ? !captions.isEmpty() : captions == QStringList{caption},
                 qPrintable(m_view.ops.join('\n')));
    }

    void programThatCannotBeRunIsDoneAtOnce_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("executable file that is no program") << m_dir.filePath("junk");
        // An empty encoder path: the first word of the parameters is no program to run.
        QTest::newRow("no encoder path before the parameters") << QString();
    }
    void programThatCannotBeRunIsDoneAtOnce()
    {
        QFETCH(QString, program);
        QVERIFY(testsupport::writeFile(m_dir.filePath("junk"), QByteArray(64, '\1')));
        QVERIFY(QFile::setPermissions(m_dir.filePath("junk"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString touched = m_dir.filePath("touched");
        const ShellResult result = run(program + " touch " + touched + "  \"a.wav\" \"a.mp3\"");
        QCOMPARE(result.outcome, ShellResult::Outcome::CouldNotStart);
        QCOMPARE(result.exitCode, 0);                         // which is no exit with 0
        QCOMPARE(m_view.ops, QStringList{"progress: Done!"}); // no poll, no pending events, lamp untouched
        QVERIFY(!QFile::exists(touched));
    }

    // A slow encoder shows a growing size and blinks. The window answers during the wait, not only at the
    // 500 ms polls: a timer started at the first poll's pending events fires before that poll's size caption.
    void slowEncoderShowsGrowingSizeAndTimersFireDuringTheWait()
    {
        QElapsedTimer sincePosted;
        qint64 latency = -1;
        qsizetype opsWhenFired = -1;
        const auto doEvents = [&] {
            if (!sincePosted.isValid()) {
                sincePosted.start();
                QTimer::singleShot(50, Qt::PreciseTimer, [&] {
                    latency = sincePosted.elapsed() - 50;
                    opsWhenFired = m_view.ops.size();
                });
            }
            this->doEvents();
        };
        // About 1.2 s of writing, so the first wait times out.
        QVERIFY(EncoderRun(command("--bytes 4000 --chunk 1000 --interval 300"), m_out)
                    .ShellAndWait(m_view, doEvents)
                    .succeeded());
        const QStringList captions = pollCaptions(m_view.ops);
        QVERIFY2(captions.size() >= 2, qPrintable(m_view.ops.join('\n')));
        QCOMPARE(captions.last(), "4kbytes");
        for (qsizetype i = 1; i < captions.size(); ++i)
            QVERIFY(captions[i - 1].chopped(6).toInt() <= captions[i].chopped(6).toInt());
        QCOMPARE(opsWhenFired, 1); // only the first poll's pending events had run
        QVERIFY2(latency >= 0 && latency < 200, qPrintable(QString::number(latency)));
    }

    // The encoder finishes while the pending events close the window: its file
    // is complete, and the run must not take it for an incomplete one.
    void encoderThatEndedBeforeTheAbandonKeepsItsFile()
    {
        const auto ended = [] {
            return childProcessCount(true) == 1 || childProcessCount() == 0;
        }; // or reaped
        EncoderRun run(command("--bytes 5000"), m_out);
        const ShellResult result = run.ShellAndWait(m_view, [&] {
            QVERIFY(QTest::qWaitFor(ended, 10000));
            run.abandon();
        });
        QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(QFileInfo(m_out).size(), 5000);
    }

    void waitSeesAnEndThatHappenedDuringPendingEvents()
    {
        platform::ChildProcess process;
        QVERIFY(process.start(command("--exit 4")));
        QTRY_VERIFY(!process.isRunning()); // the end is seen while events are processed
        QVERIFY(process.waitForEnd(500));
        QCOMPARE(process.exitCode(), 4);
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
