#include "batch/batchrun.h"
#include "batch/configview.h"
#include "batch/mainview.h"
#include "settings/cinifile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// How a test changes the list while the batch walks it.
enum class ListChange { RemoveLast, RemoveAll, RemoveFirst, RemoveCurrent, RemoveLater, Append };
Q_DECLARE_METATYPE(ListChange)
Q_DECLARE_METATYPE(PresetButtons)

namespace {

// Records every operation the batch asks of the window, in order, and keeps the
// rows as the window would.
class RecordingView : public MainView {
public:
    mutable QStringList ops;
    QStringList rows;
    int selected = -1;
    bool selectedPastEnd = false;
    QString outPath, custom = QStringLiteral("--bytes 1500");
    PresetButtons buttons{.optCustom = true};

    void setCaption(const QString &t) override { ops << "caption: " + t; }
    void setLampColour(Lamp lamp, quint32 c) override
    {
        static const char *names[] = {"shpReady", "shpWait", "shpRecord"};
        ops << QStringLiteral("lamp %1 %2").arg(names[int(lamp)]).arg(c);
    }
    void setActivityText(const QString &t) override { ops << "activity: " + t; }
    void setActivityColour(quint32 c) override { ops << QStringLiteral("activity colour %1").arg(c); }
    void setProgressText(const QString &t) override { ops << "progress: " + t; }
    void setProgressColour(quint32 c) override { ops << QStringLiteral("progress colour %1").arg(c); }
    void setEncodeEnabled(bool on) override { ops << (on ? "encode on" : "encode off"); }
    void setCancelEnabled(bool on) override { ops << (on ? "cancel on" : "cancel off"); }
    int rowCount() const override { return ops << "rowCount", int(rows.size()); }
    void selectRow(int row) override
    {
        ops << QStringLiteral("select %1").arg(row);
        selectedPastEnd |= row >= rows.size();
        selected = row < rows.size() ? row : -1;
    }
    QString selectedRowText() const override
    {
        return ops << "selectedRowText", selected >= 0 ? rows.at(selected) : QString();
    }
    QString outPathText() const override { return ops << "outPathText", outPath; }
    QString customText() const override { return ops << "customText", custom; }
    PresetButtons presetButtons() const override { return ops << "presetButtons", buttons; }
    void messageBox(const QString &text, const std::optional<QString> &title) override
    {
        ops << (title ? QStringLiteral("box [%1]: %2").arg(*title, text) : "box: " + text);
    }

    // The ops without the runner's poll-by-poll noise: from the batch's own
    // pending-events call to the runner's "Done!", the size captions, blinks and
    // further pending-events calls go; anything else done there (a Cancel) stays.
    QStringList steps() const
    {
        QStringList out;
        bool inRunner = false;
        for (const QString &op : ops) {
            const bool noise = op == "doEvents" || op.endsWith("kbytes") || op.startsWith("lamp shpRecord");
            if (!inRunner || !noise)
                out << op;
            inRunner = inRunner ? op != "progress: Done!" : op == "doEvents";
        }
        return out;
    }
};

class RecordingConfig : public ConfigView {
public:
    explicit RecordingConfig(QStringList &ops) : m_ops(ops) {}
    QString path = testsupport::standinEncoder();
    QString lamePath() override { return m_ops << "config lamePath", path; }
    void unloadAndRelease() override { m_ops << "config unload"; }

private:
    QStringList &m_ops;
};

// One window's worth of batch: recording views, a real settings file in a
// temporary folder, and a pending-events call that a test can hook into.
struct Rig {
    QTemporaryDir dir;
    RecordingView view;
    RecordingConfig config{view.ops};
    Cinifile settings;
    QHash<int, int> eventsOfRow; // pending-events calls made while each row was selected
    std::function<void()> onEvents;
    BatchRun batch{view, config, settings, [this] {
                       view.ops << "doEvents";
                       ++eventsOfRow[view.selected];
                       if (onEvents)
                           onEvents();
                   }};

