// Batch runs against a recording window, with the stand-in encoder and a real
// settings file in a temporary folder.
#include "batch/batchrun.h"
#include "batch/configview.h"
#include "recordingview.h"
#include "settings/cinifile.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The ops without the runner's poll-by-poll noise: from the batch's own
// pending-events call to the runner's "Done!", the size captions, blinks and
// further pending-events calls go; anything else done there (a Cancel) stays.
QStringList steps(const QStringList &ops)
{
    QStringList out;
    bool inRunner = false;
    for (const QString &op : ops) {
        if (!inRunner || !(op == "doEvents" || op.endsWith("kbytes") || op.startsWith("lamp shpRecord")))
            out << op;
        inRunner = inRunner ? op != "progress: Done!" : op == "doEvents";
    }
    return out;
}

// One window's worth of batch: a recording window, a configuration window that
// hands out the encoder path, a real settings file, and a pending-events call
// that a test can hook into.
struct Rig : ConfigView {
    QTemporaryDir dir;
    RecordingView view;
    QString encoder = testsupport::standinEncoder();
    Cinifile settings;
    QHash<int, int> eventsOfRow; // pending-events calls made while each row was selected
    std::function<void()> onEvents;
    BatchRun batch{view, *this, settings, [this] {
                       view.ops << "doEvents";
                       ++eventsOfRow[view.selected];
                       if (onEvents)
                           onEvents();
                   }};

    explicit Rig(const QStringList &names)
    {
        settings.setInifile(path("purlwave.ini"));
        view.custom = QStringLiteral("--bytes 1500");
        view.buttons.optCustom = true;
        for (const QString &name : names)
            view.rows << path(name);
    }
    QString lamePath() override { return view.ops << "config lamePath", encoder; }
    void unloadAndRelease() override { view.ops << "config unload"; }
    QString path(const QString &name) const { return dir.filePath(name); }
    // Runs the action once, at the n-th pending-events call made during a row: 1
    // is the batch's own call before the encoder starts, 2 the runner's first poll.
    void atEvents(int row, int n, std::function<void()> action)
    {
        onEvents = [=, this] {
            if (view.selected == row && eventsOfRow.value(row) == n)
                action();
        };
    }
    // One press of Encode; the steps it took.
    QStringList run()
    {
        view.ops.clear();
        eventsOfRow.clear();
        batch.cmdEncode_Click();
        onEvents = nullptr;
        return steps(view.ops);
    }
};

const QStringList idleLamps{"lamp shpWait 16576", "lamp shpReady 65280", "lamp shpRecord 128"};
const QStringList startSteps{"caption: Preparing to encode...", "lamp shpWait 33023", "lamp shpReady 32768",
                             "cancel on", "encode off", "customText", "config lamePath", "rowCount",
                             "outPathText", "presetButtons", "caption: Encoding in process, please wait...",
                             "rowCount"};
const QStringList stopRequest{"cancel off",
                              "caption: User requested stop, please wait while finishing current track..."};
const QStringList completedSteps = QStringList{"rowCount", "activity colour 32768", "activity: Done!", "encode on",
                                               "cancel off", "caption: " + BatchRun::titleCompleted()}
                                   << idleLamps << "config unload";

QStringList rowSteps(int index, const QString &shown, const QStringList &whileEncoding = {})
{
    return QStringList{"rowCount", QStringLiteral("select %1").arg(index), "selectedRowText",
                       "activity colour 192", "activity: Encoding track " + shown, "progress colour 192", "doEvents"}
           << whileEncoding << "progress: Done!" << "progress colour 32768";
}

bool endsWith(const QStringList &steps, const QStringList &tail)
{
    return steps.size() >= tail.size() && steps.mid(steps.size() - tail.size()) == tail;
}

} // namespace

