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

#include <algorithm>

using namespace batch;
using namespace settings;
using Links = QMap<QString, QString>; // link, target
using Sizes = QMap<QString, qint64>;  // -1: no file

namespace {

const QByteArray kEarlierMp3 = "an MP3 file from an earlier run";

// A recording window, a configuration window that hands out the encoder path, a real settings file, and
// a pending-events call that runs a test's action at the atCall-th call made during row atRow (1: the
// batch's own, before the encoder starts; 2: the runner's first poll).
struct Rig : ConfigView {
    QTemporaryDir dir;
    RecordingView view;
    QString encoder = testsupport::standinEncoder();
    Cinifile settings;
    QHash<int, int> eventsOfRow;
    int atRow = -1, atCall = 2;
    std::function<void(Rig &)> action;
    BatchRun batch{view, *this, settings, [this] {
                       view.ops << "doEvents";
                       if (++eventsOfRow[view.selected] == atCall && view.selected == atRow)
                           action(*this);
                   }};
    bool cancelled = false;
    qsizetype opsAtAbandon = -1;
    qint64 partialSize = -1, msAfterAbandon = -1;
    QElapsedTimer sinceAbandon;

    Rig(const QStringList &names, const QString &outFolder, const QString &custom)
    {
        settings.setInifile(path("purlwave.ini"));
        if (!outFolder.isEmpty() && QDir().mkpath(path(outFolder)))
            view.outPath = path(outFolder);
        view.custom = custom;
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
    // The ops without pending events and the runner's polls (a size caption and a blink each), whose
    // number depends on timing.
    QStringList run()
    {
        view.ops.clear();
        eventsOfRow.clear();
        batch.cmdEncode_Click();
        msAfterAbandon = sinceAbandon.isValid() ? sinceAbandon.elapsed() : -1;
        atRow = -1;
        QStringList ops = view.ops;
        ops.removeAll("doEvents");
        for (qsizetype i = 0; (i = ops.indexOf(QRegularExpression(".*kbytes"), i)) >= 0;)
            ops.remove(i, 2);
        return ops;
    }
    void abandon()
    {
        sinceAbandon.start();
        partialSize = QFileInfo(path("a.mp3")).size();
        batch.abandon();
        opsAtAbandon = view.ops.size();
    }
};

// Steps written one after the other, each ended by "|".
QStringList steps(const QString &text) { return text.split('|', Qt::SkipEmptyParts); }

const QStringList kIdleLamps = steps("lamp shpWait 16576|lamp shpReady 65280|lamp shpRecord 128|");
const QStringList kStartSteps = steps(
    "caption: Preparing to encode...|lamp shpWait 33023|lamp shpReady 32768|cancel on|"
    "encode off|customText|config lamePath|rowCount|outPathText|presetButtons|"
    "caption: Encoding in process, please wait...|rowCount|");
const QStringList kStopRequest = steps(
    "cancel off|caption: User requested stop, please wait while finishing current track...|");
const QStringList kCompletedSteps =
    steps("rowCount|activity colour 32768|activity: Done!|encode on|cancel off|caption: "
          + BatchRun::titleCompleted() + "|")
    + kIdleLamps + steps("config unload|");
// Stopped, the lamps stay as the run left them, and the configuration window stays.
const QStringList kStoppedSteps = steps(
    "activity colour 192|activity: User Requested Stop!|progress colour 32768|caption: "
    + BatchRun::titleStopped() + "|encode on|cancel off|");
const QStringList kIdleSteps = steps("encode on|cancel off|") + kIdleLamps;

QString mp3(int row) { return QStringLiteral("%1.mp3").arg(QChar('a' + row)); }

QStringList selecting(int row)
{
    return steps(QStringLiteral("rowCount|select %1|selectedRowText|").arg(row));
}

QStringList rowSteps(int row, int of, const QStringList &whileEncoding = {})
{
    return selecting(row)
           << "activity colour 192"
           << QStringLiteral("activity: Encoding track %1 (%2/%3)").arg(mp3(row)).arg(row + 1).arg(of)
           << "progress colour 192" << whileEncoding << "progress: Done!"
           << "progress colour 32768";
}

const auto kCancel = [](Rig &r) {
    r.cancelled = true;
    r.batch.cmdCancel_Click();
};

// How a run is set up and what is done during it.
struct Case {
    QStringList rows{"a.wav", "b.wav", "c.wav"};
    QString custom = QStringLiteral("--bytes 1500");
    QString encoder{}; // a missing file in the temporary folder; empty: the stand-in
    std::function<void(Rig &)> action{};
    int atRow = -1;
    int atCall = 2;
    QString encoded{};        // letters of the MP3 files written in full
    QString earlier{};        // letters of MP3 files there before the run: they stay
    QList<double> progress{}; // the run's progress as told beside the window, repeats left out
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestBatchRun : public QObject {
    Q_OBJECT

private slots:
    void runFollowsTheStepsOfItsEnd_data()
    {
        QTest::addColumn<Case>("run");
        QTest::addColumn<QStringList>("steps"); // "{d}" stands for the temporary folder
        const auto abandoned = [](int atCall, const QString &custom, const QString &earlier = {}) {
            return Case{{"a.wav", "b.wav"}, custom, {}, &Rig::abandon, 0, atCall, {}, earlier};
        };
        const QStringList abandonedSteps = kStartSteps + rowSteps(0, 2).mid(0, 6);
        const QString slowly = QStringLiteral("--bytes 100000 --chunk 1000 --interval 50");
        QTest::newRow("three rows are encoded, the share of each file told, and the run completes")
            << Case{.custom = "--bytes 1500 --stderr \"  1/2   (50%)|\"",
                    .encoded = "abc",
                    .progress = {0, 0.5 / 3, 1 / 3.0, 1.5 / 3, 2 / 3.0, 2.5 / 3}}
            << kStartSteps + rowSteps(0, 3) + rowSteps(1, 3) + rowSteps(2, 3) + kCompletedSteps;
        QTest::newRow("Cancel during the second of three files stops after it")
            << Case{.action = kCancel, .atRow = 1, .encoded = "ab"}
            << kStartSteps + rowSteps(0, 3) + rowSteps(1, 3, kStopRequest) + kStoppedSteps;
        QTest::newRow("an empty list ends with a box, nothing saved")
            << Case{.rows = {}}
            << kStartSteps.mid(0, 8) + steps("box [Error!]: No wav-files selected for encoding!|")
                   + kIdleSteps + steps("caption: Encoding failed.|");
        QTest::newRow("second of three rows refused, the preset code saved all the same")
            << Case{.rows = {"a.wav", "x.mp3", "c.wav"}, .encoded = "a"}
            << kStartSteps + rowSteps(0, 3) + selecting(1) + steps("box: MP3 is not a valid extension.|")
                   + kIdleSteps + steps("activity: Ready|caption: Action Cancelled|");
        QTest::newRow("an encoder that cannot start ends the run; a Cancel just before is dropped")
            << Case{{"a.wav", "b.wav"}, "--bytes 1500", "missing", kCancel, 0, 1}
            << kStartSteps + rowSteps(0, 2, kStopRequest)
                   + steps("box [Error!]: The encoder could not be started:\n{d}/missing\n\n"
                           "The path to the encoder can be set with Config.|")
                   + kIdleSteps + steps("activity: Ready|caption: Encoding failed.|");
        const QString failed =
            "{d}/%1.wav: exit code 1; the MP3 file was removed\n    bad-input\n    second line";
        QTest::newRow("exit code 1 fails both files, their error lines reported")
            << Case{{"a.wav", "b.wav"}, "--stderr bad-input --stderr \"second line\" --exit 1"}
            << kStartSteps + rowSteps(0, 2) + rowSteps(1, 2)
                   + QStringList(kCompletedSteps)
                         .replaceInStrings("activity colour 32768", "activity colour 192")
                         .replaceInStrings("activity: Done!", "activity: 2 of 2 files failed.")
                   + QStringList("box [Encoding errors]: 2 of 2 files could not be encoded:\n\n"
                                 + failed.arg('a') + "\n\n" + failed.arg('b'));
        QTest::newRow("every row removed during the first file, the batch not told")
            << Case{.action = [](Rig &r) { r.view.rows.clear(); }, .atRow = 0, .encoded = "a"}
            << kStartSteps + rowSteps(0, 3) + kCompletedSteps;
        QTest::newRow("abandoned before the encoder starts") << abandoned(1, slowly) << abandonedSteps;
        QTest::newRow("abandoned while the encoder writes: its MP3 removed")
            << abandoned(3, slowly) << abandonedSteps;
        QTest::newRow("abandoned before the encoder reached an earlier MP3: it stays")
            << abandoned(2, "--delay 5000 --bytes 1500", "a") << abandonedSteps;
        Case duringTheWait = abandoned(2, "--bytes 1500 --hang");
        duringTheWait.action = [](Rig &r) { QTimer::singleShot(50, [&r] { r.abandon(); }); };
        QTest::newRow("abandoned by a handler during the runner's wait: no poll after it")
            << duringTheWait << abandonedSteps;
    }
    void runFollowsTheStepsOfItsEnd()
    {
        QFETCH(Case, run);
        QFETCH(QStringList, steps);
        Rig rig(run.rows, {}, run.custom);
        if (!run.encoder.isEmpty())
            rig.encoder = rig.path(run.encoder);
        for (const QChar letter : run.earlier)
            QVERIFY(testsupport::writeFile(rig.path(QString(letter) + ".mp3"), kEarlierMp3));
        rig.atRow = run.atRow;
        rig.atCall = run.atCall;
        rig.action = run.action;
        QCOMPARE(rig.run(), steps.replaceInStrings("{d}", rig.dir.path()));
        QCOMPARE(childProcessCount(), 0);
        QCOMPARE(rig.view.ends.size(), rig.opsAtAbandon >= 0 ? 0 : 1);
        QList<double> progress = rig.view.progress;
        progress.erase(std::unique(progress.begin(), progress.end()), progress.end());
        if (!run.progress.isEmpty())
            QCOMPARE(progress, run.progress);
        // An abandon ends the run at once, not at the runner's next poll; not even pending events run after
        // it, and an encoder killed half-way had written.
        if (rig.opsAtAbandon >= 0) {
            QVERIFY2(rig.msAfterAbandon < 250, qPrintable(QString::number(rig.msAfterAbandon)));
            QCOMPARE(rig.view.ops.size(), rig.opsAtAbandon);
            QVERIFY(run.atCall == 1 || rig.partialSize > 0 || !run.earlier.isEmpty());
        }
        for (int i = 0; i < 4; ++i) {
            const QChar letter('a' + i);
            QCOMPARE(QFileInfo(rig.path(mp3(i))).size(), run.earlier.contains(letter)   ? kEarlierMp3.size()
                                                         : run.encoded.contains(letter) ? 1500
                                                                                        : 0);
        }
        // Each button that reads on saves its code and the last one wins; an empty list writes nothing.
        QCOMPARE(QFile::exists(rig.settings.inifile()) ? rig.settings.GetFile("SETTINGS", "Default Encoding")
                                                       : "none",
                 run.rows.isEmpty() ? "none" : "4");
        // A stop is used up, and one pressed just before a failed start dropped: the next run encodes all.
        if (rig.cancelled) {
            rig.encoder = testsupport::standinEncoder();
            const QStringList again = rig.run();
            QCOMPARE(again.mid(again.size() - kCompletedSteps.size()), kCompletedSteps);
            QVERIFY(QFile::exists(rig.path(mp3(run.rows.size() - 1))));
        }
    }

    // Rows removed from inside the run, as the list removes them, while an encoder runs: the rows after
    // them go on, numbered as they stood at the start; rows ahead shorten the run; rows added wait.
    void rowsRemovedDuringTheRun_data()
    {
        QTest::addColumn<int>("atRow"); // removed while this row's encoder runs
        QTest::addColumn<int>("added"); // rows appended just before
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("tracks"); // the status lines, "Encoding track " left out
        const QString all = QStringLiteral("a.mp3 (1/4)|b.mp3 (2/4)|c.mp3 (3/4)|d.mp3 (4/4)");
        QTest::newRow("the current row: the next follows") << 1 << 0 << 1 << 1 << all;
        QTest::newRow("a row done: the rest keep their numbers") << 2 << 0 << 0 << 1 << all;
        QTest::newRow("the last row while it runs") << 3 << 0 << 3 << 1 << all;
        QTest::newRow("a row ahead: passed over, the rest count on")
            << 0 << 0 << 2 << 1 << "a.mp3 (1/4)|b.mp3 (2/4)|d.mp3 (3/4)";
        QTest::newRow("three rows across the current one")
            << 1 << 0 << 0 << 3 << "a.mp3 (1/4)|b.mp3 (2/4)|d.mp3 (3/4)";
        QTest::newRow("a row added: it waits for the next run") << 0 << 1 << 0 << 0 << all;
        QTest::newRow("a row added, then removed: the run keeps its last") << 1 << 1 << 4 << 1 << all;
    }
    void rowsRemovedDuringTheRun()
    {
        QFETCH(int, atRow);
        QFETCH(int, added);
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(QString, tracks);
        Rig rig({"a.wav", "b.wav", "c.wav", "d.wav"}, {}, "--delay 100 --bytes 1500");
        rig.atRow = atRow;
        rig.action = [&](Rig &r) {
            for (int i = 0; i < added; ++i)
                r.view.rows << r.path("e.wav");
            r.view.rows.remove(first, count);
            r.batch.rowsRemoved(first, count);
        };
        const QStringList activity = rig.run().filter("activity: ").replaceInStrings("activity: ", "");
        QCOMPARE(activity.filter("Encoding track ").replaceInStrings("Encoding track ", "").join('|'),
                 tracks);
        QCOMPARE(activity.last(), "Done!");
        QCOMPARE(rig.view.ends.size(), 1);
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
            QCOMPARE(QFileInfo(rig.path(name)).size(), tracks.contains(name) ? 1500 : 0);
    }

    // What a run leaves of its sources and MP3 files, as its report says. One file is one file however its
    // path is spelt, with real files and links; what an encoder wrote through a link is removed, the link
    // stays; a file the encoder never reached stays. Every row's source is a WAV file the test writes.
    void filesLeftAsReported_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("outFolder");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<Links>("links");
        QTest::addColumn<QString>("earlier"); // an MP3 file there before the run
        QTest::addColumn<QString>("report");  // the one failed file's lines in the box; empty: no box
        QTest::addColumn<Sizes>("sizes");
        const Links lnk{{"lnk", "x"}}, none;
        const QString fine = QStringLiteral("--bytes 1500"), fails = QStringLiteral("--bytes 1500 --exit 1");
        const QString removed = QStringLiteral("; the MP3 file was removed");
        const QStringList one{"a.wav"};
        QTest::newRow("one source again through a folder link: encoded again")
            << QStringList{"x/a.wav", "lnk/a.wav"} << "" << fine << lnk << ""
            << "" << Sizes{{"x/a.mp3", 1500}};
        QTest::newRow("another source whose MP3 name differs in case only, through the link: refused")
            << QStringList{"x/a.wav", "lnk/a.WAV"} << "" << fine << lnk << ""
            << "{d}/lnk/a.WAV: would overwrite {d}/lnk/a.mp3, written earlier in this run"
            << Sizes{{"x/a.mp3", 1500}};
        QTest::newRow("two sources of one name into one folder: the second refused, the first again")
            << QStringList{"x/a.wav", "y/a.wav", "x/a.wav"} << "out" << fine << none << ""
            << "{d}/y/a.wav: would overwrite {d}/out/a.mp3, written earlier in this run"
            << Sizes{{"out/a.mp3", 1500}};
        QTest::newRow("an MP3 path that links to a later row's source: refused, the source kept")
            << QStringList{"z/x.wav", "y/b.wav"} << "out" << fine << Links{{"out/x.mp3", "y/b.wav"}} << ""
            << "{d}/z/x.wav: would overwrite {d}/out/x.mp3, which is the source file {d}/y/b.wav"
            << Sizes{{"out/b.mp3", 1500}};
        QTest::newRow("a failed row's MP3 path is a link: the file written through it removed")
            << one << "out" << fails << Links{{"out/a.mp3", "t/a.mp3"}} << ""
            << "{d}/a.wav: exit code 1; the MP3 file {d}/t/a.mp3 (the target of the link {d}/out/a.mp3) was "
               "removed"
            << Sizes{{"t/a.mp3", -1}};
        QTest::newRow("a failed row's MP3 path is no link: the MP3 file removed")
            << one << "out" << fails << none << ""
            << "{d}/a.wav: exit code 1" + removed << Sizes{{"out/a.mp3", -1}};
        const auto oneFails = [&](const char *name, const QString &custom, const QString &why,
                                  bool earlier = false) {
            QTest::newRow(name) << one << "" << custom << none << (earlier ? "a.mp3" : "")
                                << "{d}/a.wav: " + why
                                << Sizes{{"a.mp3",
                                          earlier && !why.endsWith(removed) ? kEarlierMp3.size() : -1}};
        };
        oneFails("killed by a signal", "--bytes 1500 --signal 9",
                 "ended by a signal (exit code 137)" + removed);
        oneFails("exit code 0 without an MP3", "--no-output",
                 "the encoder reported success but wrote no MP3 file");
        oneFails("exit code 0 with an empty MP3", "--bytes 0",
                 "the encoder reported success but the MP3 file is empty" + removed);
        oneFails("exit code 1 before the encoder reached an earlier MP3: it stays", "--no-output --exit 1",
                 "exit code 1", true);
        oneFails("exit code 3 after the encoder rewrote an earlier MP3: removed", "--bytes 1500 --exit 3",
                 "exit code 3" + removed, true);
    }
    void filesLeftAsReported()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, outFolder);
        QFETCH(QString, custom);
        QFETCH(Links, links);
        QFETCH(QString, earlier);
        QFETCH(QString, report);
        QFETCH(Sizes, sizes);
        Rig rig(rows, outFolder, custom);
        for (auto link = links.cbegin(); link != links.cend(); ++link) {
            QVERIFY(QDir().mkpath(QFileInfo(rig.path(link.key())).path()));
            QVERIFY(QDir().mkpath(rig.path(link->contains('.') ? QFileInfo(*link).path() : *link)));
            QVERIFY(QFile::link(rig.path(*link), rig.path(link.key())));
        }
        for (const QString &row : rows)
            QVERIFY(QDir().mkpath(QFileInfo(rig.path(row)).path())
                    && testsupport::writeToneWav(rig.path(row), 0.1));
        QVERIFY(earlier.isEmpty() || testsupport::writeFile(rig.path(earlier), kEarlierMp3));
        const QString box = QStringLiteral("box [Encoding errors]: 1 of %1 could not be encoded:\n\n%2")
                                .arg(rows.size() == 1 ? "1 file" : QString::number(rows.size()) + " files",
                                     report);
        QCOMPARE(rig.run().last(),
                 report.isEmpty() ? "config unload" : QString(box).replace("{d}", rig.dir.path()));
        QCOMPARE(childProcessCount(), 0);
        for (auto size = sizes.cbegin(); size != sizes.cend(); ++size)
            QCOMPARE(QFileInfo::exists(rig.path(size.key())) ? QFileInfo(rig.path(size.key())).size() : -1,
                     *size);
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
