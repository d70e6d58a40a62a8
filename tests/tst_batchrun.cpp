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
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace batch;
using namespace settings;
using testsupport::fileBytes;
using Links = QMap<QString, QString>; // link, target
using Sizes = QMap<QString, qint64>;  // -1: no file

namespace {

const QByteArray kEarlierMp3 = "an MP3 file from an earlier run";
// Run as a child, the program encodes one row with lame until it is killed.
const char kChild[] = "--encode-in-child";

// The new MP3 files in a folder, as the encoder writes them before they are put in place.
QStringList staged(const QString &folder)
{
    return QDir(folder).entryList({"*.purlwave-*.part"}, QDir::Files | QDir::Hidden | QDir::System);
}

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

    Rig(const QStringList &names, const QString &outFolder, const QString &custom, const QString &home = {})
        : dir(home.isEmpty() ? QDir::tempPath() + "/tst_batchrun-XXXXXX" : home + "/rig-XXXXXX")
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
    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }
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
        const QStringList files = staged(dir.path());
        partialSize = files.isEmpty() ? -1 : QFileInfo(path(files[0])).size();
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

// How the second encode of one MP3 path goes.
enum class Second { TextSource, CutSource, Killed };
// Makes a killed run's leftover one the next run may not remove: a descriptor to close after that run, -1
// for none, -2 when it could not, -3 when only root could.
using Guard = std::function<int(const QString &leftover)>;

} // namespace