class TestBatchRun : public QObject {
    Q_OBJECT

private slots:
    void threeRowsEncodeInOrderUntilDoneOrStopped_data()
    {
        QTest::addColumn<int>("cancelRow"); // Cancel pressed from the pending-events call of this row; -1: none
        QTest::newRow("no Cancel: completed") << -1;
        QTest::newRow("Cancel during the second of three files") << 1;
        QTest::newRow("Cancel during the last file") << 2;
    }
    void threeRowsEncodeInOrderUntilDoneOrStopped()
    {
        QFETCH(int, cancelRow);
        const QStringList names{"a", "b", "c"};
        const int last = cancelRow < 0 ? 2 : cancelRow;
        Rig rig({"a.wav", "b.wav", "c.wav"});
        rig.atEvents(cancelRow, 2, [&rig] { rig.batch.cmdCancel_Click(); });
        QStringList expected = startSteps;
        for (int i = 0; i <= last; ++i)
            expected << rowSteps(i, QStringLiteral("%1.mp3 (%2/3)").arg(names[i]).arg(i + 1),
                                 i == cancelRow ? stopRequest : QStringList());
        // Stopped, the lamps stay as the run left them, and the configuration window stays.
        expected << (cancelRow < 0 ? completedSteps
                                   : QStringList{"activity colour 192", "activity: User Requested Stop!",
                                                 "progress colour 32768", "caption: " + BatchRun::titleStopped(),
                                                 "encode on", "cancel off"});
        QCOMPARE(rig.run(), expected);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(QFileInfo(rig.path(names[i] + ".mp3")).size(), i <= last ? 1500 : 0);
        QCOMPARE(rig.settings.GetFile("SETTINGS", "Default Encoding"), QStringLiteral("4"));
        QCOMPARE(rig.batch.state().strCommand, rig.encoder + " --bytes 1500  \"" + rig.path(names[last] + ".wav")
                                                   + "\" \"" + rig.path(names[last] + ".mp3") + "\"");

        // A stop is used up: the next run encodes the whole list.
        QVERIFY(endsWith(rig.run(), completedSteps));
        QVERIFY(QFile::exists(rig.path("c.mp3")));
    }

    void emptyListEndsWithErrorBoxAndWritesNothing()
    {
        Rig rig({});
        QCOMPARE(rig.run(), startSteps.mid(0, 8) << "box [Error!]: No wav-files selected for encoding!" << "encode on"
                                                 << "cancel off" << idleLamps << "caption: Encoding failed.");
        QVERIFY(!QFile::exists(rig.settings.inifile()));
    }

    void refusedSecondRowEndsRunAfterFirstFile()
    {
        Rig rig({"a.wav", "b.mp3", "c.wav"});
        QCOMPARE(rig.run(), QStringList(startSteps) << rowSteps(0, "a.mp3 (1/3)") << "rowCount" << "select 1"
                                                    << "selectedRowText" << "box: MP3 is not a valid extension."
                                                    << "encode on" << "cancel off" << idleLamps << "activity: Ready"
                                                    << "caption: Action Cancelled");
        QVERIFY(QFile::exists(rig.path("a.mp3")));
        QVERIFY(!QFile::exists(rig.path("c.mp3")));
    }

    void presetCodeIsSavedEvenWhenFirstRowIsRefused()
    {
        Rig rig({"a.mp3"});
        rig.view.buttons = {.opt128 = true, .optCustom = true};
        QVERIFY(endsWith(rig.run(), {"caption: Action Cancelled"}));
        QCOMPARE(rig.settings.GetFile("SETTINGS", "Default Encoding"), QStringLiteral("4")); // the last tested stays
    }

    void noPresetAtFirstRunRunsRealEncoderWithoutParameters()
    {
        if (testsupport::realLame().isEmpty())
            QSKIP("lame is not installed");
        Rig rig({"a.wav"});
        rig.encoder = testsupport::realLame();
        rig.view.buttons = {};
        QVERIFY(testsupport::writeToneWav(rig.path("a.wav"), 0.5));
        QVERIFY(endsWith(rig.run(), completedSteps));
        QCOMPARE(rig.batch.state().strCommand,
                 rig.encoder + " \"" + rig.path("a.wav") + "\" \"" + rig.path("a.mp3") + "\"");
        QVERIFY(testsupport::looksLikeMp3(rig.path("a.mp3"), 0.5));
        QVERIFY(!QFile::exists(rig.settings.inifile()));
    }

    void encoderThatCannotStartEndsRunAtOnce()
    {
        Rig rig({"a.wav", "b.wav"});
        rig.encoder = rig.path("no-such-encoder");
        // A Cancel just before the failed start must not stop the next run.
        rig.atEvents(0, 1, [&rig] { rig.batch.cmdCancel_Click(); });
        QCOMPARE(rig.run(), QStringList(startSteps)
                                << rowSteps(0, "a.mp3 (1/2)", stopRequest)
                                << "box [Error!]: The encoder could not be started:\n" + rig.encoder
                                       + "\n\nThe path to the encoder can be set with Config."
                                << "encode on" << "cancel off" << idleLamps << "activity: Ready"
                                << "caption: Encoding failed.");
        rig.encoder = testsupport::standinEncoder();
        QVERIFY(endsWith(rig.run(), completedSteps));
        QVERIFY(QFile::exists(rig.path("b.mp3")));
    }