    Rig() { settings.setInifile(path("purlwave.ini")); }
    QString path(const QString &name) const { return dir.filePath(name); }
    void addRows(const QStringList &names)
    {
        for (const QString &name : names)
            view.rows << path(name);
    }
    // Runs the action once, at the n-th pending-events call made during a row: 1
    // is the batch's own call before the encoder starts, 2 the runner's first poll.
    void atEvents(int row, int n, std::function<void()> action)
    {
        onEvents = [=, this, done = false]() mutable {
            if (!done && view.selected == row && eventsOfRow.value(row) == n) {
                done = true;
                action();
            }
        };
    }
    void rerun()
    {
        view.ops.clear();
        eventsOfRow.clear();
        onEvents = nullptr;
        batch.cmdEncode_Click();
    }
};

const QStringList idleLamps{"lamp shpWait 16576", "lamp shpReady 65280", "lamp shpRecord 128"};
const QStringList startSteps{"caption: Preparing to encode...", "lamp shpWait 33023", "lamp shpReady 32768",
                             "cancel on", "encode off", "customText", "config lamePath", "rowCount",
                             "outPathText", "presetButtons", "caption: Encoding in process, please wait...",
                             "rowCount"};
const QStringList stopRequest{"cancel off",
                              "caption: User requested stop, please wait while finishing current track..."};

QStringList rowSteps(int index, const QString &shown, const QStringList &whileEncoding = {})
{
    return QStringList{"rowCount", QStringLiteral("select %1").arg(index), "selectedRowText",
                       "activity colour 192", "activity: Encoding track " + shown, "progress colour 192",
                       "doEvents"}
           << whileEncoding << "progress: Done!" << "progress colour 32768";
}

QStringList completedSteps()
{
    return QStringList{"rowCount", "activity colour 32768", "activity: Done!", "encode on", "cancel off",
                       "caption: " + BatchRun::titleCompleted()}
           << idleLamps << "config unload";
}

bool endsWith(const QStringList &steps, const QStringList &tail)
{
    return steps.size() >= tail.size() && steps.mid(steps.size() - tail.size()) == tail;
}

// Processes whose command line mentions the folder: encoders left running.
QStringList processesMentioning(const QString &folder)
{
    QStringList found;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile cmdline("/proc/" + pid + "/cmdline");
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(folder.toUtf8()))
            found << pid;
    }
    return found;
}

} // namespace

class TestBatchRun : public QObject {
    Q_OBJECT

private slots:
    void threeRowsEncodeInOrderAndEndCompleted()
    {
        Rig rig;
        rig.addRows({"a.wav", "b.wav", "c.wav"});
        rig.batch.cmdEncode_Click();

        QCOMPARE(rig.view.steps(), QStringList(startSteps) << rowSteps(0, "a.mp3 (1/3)") << rowSteps(1, "b.mp3 (2/3)")
                                                           << rowSteps(2, "c.mp3 (3/3)") << completedSteps());
        for (const char *mp3 : {"a.mp3", "b.mp3", "c.mp3"})
            QCOMPARE(QFileInfo(rig.path(mp3)).size(), 1500);
        QCOMPARE(rig.settings.GetFile("SETTINGS", "Default Encoding"), QStringLiteral("4"));
        QCOMPARE(rig.batch.state().strCommand, testsupport::standinEncoder() + " --bytes 1500  \""
                                                   + rig.path("c.wav") + "\" \"" + rig.path("c.mp3") + "\"");
    }

    void emptyListEndsWithErrorBoxAndWritesNothing()
    {
        Rig rig;
        rig.batch.cmdEncode_Click();
        QCOMPARE(rig.view.steps(), startSteps.mid(0, 8) << "box [Error!]: No wav-files selected for encoding!"
                                                        << "encode on" << "cancel off" << idleLamps
                                                        << "caption: Encoding failed.");
        QVERIFY(!QFile::exists(rig.settings.inifile()));
    }

