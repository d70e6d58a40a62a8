// SPDX-License-Identifier: GPL-3.0-or-later
// Batch runs against a recording window, with the stand-in encoder and a real
// settings file in a temporary folder.
#include "batch/batchrun.h"
#include "batch/configview.h"
#include "recordingview.h"
#include "settings/cinifile.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace batch;
using namespace settings;

namespace {

// The ops without pending-events calls and without the runner's polls (a size
// caption and a blink each), whose number depends on timing.
QStringList steps(QStringList ops)
{
    ops.removeAll("doEvents");
    for (qsizetype i = 0; (i = ops.indexOf(QRegularExpression(".*kbytes"), i)) >= 0;)
        ops.remove(i, 2);
    return ops;
}

// A recording window, a configuration window that hands out the encoder path, a
// real settings file, and a pending-events call that runs a test's action at the
// n-th call made during a row (1: the batch's own, before the encoder starts).
struct Rig : ConfigView {
    QTemporaryDir dir;
    RecordingView view;
    QString encoder = testsupport::standinEncoder();
    Cinifile settings;
    QHash<int, int> eventsOfRow;
    int atRow = -1, atCall = 0;
    std::function<void()> action;
    BatchRun batch{view, *this, settings, [this] {
                       view.ops << "doEvents";
                       if (++eventsOfRow[view.selected] == atCall && view.selected == atRow)
                           action();
                   }};

    explicit Rig(const QStringList &names, const QString &outFolder = {})
    {
        settings.setInifile(path("purlwave.ini"));
        if (!outFolder.isEmpty() && QDir().mkpath(path(outFolder)))
            view.outPath = path(outFolder);
        view.custom = QStringLiteral("--bytes 1500");
        view.buttons = {.opt128 = true, .optCustom = true};
        for (const QString &name : names)
            view.rows << path(name);
    }
    QString lamePath() override
    {
        view.ops << "config lamePath";
        return encoder;
    }
    void unloadAndRelease() override { view.ops << "config unload"; }
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList run()
    {
        view.ops.clear();
        eventsOfRow.clear();
        batch.cmdEncode_Click();
        atRow = -1;
        return steps(view.ops);
    }
};

const QStringList idleLamps{"lamp shpWait 16576", "lamp shpReady 65280", "lamp shpRecord 128"};
const QStringList startSteps{"caption: Preparing to encode...", "lamp shpWait 33023", "lamp shpReady 32768",
                             "cancel on", "encode off", "customText", "config lamePath", "rowCount", "outPathText",
                             "presetButtons", "caption: Encoding in process, please wait...", "rowCount"};
const QStringList stopRequest{"cancel off",
                              "caption: User requested stop, please wait while finishing current track..."};
const QStringList completedSteps = QStringList{"rowCount", "activity colour 32768", "activity: Done!", "encode on",
                                               "cancel off", "caption: " + BatchRun::titleCompleted()}
                                   << idleLamps << "config unload";
// Stopped, the lamps stay as the run left them, and the configuration window stays.
const QStringList stoppedSteps{"activity colour 192", "activity: User Requested Stop!", "progress colour 32768",
                               "caption: " + BatchRun::titleStopped(), "encode on", "cancel off"};
const QStringList idleSteps = QStringList{"encode on", "cancel off"} << idleLamps;

QString mp3(int row) { return QStringLiteral("%1.mp3").arg(QChar('a' + row)); }

QStringList selecting(int row) { return {"rowCount", QStringLiteral("select %1").arg(row), "selectedRowText"}; }

QStringList rowSteps(int row, int of, const QStringList &whileEncoding = {})
{
    return selecting(row) << "activity colour 192"
                          << QStringLiteral("activity: Encoding track %1 (%2/%3)").arg(mp3(row)).arg(row + 1).arg(of)
                          << "progress colour 192" << whileEncoding << "progress: Done!" << "progress colour 32768";
}

// A completed run in which some files failed: its status line and its report.
QStringList failedEnd(const QString &files, const QString &list)
{
    return QStringList(completedSteps).replaceInStrings("activity colour 32768", "activity colour 192")
        .replaceInStrings("activity: Done!", "activity: " + files + " failed.")
           << "box [Encoding errors]: " + files + " could not be encoded:\n\n" + list;
}

// What a case does during its run.
enum class Action { None, Cancel, Abandon, AbandonDuringTheWait, AddRow, RemoveAll, RemoveFirstAndTell };

// One run: the list, the encoder's behaviour, what is done during the run, and what must come of it.
struct Case {
    QStringList rows{"a.wav", "b.wav", "c.wav"};
    QString custom = QStringLiteral("--bytes 1500");
    QString encoder{};   // a missing file in the temporary folder; empty: the stand-in
    QString outFolder{}; // in the temporary folder; empty: MP3 files beside their sources
    Action action = Action::None; // done at the atCall-th pending-events call of row atRow (2: the runner's first poll)
    int atRow = -1, atCall = 2;
    QStringList steps{}; // "{d}" stands for the temporary folder
    QString encoded{};   // letters of the MP3 files written in full
    QString earlier{};   // letters of MP3 files there before the run, which must be left as they were...
    bool earlierRemoved = false; // ...unless the row's encoder rewrote them and failed
};

const QByteArray kEarlierMp3 = "an MP3 file from an earlier run";

} // namespace