    void failedFilesAreReportedAndRunGoesOn_data()
    {
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("report");
        const QStringList two{"a.wav", "b.wav"};
        QTest::newRow("exit code 1, with error lines")
            << "--bytes 100 --stderr bad-input --stderr \"second line\" --exit 1" << two << "2 of 2 files failed."
            << "2 of 2 files could not be encoded:\n\n%1/a.wav: exit code 1\n    bad-input\n    second line\n\n"
               "%1/b.wav: exit code 1\n    bad-input\n    second line";
        QTest::newRow("killed by a signal") << "--bytes 100 --signal 9" << two << "2 of 2 files failed."
                                            << "%1/a.wav: ended by a signal (exit code 137)";
        QTest::newRow("no MP3 written") << "--no-output" << QStringList{"a.wav"} << "1 of 1 file failed."
                                        << "%1/a.wav: exit code 0, but no MP3 file was written";
        QTest::newRow("empty MP3") << "--bytes 0" << two << "2 of 2 files failed."
                                   << "%1/b.wav: exit code 0, but the MP3 file is empty";
        QTest::newRow("middle file only: its folder is missing")
            << "--bytes 100" << QStringList{"a.wav", "missing/b.wav", "c.wav"} << "1 of 3 files failed."
            << "1 of 3 files could not be encoded:\n\n%1/missing/b.wav: exit code 2";
    }
    void failedFilesAreReportedAndRunGoesOn()
    {
        QFETCH(QString, custom);
        QFETCH(QStringList, rows);
        QFETCH(QString, status);
        QFETCH(QString, report);
        Rig rig(rows);
        rig.view.custom = custom;
        QStringList steps = rig.run();
        QCOMPARE(steps.filter("activity: Encoding track").size(), rows.size()); // every row was tried
        const QString box = steps.takeLast();
        QVERIFY2(box.startsWith("box [Encoding errors]: ") && box.contains(report.arg(rig.dir.path())),
                 qPrintable(box));
        QVERIFY(endsWith(steps, QStringList{"rowCount", "activity colour 192", "activity: " + status, "encode on",
                                            "cancel off", "caption: " + BatchRun::titleCompleted()}
                                    << idleLamps << "config unload"));
        QCOMPARE(QFile::exists(rig.path("c.mp3")), rows.contains("c.wav"));
    }

    void listChangedDuringRunNeverRepeatsOrOverruns_data()
    {
        QTest::addColumn<int>("atRow");
        QTest::addColumn<int>("first"); // -1: a row is added at the end instead
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<QStringList>("shown");
        const QStringList all{"a.mp3 (1/3)", "b.mp3 (2/3)", "c.mp3 (3/3)"};
        QTest::newRow("every row removed during the first file") << 0 << 0 << 3 << false << all.mid(0, 1);
        QTest::newRow("first row removed during the second file") << 1 << 0 << 1 << true << all;
        QTest::newRow("later row removed during the first file") << 0 << 2 << 1 << true << all.mid(0, 2);
        QTest::newRow("row dropped during the first file waits for the next run") << 0 << -1 << 0 << false << all;
    }
    void listChangedDuringRunNeverRepeatsOrOverruns()
    {
        QFETCH(int, atRow);
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(bool, reported);
        QFETCH(QStringList, shown);
        Rig rig({"a.wav", "b.wav", "c.wav"});
        rig.atEvents(atRow, 2, [&] {
            if (first < 0)
                rig.view.rows << rig.path("d.wav");
            else
                rig.view.rows.remove(first, count);
            if (reported)
                rig.batch.rowsRemoved(first, count);
        });
        const QStringList steps = rig.run();
        QCOMPARE(steps.filter("activity: Encoding track ").replaceInStrings("activity: Encoding track ", ""), shown);
        QVERIFY(!rig.view.selectedPastEnd);
        QVERIFY(endsWith(steps, completedSteps));
        QVERIFY(!QFile::exists(rig.path("d.mp3")));
    }

    void abandonKillsEncoderAndLeavesNoPartialMp3_data()
    {
        QTest::addColumn<int>("atEvents");
        QTest::newRow("before the encoder starts") << 1;
        QTest::newRow("while the encoder writes") << 3;
    }
    void abandonKillsEncoderAndLeavesNoPartialMp3()
    {
        QFETCH(int, atEvents);
        Rig rig({"a.wav", "b.wav"});
        rig.view.custom = QStringLiteral("--bytes 100000 --chunk 1000 --interval 50"); // five seconds
        qsizetype opsAtAbandon = -1;
        qint64 partialSize = -1;
        rig.atEvents(0, atEvents, [&] {
            partialSize = QFileInfo(rig.path("a.mp3")).size();
            rig.batch.abandon();
            opsAtAbandon = rig.view.ops.size();
        });
        rig.run();
        QCOMPARE(rig.view.ops.size(), opsAtAbandon); // the view was left alone
        QVERIFY(atEvents == 1 || partialSize > 0);
        QVERIFY(!QFile::exists(rig.path("a.mp3")));
        QVERIFY(!QFile::exists(rig.path("b.mp3")));
        QCOMPARE(childProcessCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