Q_DECLARE_METATYPE(Case)
Q_DECLARE_METATYPE(Second)
Q_DECLARE_METATYPE(Guard)

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
            "{d}/%1.wav: exit code 1; the new MP3 file was removed\n    bad-input\n    second line";
        Case failing{{}, "--stderr bad-input --stderr \"second line\" --exit 1"};
        QStringList failingSteps = kStartSteps, listed;
        for (int row = 0; row < 22; ++row) {
            failing.rows << QString(mp3(row)).replace(".mp3", ".wav");
            failingSteps += rowSteps(row, 22);
            listed << failed.arg(QChar('a' + row));
        }
        QTest::newRow("exit code 1 fails all 22 files: 20 listed with their error lines, the rest counted")
            << failing
            << failingSteps
                   + QStringList(kCompletedSteps)
                         .replaceInStrings("activity colour 32768", "activity colour 192")
                         .replaceInStrings("activity: Done!", "activity: 22 of 22 files failed.")
                   + QStringList("box [Encoding errors]: 22 of 22 files could not be encoded:\n\n"
                                 + listed.mid(0, 20).join("\n\n") + "\n\n...and 2 more.");
        QTest::newRow("every row removed during the first file, the batch not told")
            << Case{.action = [](Rig &r) { r.view.rows.clear(); }, .atRow = 0, .encoded = "a"}
            << kStartSteps + rowSteps(0, 3) + kCompletedSteps;
        QTest::newRow("abandoned before the encoder starts") << abandoned(1, slowly) << abandonedSteps;
        QTest::newRow("abandoned while the encoder writes: the earlier MP3 stays whole")
            << abandoned(3, slowly, "a") << abandonedSteps;
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
            QVERIFY(run.atCall == 1 || rig.partialSize > 0);
        }
        QCOMPARE(staged(rig.dir.path()), QStringList());
        for (int i = 0; i < 4; ++i) {
            const QChar letter('a' + i);
            if (run.earlier.contains(letter))
                QCOMPARE(fileBytes(rig.path(mp3(i))), kEarlierMp3);
            else
                QCOMPARE(QFileInfo(rig.path(mp3(i))).size(), run.encoded.contains(letter) ? 1500 : 0);
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
    // them go on, numbered as they stood at the start; rows ahead shorten the run; rows added wait. The
    // run's share done never goes back, and rows removed ahead make the rest a larger share.
    void rowsRemovedDuringTheRun_data()
    {
        QTest::addColumn<int>("atRow"); // removed while this row's encoder runs
        QTest::addColumn<int>("added"); // rows appended just before
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("tracks");       // the status lines, "Encoding track " left out
        QTest::addColumn<QList<double>>("shares"); // the run's share done as told, repeats left out
        const QString all = QStringLiteral("a.mp3 (1/4)|b.mp3 (2/4)|c.mp3 (3/4)|d.mp3 (4/4)");
        const QList<double> quarters{0, 0.25, 0.5, 0.75};
        QTest::newRow("the current row: the next follows") << 1 << 0 << 1 << 1 << all << quarters;
        QTest::newRow("a row done: the rest keep their numbers and the share")
            << 2 << 0 << 0 << 1 << all << quarters;
        QTest::newRow("every row while the last runs: the share stays")
            << 3 << 0 << 0 << 4 << all << quarters;
        QTest::newRow("a row ahead: passed over, the rest count on")
            << 0 << 0 << 2 << 1 << "a.mp3 (1/4)|b.mp3 (2/4)|d.mp3 (3/4)"
            << QList<double>{0, 1 / 3.0, 2 / 3.0};
        QTest::newRow("three rows across the current one")
            << 1 << 0 << 0 << 3 << "a.mp3 (1/4)|b.mp3 (2/4)|d.mp3 (3/4)"
            << QList<double>{0, 0.25, 1 / 3.0, 2 / 3.0};
        QTest::newRow("a row added: it waits for the next run") << 0 << 1 << 0 << 0 << all << quarters;
        QTest::newRow("a row added, then removed: the run keeps its last")
            << 1 << 1 << 4 << 1 << all << quarters;
    }
    void rowsRemovedDuringTheRun()
    {
        QFETCH(int, atRow);
        QFETCH(int, added);
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(QString, tracks);
        QFETCH(QList<double>, shares);
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
        QList<double> progress = rig.view.progress;
        progress.erase(std::unique(progress.begin(), progress.end()), progress.end());
        QCOMPARE(progress, shares);
        for (const char *name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"})
            QCOMPARE(QFileInfo(rig.path(name)).size(), tracks.contains(name) ? 1500 : 0);
    }

    // What a run leaves of its sources and MP3 files, as its report says. One file is one file however its
    // path is spelt, with real files and links; a new MP3 file replaces the file a link leads to, and the
    // link stays; an MP3 file that was there stays byte for byte until a new one is good. Every row's
    // source is a WAV file the test writes.
    void filesLeftAsReported_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("outFolder");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<Links>("links");
        QTest::addColumn<QString>("earlier"); // an MP3 file there before the run
        QTest::addColumn<QString>("report");  // the one failed file's lines in the box; empty: no box
        QTest::addColumn<Sizes>("sizes");     // the earlier file's size: its very bytes
        const Links lnk{{"lnk", "x"}}, none;
        const QString fine = QStringLiteral("--bytes 1500");
        const QString removed = QStringLiteral("; the new MP3 file was removed");
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
        QTest::newRow("an MP3 path that is a link: the new MP3 replaces the file it leads to")
            << one << "out" << fine << Links{{"out/a.mp3", "t/a.mp3"}} << "t/a.mp3"
            << "" << Sizes{{"t/a.mp3", 1500}};
        QTest::newRow("an MP3 path that links into a missing folder: nothing run, the folder named")
            << one << "out" << fine << Links{{"out/a.mp3", "gone/a.mp3"}} << ""
            << "{d}/a.wav: no new MP3 file can be made in the folder {d}/gone (No such file or directory); "
               "check that "
               "it exists and that you may write to it"
            << Sizes{{"gone/a.mp3", -1}};
        const QString longName = QString(120, u'\u00e9'); // 240 bytes: the new file's name is cut to fit
        QTest::newRow("a name of 244 bytes") << QStringList{longName + ".wav"} << "" << fine << none << ""
                                             << "" << Sizes{{longName + ".mp3", 1500}};
        QTest::newRow("a folder at the MP3 path: the rename fails and says so")
            << QStringList{"a.wav", "a.mp3/b.wav"} << "" << fine << none << ""
            << "{d}/a.wav: the new MP3 file could not be renamed to {d}/a.mp3 (Is a directory)" + removed
            << Sizes{{"a.mp3/b.mp3", 1500}};
        const auto oneFails = [&](const char *name, const QString &custom, const QString &why,
                                  bool earlier = false) {
            QTest::newRow(name) << one << "" << custom << none << (earlier ? "a.mp3" : "")
                                << "{d}/a.wav: " + why << Sizes{{"a.mp3", earlier ? kEarlierMp3.size() : -1}};
        };
        oneFails("killed by a signal", "--bytes 1500 --signal 9",
                 "ended by a signal (exit code 137)" + removed);
        oneFails("exit code 0 without an MP3", "--no-output",
                 "the encoder reported success but wrote no MP3 file");
        oneFails("exit code 0 with an empty MP3", "--bytes 0",
                 "the encoder reported success but the MP3 file is empty" + removed);
        oneFails("exit code 1 after the encoder wrote: the earlier MP3 kept whole", "--bytes 1500 --exit 1",
                 "exit code 1; the earlier MP3 file was kept", true);
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
        for (auto link = links.cbegin(); link != links.cend(); ++link)
            QVERIFY(QDir().mkpath(QFileInfo(rig.path(link.key())).path())
                    && QFile::link(rig.path(*link), rig.path(link.key())));
        for (const QString &row : rows)
            QVERIFY(QDir().mkpath(QFileInfo(rig.path(row)).path())
                    && testsupport::writeToneWav(rig.path(row), 0.1));
        QVERIFY(earlier.isEmpty()
                || (QDir().mkpath(QFileInfo(rig.path(earlier)).path())
                    && testsupport::writeFile(rig.path(earlier), kEarlierMp3)));
        const QString box = QStringLiteral("box [Encoding errors]: 1 of %1 could not be encoded:\n\n%2")
                                .arg(rows.size() == 1 ? "1 file" : QString::number(rows.size()) + " files",
                                     report);
        QCOMPARE(rig.run().last(),
                 report.isEmpty() ? "config unload" : QString(box).replace("{d}", rig.dir.path()));
        QCOMPARE(childProcessCount(), 0);
        for (auto size = sizes.cbegin(); size != sizes.cend(); ++size) {
            QCOMPARE(QFileInfo::exists(rig.path(size.key())) ? QFileInfo(rig.path(size.key())).size() : -1,
                     *size);
            QVERIFY(*size != kEarlierMp3.size() || fileBytes(rig.path(size.key())) == kEarlierMp3);
            QCOMPARE(staged(QFileInfo(rig.path(size.key())).path()), QStringList());
        }
        for (auto link = links.cbegin(); link != links.cend(); ++link)
            QVERIFY(QFileInfo(rig.path(link.key())).isSymLink());
    }

    // One MP3 file encoded by lame from a tone, then again: whatever ends the second encode without a good
    // new MP3 leaves it byte for byte, also when the program is killed while lame writes; a new one that
    // is kept replaces it whole and counts as written. A third, good encode replaces it whole and removes
    // what a killed run left, unless another user owns that or a run holds it. A user's file of a like
    // name stays.
    void earlierMp3IsReplacedOnlyWhole_data()
    {
        QTest::addColumn<Second>("second");
        QTest::addColumn<Guard>("guard");
        QTest::addColumn<QStringList>("report"); // lines of the second run's box; "..." stands for any text
        const Guard none;
        QTest::newRow("a text file in place of the source: the earlier MP3 kept")
            << Second::TextSource << none
            << QStringList{"box [Encoding errors]: 1 of 1 file could not be encoded:",
                           "{d}/x/a.wav: ...; the earlier MP3 file was kept"};
        QTest::newRow(
            "a cut source: its MP3 replaces the earlier one, and no source of its name replaces that")
            << Second::CutSource << none
            << QStringList{"{d}/x/a.wav: cut short...; the new MP3 file was kept in place of the earlier one",
                           "{d}/y/a.wav: would overwrite {d}/out/a.mp3, written earlier in this run"};
        QTest::newRow(
            "the program killed while lame writes: the earlier MP3 whole, the leftover removed next")
            << Second::Killed << none << QStringList();
        QTest::newRow("killed, the leftover then another user's: it stays")
            << Second::Killed << Guard([](const QString &leftover) {
                   if (::geteuid() != 0)
                       return -3;
                   return ::chown(QFile::encodeName(leftover).constData(), 65534, 65534) == 0 ? -1 : -2;
               })
            << QStringList();
        QTest::newRow("killed, a copy then in the leftover's place: it stays")
            << Second::Killed << Guard([](const QString &leftover) {
                   return QFile::copy(leftover, leftover + ".copy") && QFile::remove(leftover)
                                  && QFile::rename(leftover + ".copy", leftover)
                              ? -1
                              : -2;
               })
            << QStringList();
        QTest::newRow("killed, the leftover then held by a run: it stays")
            << Second::Killed << Guard([](const QString &leftover) {
                   const int fd = ::open(QFile::encodeName(leftover).constData(), O_RDONLY | O_CLOEXEC);
                   return fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? fd : -2;
               })
            << QStringList();
    }
    void earlierMp3IsReplacedOnlyWhole()
    {
        QFETCH(Second, second);
        QFETCH(Guard, guard);
        QFETCH(QStringList, report);
        if (testsupport::realLame().isEmpty())
            QSKIP("lame is not installed");
        Rig rig({"x/a.wav"}, "out", "-h");
        rig.encoder = testsupport::realLame();
        const QString wav = rig.path("x/a.wav"), out = rig.path("out"), mp3 = rig.path("out/a.mp3");
        const QString userFile = ".a.mp3.purlwave-01234567-0123456789abcdef.part";
        QVERIFY(QDir().mkpath(rig.path("x")) && testsupport::writeToneWav(wav, 0.3));
        QVERIFY(testsupport::writeFile(rig.path("out/" + userFile), "a user's file"));
        QCOMPARE(rig.run().last(), "config unload");
        const QByteArray earlier = fileBytes(mp3);
        QVERIFY(testsupport::looksLikeMp3(mp3, 0.3));
        const auto leftovers = [&] {
            QStringList files = staged(out);
            files.removeOne(userFile);
            return files;
        };

        if (second == Second::Killed) {
            // The batch runs in a child of this program; lame reads the tone from a pipe, so it writes
            // part of its file and waits for the rest.
            QVERIFY(QFile::remove(wav) && ::mkfifo(QFile::encodeName(wav).constData(), 0600) == 0);
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {kChild, wav, out, rig.dir.path()});
            int pipe = -1;
            QTRY_VERIFY_WITH_TIMEOUT(
                (pipe = ::open(QFile::encodeName(wav).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0,
                20000);
            const QByteArray tone = testsupport::wavFile({.seconds = 10}).left(400000);
            bool fed = ::fcntl(pipe, F_SETFL, 0) == 0;
            for (qsizetype at = 0; fed && at < tone.size();) {
                const ssize_t n = ::write(pipe, tone.constData() + at, size_t(tone.size() - at));
                fed = n > 0;
                at += n;
            }
            QTRY_VERIFY_WITH_TIMEOUT(
                leftovers().size() == 1 && QFileInfo(out + '/' + leftovers()[0]).size() > 0, 20000);
            child.kill();
            QVERIFY(fed && child.waitForFinished());
            ::close(pipe); // lame, left without the program, reads the end and ends
            QVERIFY(QFile::remove(wav));
        } else if (second == Second::TextSource) {
            QVERIFY(testsupport::writeFile(wav, QByteArray("Shopping list:\nmilk\neggs\n").repeated(40)));
        } else {
            rig.view.rows << rig.path("y/a.wav");
            QVERIFY(testsupport::writeFile(
                wav, testsupport::wavFile({.seconds = 0.5, .declaredDataBytes = 44100 * 4})));
            QVERIFY(QDir().mkpath(rig.path("y")) && testsupport::writeToneWav(rig.path("y/a.wav"), 3));
        }
        if (second != Second::Killed) {
            const QStringList box = rig.run().last().split('\n');
            for (const QString &line : report) {
                QString pattern = '^'
                                  + QRegularExpression::escape(QString(line).replace("{d}", rig.dir.path()))
                                  + '$';
                QVERIFY2(box.indexOf(QRegularExpression(pattern.replace("\\.\\.\\.", ".*"))) >= 0,
                         qPrintable(box.join('\n')));
            }
        }
        QCOMPARE(fileBytes(mp3) == earlier, second != Second::CutSource);
        QVERIFY(testsupport::looksLikeMp3(mp3, second == Second::CutSource ? 0.5 : 0.3));
        const QStringList left = leftovers();
        QCOMPARE(left.size(), second == Second::Killed ? 1 : 0);

        const int held = guard ? guard(out + '/' + left.value(0)) : -1;
        if (held == -3)
            QSKIP("only root may give a file away");
        QVERIFY(held != -2);
        rig.view.rows = {wav};
        QVERIFY(testsupport::writeToneWav(wav, 1) && ::chmod(QFile::encodeName(mp3).constData(), 0604) == 0);
        QCOMPARE(rig.run().last(), "config unload");
        QVERIFY(testsupport::looksLikeMp3(mp3, 1) && fileBytes(mp3) != earlier);
        struct stat mode {};
        QVERIFY(::stat(QFile::encodeName(mp3).constData(), &mode) == 0 && (mode.st_mode & 07777) == 0604);
        QCOMPARE(leftovers(), guard ? left : QStringList());
        QCOMPARE(fileBytes(out + '/' + userFile), "a user's file");
        if (held >= 0)
            ::close(held);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == kChild) {
        Rig rig({argv[2]}, argv[3], "-h", argv[4]);
        rig.encoder = testsupport::realLame();
        rig.run();
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN); // a write to a pipe whose reader is gone fails, and the test says so
    TestBatchRun test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_batchrun.moc"