Q_DECLARE_METATYPE(Case)

class TestBatchRun : public QObject {
    Q_OBJECT

private slots:
    void runFollowsTheStepsOfItsEnd_data()
    {
        QTest::addColumn<Case>("run");
        const QStringList three = startSteps + rowSteps(0, 3) + rowSteps(1, 3) + rowSteps(2, 3) + completedSteps;
        const QStringList refused = QStringList{"box: MP3 is not a valid extension."} + idleSteps
                                    << "activity: Ready" << "caption: Action Cancelled";
        const QString removed = QStringLiteral("; the MP3 file was removed");
        const auto oneFails = [](const QString &custom, const QString &why) {
            return Case{.rows = {"a.wav"}, .custom = custom,
                        .steps = startSteps + rowSteps(0, 1) + failedEnd("1 of 1 file", "{d}/a.wav: " + why)};
        };
        Case abandon{.rows = {"a.wav", "b.wav"}, .custom = "--bytes 100000 --chunk 1000 --interval 50",
                     .action = Action::Abandon, .atRow = 0, .atCall = 1, .steps = startSteps + rowSteps(0, 2).mid(0, 6)};
        QTest::newRow("three rows completed") << Case{.steps = three, .encoded = "abc"};
        QTest::newRow("Cancel during the second of three files") << Case{.action = Action::Cancel, .atRow = 1,
            .steps = startSteps + rowSteps(0, 3) + rowSteps(1, 3, stopRequest) + stoppedSteps, .encoded = "ab"};
        QTest::newRow("Cancel during the last file") << Case{.action = Action::Cancel, .atRow = 2,
            .steps = startSteps + rowSteps(0, 3) + rowSteps(1, 3) + rowSteps(2, 3, stopRequest) + stoppedSteps,
            .encoded = "abc"};
        QTest::newRow("empty list") << Case{.rows = {}, .steps = startSteps.mid(0, 8)
            + QStringList{"box [Error!]: No wav-files selected for encoding!"} + idleSteps
            << "caption: Encoding failed."};
        QTest::newRow("first row refused, the preset code saved all the same")
            << Case{.rows = {"x.mp3", "b.wav"}, .steps = startSteps + selecting(0) + refused};
        QTest::newRow("second of three rows refused") << Case{.rows = {"a.wav", "x.mp3", "c.wav"},
            .steps = startSteps + rowSteps(0, 3) + selecting(1) + refused, .encoded = "a"};
        QTest::newRow("encoder cannot start, Cancel just before") << Case{.rows = {"a.wav", "b.wav"},
            .encoder = "missing", .action = Action::Cancel, .atRow = 0, .atCall = 1,
            .steps = startSteps + rowSteps(0, 2, stopRequest) + QStringList{"box [Error!]: The encoder could not be "
                "started:\n{d}/missing\n\nThe path to the encoder can be set with Config."} + idleSteps
                << "activity: Ready" << "caption: Encoding failed."};
        QTest::newRow("exit code 1, with error lines") << Case{.rows = {"a.wav", "b.wav"},
            .custom = "--stderr bad-input --stderr \"second line\" --exit 1",
            .steps = startSteps + rowSteps(0, 2) + rowSteps(1, 2) + failedEnd("2 of 2 files", "{d}/a.wav: exit code 1" + removed
                + "\n    bad-input\n    second line\n\n{d}/b.wav: exit code 1" + removed + "\n    bad-input\n    second line")};
        QTest::newRow("killed by a signal") << oneFails("--signal 9", "ended by a signal (exit code 137)" + removed);
        QTest::newRow("no MP3 written") << oneFails("--no-output", "exit code 0, but no MP3 file was written");
        QTest::newRow("empty MP3") << oneFails("--bytes 0", "exit code 0, but the MP3 file is empty" + removed);
        Case untouched = oneFails("--no-output --exit 1", "exit code 1");
        untouched.earlier = "a";
        QTest::newRow("exit code 1 before the encoder reached an earlier MP3: it stays") << untouched;
        Case overwritten = oneFails("--bytes 1500 --exit 3", "exit code 3" + removed);
        overwritten.earlier = "a", overwritten.earlierRemoved = true;
        QTest::newRow("exit code 3 after the encoder rewrote an earlier MP3: removed") << overwritten;
        QTest::newRow("two sources of one name into one folder: the second not encoded, the first again")
            << Case{.rows = {"x/a.wav", "y/a.wav", "x/a.wav"}, .outFolder = "out",
                    .steps = startSteps + rowSteps(0, 3) + selecting(1)
                        + rowSteps(2, 3).replaceInStrings("c.mp3", "a.mp3")
                        + failedEnd("1 of 3 files", "{d}/y/a.wav: would overwrite {d}/out/a.mp3, written earlier in "
                                                    "this run"), .encoded = "a"};
        QTest::newRow("middle file failed: its folder is missing") << Case{.rows = {"a.wav", "missing/b.wav", "c.wav"},
            .steps = startSteps + rowSteps(0, 3) + rowSteps(1, 3) + rowSteps(2, 3)
                + failedEnd("1 of 3 files", "{d}/missing/b.wav: exit code 2"), .encoded = "ac"};
        QTest::newRow("every row removed during the first file, the batch not told") << Case{.action = Action::RemoveAll,
            .atRow = 0, .steps = startSteps + rowSteps(0, 3) + completedSteps, .encoded = "a"};
        QTest::newRow("first row removed during the second file, the batch told") << Case{.action = Action::RemoveFirstAndTell,
            .atRow = 1, .steps = startSteps + rowSteps(0, 3) + rowSteps(1, 3)
                + rowSteps(2, 3).replaceInStrings("select 2", "select 1") + completedSteps, .encoded = "abc"};
        QTest::newRow("row added during the first file waits for the next run")
            << Case{.action = Action::AddRow, .atRow = 0, .steps = three, .encoded = "abc"};
        QTest::newRow("abandoned before the encoder starts") << abandon;
        abandon.atCall = 3;
        QTest::newRow("abandoned while the encoder writes") << abandon;
        abandon.custom = "--delay 5000 --bytes 1500", abandon.earlier = "a", abandon.atCall = 2;
        QTest::newRow("abandoned before the encoder reached an earlier MP3: it stays") << abandon;
        // The wait ends at once: no poll after the abandon.
        QTest::newRow("abandoned by a handler during the runner's wait")
            << Case{.rows = {"a.wav", "b.wav"}, .custom = "--bytes 1500 --hang", .action = Action::AbandonDuringTheWait,
                    .atRow = 0, .steps = startSteps + rowSteps(0, 2).mid(0, 6)};
    }
    void runFollowsTheStepsOfItsEnd()
    {
        QFETCH(Case, run);
        Rig rig(run.rows, run.outFolder);
        rig.view.custom = run.custom;
        rig.encoder = run.encoder.isEmpty() ? rig.encoder : rig.path(run.encoder);
        const QString mp3Folder = run.outFolder.isEmpty() ? QString() : run.outFolder + '/';
        for (const QChar letter : run.earlier)
            QVERIFY(testsupport::writeFile(rig.path(mp3Folder + letter + ".mp3"), kEarlierMp3));
        qint64 partialSize = -1, opsAtAbandon = -1;
        QElapsedTimer sinceAbandon;
        const auto abandon = [&] {
            sinceAbandon.start();
            partialSize = QFileInfo(rig.path("a.mp3")).size(), rig.batch.abandon();
            opsAtAbandon = rig.view.ops.size();
        };
        rig.atRow = run.atRow, rig.atCall = run.atCall, rig.action = [&] {
            switch (run.action) {
            case Action::None: break;
            case Action::Cancel: rig.batch.cmdCancel_Click(); break;
            case Action::Abandon: abandon(); break;
            case Action::AbandonDuringTheWait: QTimer::singleShot(50, abandon); break;
            case Action::AddRow: rig.view.rows << rig.path("d.wav"); break;
            case Action::RemoveAll: rig.view.rows.clear(); break;
            case Action::RemoveFirstAndTell: rig.view.rows.removeFirst(), rig.batch.rowsRemoved(0, 1); break;
            }
        };
        QCOMPARE(rig.run(), run.steps.replaceInStrings("{d}", rig.dir.path()));
        QCOMPARE(childProcessCount(), 0);
        // An abandon ends the runner's wait at once, not at its next poll.
        if (run.action == Action::AbandonDuringTheWait)
            QVERIFY2(sinceAbandon.elapsed() < 250, qPrintable(QString::number(sinceAbandon.elapsed())));
        for (int i = 0; i < 4; ++i) {
            QFile file(rig.path(mp3Folder + mp3(i)));
            const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            if (run.earlier.contains(QChar('a' + i)))
                QCOMPARE(content, run.earlierRemoved ? QByteArray() : kEarlierMp3);
            else
                QCOMPARE(content.size(), run.encoded.contains(QChar('a' + i)) ? 1500 : 0);
        }
        // Each button that reads on saves its code and the last one wins; an empty list writes nothing.
        QCOMPARE(QFile::exists(rig.settings.inifile()) ? rig.settings.GetFile("SETTINGS", "Default Encoding") : "none",
                 run.rows.isEmpty() ? "none" : "4");
        // Not even pending events are let run after an abandon, and an encoder killed half-way had written.
        if (run.action == Action::Abandon || run.action == Action::AbandonDuringTheWait)
            QVERIFY(rig.view.ops.size() == opsAtAbandon && (run.atCall == 1 || partialSize > 0 || !run.earlier.isEmpty()));
        // A stop is used up, and one pressed just before a failed start dropped: the next run encodes every row.
        if (run.action == Action::Cancel) {
            rig.encoder = testsupport::standinEncoder();
            const QStringList again = rig.run();
            QCOMPARE(again.mid(again.size() - completedSteps.size()), completedSteps);
            QVERIFY(QFile::exists(rig.path(mp3(run.rows.size() - 1))));
        }
    }

    void commandLineHoldsThePresetOrNoParametersAtAFirstRunWithout()
    {
        Rig rig({"a.wav"});
        rig.view.buttons = {};
        rig.run();
        const QString paths = " \"" + rig.path("a.wav") + "\" \"" + rig.path("a.mp3") + "\"";
        QCOMPARE(rig.batch.state().strCommand, rig.encoder + paths);
        QVERIFY(!QFile::exists(rig.settings.inifile()));
        rig.view.buttons.optCustom = true;
        rig.run();
        QCOMPARE(rig.batch.state().strCommand, rig.encoder + " --bytes 1500 " + paths);
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"