    void refusedSecondRowEndsRunAfterFirstFile()
    {
        Rig rig;
        rig.addRows({"a.wav", "b.mp3", "c.wav"});
        rig.batch.cmdEncode_Click();

        QCOMPARE(rig.view.steps(), QStringList(startSteps)
                                       << rowSteps(0, "a.mp3 (1/3)") << "rowCount" << "select 1" << "selectedRowText"
                                       << "box: MP3 is not a valid extension." << "encode on" << "cancel off"
                                       << idleLamps << "activity: Ready" << "caption: Action Cancelled");
        QVERIFY(QFile::exists(rig.path("a.mp3")));
        QVERIFY(!QFile::exists(rig.path("c.mp3")));
    }

    void cancelInsideEventsStopsAfterCurrentFile_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("cancelRow");
        QTest::newRow("second of three files") << QStringList{"a", "b", "c"} << 1;
        QTest::newRow("last of three files") << QStringList{"a", "b", "c"} << 2;
        QTest::newRow("only file") << QStringList{"a"} << 0;
    }
    void cancelInsideEventsStopsAfterCurrentFile()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, cancelRow);
        Rig rig;
        for (const QString &name : rows)
            rig.addRows({name + ".wav"});
        rig.atEvents(cancelRow, 2, [&rig] { rig.batch.cmdCancel_Click(); });
        rig.batch.cmdEncode_Click();

        QStringList expected = startSteps;
        for (int i = 0; i <= cancelRow; ++i)
            expected << rowSteps(i, QStringLiteral("%1.mp3 (%2/%3)").arg(rows[i]).arg(i + 1).arg(rows.size()),
                                 i == cancelRow ? stopRequest : QStringList());
        // The lamps stay as the run left them, and the configuration window stays.
        expected << "activity colour 192" << "activity: User Requested Stop!" << "progress colour 32768"
                 << "caption: " + BatchRun::titleStopped() << "encode on" << "cancel off";
        QCOMPARE(rig.view.steps(), expected);
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(QFile::exists(rig.path(rows[i] + ".mp3")), i <= cancelRow);

        // The stop was used up: the next run encodes the whole list.
        rig.rerun();
        QVERIFY(endsWith(rig.view.steps(), completedSteps()));
        QVERIFY(QFile::exists(rig.path(rows.last() + ".mp3")));
    }

    void noPresetAtFirstRunRunsRealEncoderWithoutParameters()
    {
        if (testsupport::realLame().isEmpty())
            QSKIP("lame is not installed");
        Rig rig;
        rig.config.path = testsupport::realLame();
        rig.view.buttons = {};
        rig.addRows({"a.wav"});
        QVERIFY(testsupport::writeToneWav(rig.path("a.wav"), 0.5));
        rig.batch.cmdEncode_Click();

        QCOMPARE(rig.batch.state().strCommand,
                 rig.config.path + " \"" + rig.path("a.wav") + "\" \"" + rig.path("a.mp3") + "\"");
        QVERIFY(endsWith(rig.view.steps(), completedSteps()));
        QVERIFY(testsupport::looksLikeMp3(rig.path("a.mp3"), 0.5));
        QVERIFY(!QFile::exists(rig.settings.inifile()));
    }

    void presetCodeIsSavedEvenWhenFirstRowIsRefused_data()
    {
        QTest::addColumn<PresetButtons>("buttons");
        QTest::addColumn<QString>("code");
        QTest::newRow("256 kbps") << PresetButtons{false, false, true, false} << "3";
        QTest::newRow("128 and custom: the last tested stays") << PresetButtons{true, false, false, true} << "4";
    }
    void presetCodeIsSavedEvenWhenFirstRowIsRefused()
    {
        QFETCH(PresetButtons, buttons);
        QFETCH(QString, code);
        Rig rig;
        rig.view.buttons = buttons;
        rig.addRows({"a.mp3"});
        rig.batch.cmdEncode_Click();
        QVERIFY(endsWith(rig.view.steps(), {"caption: Action Cancelled"}));
        QCOMPARE(rig.settings.GetFile("SETTINGS", "Default Encoding"), code);
    }

    void encoderThatCannotStartEndsRunAtOnce()
    {
        Rig rig;
        rig.config.path = rig.path("no-such-encoder");
        rig.addRows({"a.wav", "b.wav"});
        // A Cancel just before the failed start must not stop the next run.
        rig.atEvents(0, 1, [&rig] { rig.batch.cmdCancel_Click(); });
        rig.batch.cmdEncode_Click();

        QCOMPARE(rig.view.steps(), QStringList(startSteps)
                                       << rowSteps(0, "a.mp3 (1/2)", stopRequest)
                                       << "box [Error!]: The encoder could not be started:\n" + rig.config.path
                                              + "\n\nThe path to the encoder can be set with Config."
                                       << "encode on" << "cancel off" << idleLamps << "activity: Ready"
                                       << "caption: Encoding failed.");

        rig.config.path = testsupport::standinEncoder();
        rig.rerun();
        QVERIFY(endsWith(rig.view.steps(), completedSteps()));
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
        Rig rig;
        rig.view.custom = custom;
        rig.addRows(rows);
        rig.batch.cmdEncode_Click();

        QStringList steps = rig.view.steps();
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
        QTest::addColumn<ListChange>("change");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<QStringList>("shown");
        const QStringList all{"a.mp3 (1/3)", "b.mp3 (2/3)", "c.mp3 (3/3)"};

        QTest::newRow("last row removed during the second file") << 1 << ListChange::RemoveLast << false << all.mid(0, 2);
        QTest::newRow("every row removed during the first file") << 0 << ListChange::RemoveAll << false << all.mid(0, 1);
        QTest::newRow("first row removed during the second file") << 1 << ListChange::RemoveFirst << true << all;
        QTest::newRow("current row removed during its file") << 1 << ListChange::RemoveCurrent << true << all;
        QTest::newRow("later row removed during the first file") << 0 << ListChange::RemoveLater << true << all.mid(0, 2);
        // Without the notice the row that moves up into the current place is
        // passed over: never encoded twice, never selected past the end.
        QTest::newRow("first row removed, not reported") << 1 << ListChange::RemoveFirst << false << all.mid(0, 2);
        QTest::newRow("row dropped during the first file waits for the next run")
            << 0 << ListChange::Append << false << all;
    }
    void listChangedDuringRunNeverRepeatsOrOverruns()
    {
        QFETCH(int, atRow);
        QFETCH(ListChange, change);
        QFETCH(bool, reported);
        QFETCH(QStringList, shown);
        Rig rig;
        rig.addRows({"a.wav", "b.wav", "c.wav"});
        QStringList &rows = rig.view.rows;
        rig.atEvents(atRow, 2, [&] {
            const int removed = change == ListChange::RemoveFirst ? 0 : change == ListChange::RemoveCurrent ? 1 : 2;
            if (change == ListChange::Append) {
                rows << rig.path("d.wav");
            } else if (change == ListChange::RemoveAll) {
                rows.clear();
            } else {
                rows.removeAt(removed);
                if (reported)
                    rig.batch.rowsRemoved(removed, 1);
            }
        });
        rig.batch.cmdEncode_Click();

        QStringList encoded = rig.view.steps().filter("activity: Encoding track ");
        QCOMPARE(encoded.replaceInStrings("activity: Encoding track ", ""), shown);
        QVERIFY(!rig.view.selectedPastEnd);
        QVERIFY(endsWith(rig.view.steps(), completedSteps()));
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
        Rig rig;
        rig.view.custom = QStringLiteral("--bytes 100000 --chunk 1000 --interval 50"); // five seconds
        rig.addRows({"a.wav", "b.wav"});
        qsizetype opsAtAbandon = -1;
        qint64 partialSize = -1;
        rig.atEvents(0, atEvents, [&] {
            partialSize = QFileInfo(rig.path("a.mp3")).size();
            rig.batch.abandon();
            opsAtAbandon = rig.view.ops.size();
        });
        rig.batch.cmdEncode_Click();

        QCOMPARE(rig.view.ops.size(), opsAtAbandon); // the view was left alone
        QVERIFY(atEvents == 1 || partialSize > 0);
        QVERIFY(!QFile::exists(rig.path("a.mp3")));
        QVERIFY(!QFile::exists(rig.path("b.mp3")));
        QVERIFY(!rig.batch.isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(processesMentioning(rig.dir.path()), QStringList(), 2000);
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
