#include "batch/batchrun.h"
#include "batch/configview.h"
#include "batch/mainview.h"
#include "settings/cinifile.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

// How a test changes the list while the batch walks it.
enum class ListChange {
    RemoveLast,
    RemoveAll,
    RemoveFirstReported,
    RemoveCurrentReported,
    RemoveLaterReported,
    RemoveFirstUnreported,
    AppendRow,
};
Q_DECLARE_METATYPE(ListChange)
Q_DECLARE_METATYPE(PresetButtons)

namespace {

QString lampName(Lamp lamp)
{
    switch (lamp) {
    case Lamp::shpReady:
        return QStringLiteral("shpReady");
    case Lamp::shpWait:
        return QStringLiteral("shpWait");
    case Lamp::shpRecord:
        return QStringLiteral("shpRecord");
    }
    return {};
}

// Records every operation the batch asks of the window, in order, and keeps the
// list of rows as the window would.
class RecordingMainView : public MainView {
public:
    mutable QStringList ops;
    QStringList rows;
    int selected = -1;
    bool selectedPastEnd = false;
    QString outPath;
    QString custom;
    PresetButtons buttons;

    void setCaption(const QString &caption) override { ops << "caption: " + caption; }
    void setLampColour(Lamp lamp, quint32 colour) override
    {
        ops << QStringLiteral("lamp %1 %2").arg(lampName(lamp)).arg(colour);
    }
    void setActivityText(const QString &text) override { ops << "activity: " + text; }
    void setActivityColour(quint32 colour) override { ops << QStringLiteral("activity colour %1").arg(colour); }
    void setProgressText(const QString &text) override { ops << "progress: " + text; }
    void setProgressColour(quint32 colour) override { ops << QStringLiteral("progress colour %1").arg(colour); }
    void setEncodeEnabled(bool enabled) override { ops << (enabled ? "encode on" : "encode off"); }
    void setCancelEnabled(bool enabled) override { ops << (enabled ? "cancel on" : "cancel off"); }
    int rowCount() const override
    {
        ops << "rowCount";
        return int(rows.size());
    }
    void selectRow(int row) override
    {
        ops << QStringLiteral("select %1").arg(row);
        if (row >= rows.size())
            selectedPastEnd = true;
        selected = row < rows.size() ? row : -1;
    }
    QString selectedRowText() const override
    {
        ops << "selectedRowText";
        return selected >= 0 ? rows.at(selected) : QString();
    }
    QString outPathText() const override
    {
        ops << "outPathText";
        return outPath;
    }
    QString customText() const override
    {
        ops << "customText";
        return custom;
    }
    PresetButtons presetButtons() const override
    {
        ops << "presetButtons";
        return buttons;
    }
    void messageBox(const QString &text, const std::optional<QString> &title) override
    {
        ops << (title ? QStringLiteral("box [%1]: %2").arg(*title, text) : "box: " + text);
    }

    // The ops without the runner's poll-by-poll noise: between the batch's own
    // pending-events call and the runner's "Done!", the size captions, the blinks
    // and the further pending-events calls go; whatever else happened there
    // (a Cancel, say) stays.
    QStringList steps() const
    {
        QStringList out;
        bool inRunner = false;
        for (const QString &op : ops) {
            if (!inRunner) {
                inRunner = op == QLatin1String("doEvents");
                out << op;
                continue;
            }
            if (op == QLatin1String("progress: Done!")) {
                inRunner = false;
                out << op;
            } else if (op != QLatin1String("doEvents") && !op.endsWith(QLatin1String("kbytes"))
                       && !op.startsWith(QLatin1String("lamp shpRecord"))) {
                out << op;
            }
        }
        return out;
    }
};

class RecordingConfigView : public ConfigView {
public:
    explicit RecordingConfigView(QStringList &ops) : m_ops(ops) {}
    QString path;
    QString lamePath() override
    {
        m_ops << "config lamePath";
        return path;
    }
    void unloadAndRelease() override { m_ops << "config unload"; }

private:
    QStringList &m_ops;
};

// One window's worth of batch: the recording views, a real settings file in a
// temporary folder, and a pending-events call that the test can hook into.
struct Rig {
    QTemporaryDir dir;
    RecordingMainView view;
    RecordingConfigView config{view.ops};
    Cinifile settings;
    QHash<int, int> eventsOfRow; // pending-events calls made while each row was selected
    std::function<void()> onEvents;
    BatchRun batch{view, config, settings, [this] {
                       view.ops << "doEvents";
                       ++eventsOfRow[view.selected];
                       if (onEvents)
                           onEvents();
                   }};

    Rig()
    {
        settings.setInifile(dir.filePath(QStringLiteral("purlwave.ini")));
        config.path = testsupport::standinEncoder();
        view.buttons.optCustom = true;
        view.custom = QStringLiteral("--bytes 1500");
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    void addRows(const QStringList &names)
    {
        for (const QString &name : names)
            view.rows << path(name);
    }
    // Runs the hook once, at the n-th pending-events call made during a row
    // (1 is the batch's own call before the encoder starts, 2 the runner's first poll).
    void atEvents(int row, int n, std::function<void()> action)
    {
        onEvents = [this, row, n, action, done = false]() mutable {
            if (!done && view.selected == row && eventsOfRow.value(row) == n) {
                done = true;
                action();
            }
        };
    }
    QString savedPreset() const { return settings.GetFile("SETTINGS", "Default Encoding"); }
    void rerun()
    {
        view.ops.clear();
        eventsOfRow.clear();
        onEvents = nullptr;
        batch.cmdEncode_Click();
    }
};

QStringList startSteps()
{
    return {"caption: Preparing to encode...", "lamp shpWait 33023", "lamp shpReady 32768", "cancel on",
            "encode off", "customText", "config lamePath", "rowCount", "outPathText", "presetButtons",
            "caption: Encoding in process, please wait...", "rowCount"};
}

QStringList rowSteps(int index, const QString &mp3, int total, const QStringList &whileEncoding = {},
                     int counter = -1)
{
    QStringList steps{"rowCount",
                      QStringLiteral("select %1").arg(index),
                      "selectedRowText",
                      "activity colour 192",
                      QStringLiteral("activity: Encoding track %1 (%2/%3)")
                          .arg(mp3)
                          .arg(counter < 0 ? index + 1 : counter)
                          .arg(total),
                      "progress colour 192",
                      "doEvents"};
    return steps << whileEncoding << "progress: Done!" << "progress colour 32768";
}

const QStringList idleLamps{"lamp shpWait 16576", "lamp shpReady 65280", "lamp shpRecord 128"};

QStringList completedSteps()
{
    return QStringList{"rowCount", "activity colour 32768", "activity: Done!", "encode on", "cancel off",
                       "caption: " + BatchRun::titleCompleted()}
           << idleLamps << "config unload";
}

QStringList stoppedSteps()
{
    return {"activity colour 192", "activity: User Requested Stop!", "progress colour 32768",
            "caption: " + BatchRun::titleStopped(), "encode on", "cancel off"};
}

const QStringList stopRequestSteps{"cancel off",
                                   "caption: User requested stop, please wait while finishing current track..."};

bool endsWith(const QStringList &steps, const QStringList &tail)
{
    return steps.size() >= tail.size() && steps.mid(steps.size() - tail.size()) == tail;
}

// Processes whose command line mentions the folder: encoders left running.
QStringList processesMentioning(const QString &folder)
{
    QStringList found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(folder.toUtf8()))
            found << pid;
    }
    return found;
}

} // namespace

class TestBatchRun : public QObject {
    Q_OBJECT

private slots:
    void threeRowsEncodeInOrderAndEndCompleted();
    void emptyListEndsWithErrorBoxAndWritesNothing();
    void refusedSecondRowEndsRunAfterFirstFile();
    void cancelInsideEventsStopsAfterCurrentFile_data();
    void cancelInsideEventsStopsAfterCurrentFile();
    void noPresetAtFirstRunRunsEncoderWithoutParameters();
    void noPresetKeepsPreviousRunsParameters();
    void presetCodeIsSavedEvenWhenFirstRowIsRefused_data();
    void presetCodeIsSavedEvenWhenFirstRowIsRefused();
    void encoderThatCannotStartEndsRunAtOnce();
    void cancelBeforeFailedStartIsNotLeftForNextRun();
    void failedFilesAreReportedAndRunGoesOn_data();
    void failedFilesAreReportedAndRunGoesOn();
    void failureBoxListsEachFileWithExitCodeAndErrorLines();
    void listChangedDuringRunNeverRepeatsOrOverruns_data();
    void listChangedDuringRunNeverRepeatsOrOverruns();
    void abandonKillsEncoderAndLeavesNoPartialMp3_data();
    void abandonKillsEncoderAndLeavesNoPartialMp3();
    void realLameEncodesRowsIntoOutputFolder();
};

void TestBatchRun::threeRowsEncodeInOrderAndEndCompleted()
{
    Rig rig;
    rig.addRows({"a.wav", "b.wav", "c.wav"});

    rig.batch.cmdEncode_Click();

    QCOMPARE(rig.view.steps(), startSteps() << rowSteps(0, "a.mp3", 3) << rowSteps(1, "b.mp3", 3)
                                            << rowSteps(2, "c.mp3", 3) << completedSteps());
    for (const char *mp3 : {"a.mp3", "b.mp3", "c.mp3"})
        QCOMPARE(QFileInfo(rig.path(mp3)).size(), 1500);
    QCOMPARE(rig.savedPreset(), QStringLiteral("4"));
    QCOMPARE(rig.batch.state().strCommand,
             testsupport::standinEncoder() + " --bytes 1500  \"" + rig.path("c.wav") + "\" \""
                 + rig.path("c.mp3") + "\"");
    QVERIFY(!rig.batch.isRunning());
}

void TestBatchRun::emptyListEndsWithErrorBoxAndWritesNothing()
{
    Rig rig;
    rig.batch.cmdEncode_Click();

    QCOMPARE(rig.view.steps(),
             QStringList({"caption: Preparing to encode...", "lamp shpWait 33023", "lamp shpReady 32768",
                          "cancel on", "encode off", "customText", "config lamePath", "rowCount",
                          "box [Error!]: No wav-files selected for encoding!", "encode on", "cancel off"})
                 << idleLamps << "caption: Encoding failed.");
    QVERIFY(!QFile::exists(rig.settings.inifile()));
}

void TestBatchRun::refusedSecondRowEndsRunAfterFirstFile()
{
    Rig rig;
    rig.addRows({"a.wav", "b.mp3", "c.wav"});

    rig.batch.cmdEncode_Click();

    QCOMPARE(rig.view.steps(), startSteps() << rowSteps(0, "a.mp3", 3)
                                            << QStringList({"rowCount", "select 1", "selectedRowText",
                                                            "box: MP3 is not a valid extension.", "encode on",
                                                            "cancel off"})
                                            << idleLamps << "activity: Ready" << "caption: Action Cancelled");
    QVERIFY(QFile::exists(rig.path("a.mp3")));
    QVERIFY(!QFile::exists(rig.path("c.mp3")));
}

void TestBatchRun::cancelInsideEventsStopsAfterCurrentFile_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cancelRow");
    QTest::newRow("second of three files") << 3 << 1;
    QTest::newRow("last of three files") << 3 << 2;
    QTest::newRow("only file") << 1 << 0;
}

void TestBatchRun::cancelInsideEventsStopsAfterCurrentFile()
{
    QFETCH(int, rows);
    QFETCH(int, cancelRow);
    const QStringList names{"a", "b", "c"};

    Rig rig;
    for (int i = 0; i < rows; ++i)
        rig.addRows({names[i] + ".wav"});
    // The runner's first poll: the encoder of that row has been started.
    rig.atEvents(cancelRow, 2, [&rig] { rig.batch.cmdCancel_Click(); });

    rig.batch.cmdEncode_Click();

    QStringList expected = startSteps();
    for (int i = 0; i < cancelRow; ++i)
        expected << rowSteps(i, names[i] + ".mp3", rows);
    expected << rowSteps(cancelRow, names[cancelRow] + ".mp3", rows, stopRequestSteps) << stoppedSteps();
    QCOMPARE(rig.view.steps(), expected);
    for (int i = 0; i < rows; ++i)
        QCOMPARE(QFile::exists(rig.path(names[i] + ".mp3")), i <= cancelRow);
    QCOMPARE(rig.batch.state().lngStopRequest, 0);

    // The stop was used up: the next run encodes the whole list.
    rig.rerun();
    QVERIFY(endsWith(rig.view.steps(), completedSteps()));
    for (int i = 0; i < rows; ++i)
        QVERIFY(QFile::exists(rig.path(names[i] + ".mp3")));
}

void TestBatchRun::noPresetAtFirstRunRunsEncoderWithoutParameters()
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
             testsupport::realLame() + " \"" + rig.path("a.wav") + "\" \"" + rig.path("a.mp3") + "\"");
    QVERIFY(testsupport::looksLikeMp3(rig.path("a.mp3"), 0.5));
    QVERIFY(endsWith(rig.view.steps(), completedSteps()));
    QVERIFY(!QFile::exists(rig.settings.inifile()));
}

void TestBatchRun::noPresetKeepsPreviousRunsParameters()
{
    Rig rig;
    rig.addRows({"a.wav"});
    rig.view.buttons = {.opt128 = false, .optVar = false, .Opt256 = true, .optCustom = false};
    rig.batch.cmdEncode_Click();
    QCOMPARE(rig.savedPreset(), QStringLiteral("3"));

    rig.view.buttons = {};
    QVERIFY(rig.settings.WriteFile("SETTINGS", "Default Encoding", "1"));
    rig.rerun();

    QCOMPARE(rig.batch.state().strParams, QStringLiteral(" -b 256 -h "));
    QCOMPARE(rig.batch.state().strCommandBase, testsupport::standinEncoder() + " -b 256 -h ");
    QCOMPARE(rig.savedPreset(), QStringLiteral("1"));
}

void TestBatchRun::presetCodeIsSavedEvenWhenFirstRowIsRefused_data()
{
    QTest::addColumn<PresetButtons>("buttons");
    QTest::addColumn<QString>("code");
    QTest::newRow("128 kbps") << PresetButtons{true, false, false, false} << "1";
    QTest::newRow("VBR") << PresetButtons{false, true, false, false} << "2";
    QTest::newRow("256 kbps") << PresetButtons{false, false, true, false} << "3";
    QTest::newRow("custom") << PresetButtons{false, false, false, true} << "4";
    QTest::newRow("128 and custom: the last one tested stays") << PresetButtons{true, false, false, true} << "4";
}

void TestBatchRun::presetCodeIsSavedEvenWhenFirstRowIsRefused()
{
    QFETCH(PresetButtons, buttons);
    QFETCH(QString, code);
    Rig rig;
    rig.view.buttons = buttons;
    rig.addRows({"a.mp3"});

    rig.batch.cmdEncode_Click();

    QVERIFY(rig.view.steps().endsWith("caption: Action Cancelled"));
    QCOMPARE(rig.savedPreset(), code);
}

void TestBatchRun::encoderThatCannotStartEndsRunAtOnce()
{
    Rig rig;
    rig.config.path = rig.path("no-such-encoder");
    rig.addRows({"a.wav", "b.wav"});

    rig.batch.cmdEncode_Click();

    QCOMPARE(rig.view.steps(),
             startSteps() << rowSteps(0, "a.mp3", 2)
                          << "box [Error!]: The encoder could not be started:\n" + rig.path("no-such-encoder")
                                 + "\n\nThe path to the encoder can be set with Config."
                          << "encode on" << "cancel off" << idleLamps << "activity: Ready"
                          << "caption: Encoding failed.");
}

void TestBatchRun::cancelBeforeFailedStartIsNotLeftForNextRun()
{
    Rig rig;
    rig.config.path = rig.path("no-such-encoder");
    rig.addRows({"a.wav", "b.wav"});
    rig.atEvents(0, 1, [&rig] { rig.batch.cmdCancel_Click(); });
    rig.batch.cmdEncode_Click();
    QCOMPARE(rig.batch.state().lngStopRequest, 0);

    rig.config.path = testsupport::standinEncoder();
    rig.rerun();
    QVERIFY(endsWith(rig.view.steps(), completedSteps()));
    QVERIFY(QFile::exists(rig.path("b.mp3")));
}

void TestBatchRun::failedFilesAreReportedAndRunGoesOn_data()
{
    QTest::addColumn<QString>("custom");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("why");

    const QStringList three{"a.wav", "b.wav", "c.wav"};
    QTest::newRow("exit code 1") << "--bytes 100 --exit 1" << three << "3 of 3 files failed."
                                 << "a.wav: exit code 1";
    QTest::newRow("killed by a signal") << "--bytes 100 --signal 9" << three << "3 of 3 files failed."
                                        << "a.wav: ended by a signal (exit code 137)";
    QTest::newRow("no MP3 written") << "--no-output" << QStringList{"a.wav"} << "1 of 1 file failed."
                                    << "a.wav: exit code 0, but no MP3 file was written";
    QTest::newRow("empty MP3") << "--bytes 0" << QStringList{"a.wav", "b.wav"} << "2 of 2 files failed."
                               << "b.wav: exit code 0, but the MP3 file is empty";
    QTest::newRow("middle file only: its folder is missing")
        << "--bytes 100" << QStringList{"a.wav", "missing/b.wav", "c.wav"} << "1 of 3 files failed."
        << "missing/b.wav: exit code 2";
}

void TestBatchRun::failedFilesAreReportedAndRunGoesOn()
{
    QFETCH(QString, custom);
    QFETCH(QStringList, rows);
    QFETCH(QString, status);
    QFETCH(QString, why);

    Rig rig;
    rig.view.custom = custom;
    rig.addRows(rows);
    rig.batch.cmdEncode_Click();

    const QStringList steps = rig.view.steps();
    // Every row was tried.
    QCOMPARE(steps.filter("activity: Encoding track").size(), rows.size());
    const QStringList end{"rowCount", "activity colour 192", "activity: " + status, "encode on", "cancel off",
                          "caption: " + BatchRun::titleCompleted()};
    QCOMPARE(steps.mid(steps.size() - end.size() - 5, end.size()), end);
    QCOMPARE(steps.mid(steps.size() - 5, 4), QStringList(idleLamps) << "config unload");
    QVERIFY2(steps.last().startsWith("box [Encoding errors]: "), qPrintable(steps.last()));
    QVERIFY2(steps.last().contains(rig.path(why)), qPrintable(steps.last()));
    if (rows.contains("c.wav"))
        QVERIFY(QFile::exists(rig.path("c.mp3")));
}

void TestBatchRun::failureBoxListsEachFileWithExitCodeAndErrorLines()
{
    Rig rig;
    rig.view.custom = QStringLiteral("--bytes 100 --stderr bad-input --stderr \"second line\" --exit 1");
    rig.addRows({"a.wav", "b.wav"});
    rig.batch.cmdEncode_Click();

    QCOMPARE(rig.view.steps().last(),
             "box [Encoding errors]: 2 of 2 files could not be encoded:\n\n" + rig.path("a.wav")
                 + ": exit code 1\n    bad-input\n    second line\n\n" + rig.path("b.wav")
                 + ": exit code 1\n    bad-input\n    second line");
}

void TestBatchRun::listChangedDuringRunNeverRepeatsOrOverruns_data()
{
    QTest::addColumn<int>("atRow");
    QTest::addColumn<ListChange>("change");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("last row removed during the second file")
        << 1 << ListChange::RemoveLast << QStringList{"a.mp3 (1/3)", "b.mp3 (2/3)"};
    QTest::newRow("every row removed during the first file")
        << 0 << ListChange::RemoveAll << QStringList{"a.mp3 (1/3)"};
    QTest::newRow("first row removed during the second file, reported")
        << 1 << ListChange::RemoveFirstReported << QStringList{"a.mp3 (1/3)", "b.mp3 (2/3)", "c.mp3 (3/3)"};
    QTest::newRow("current row removed during its file, reported")
        << 1 << ListChange::RemoveCurrentReported << QStringList{"a.mp3 (1/3)", "b.mp3 (2/3)", "c.mp3 (3/3)"};
    QTest::newRow("a later row removed, reported")
        << 0 << ListChange::RemoveLaterReported << QStringList{"a.mp3 (1/3)", "b.mp3 (2/3)"};
    // Without the notice the row that moves up into the current place is passed
    // over: never encoded twice, never selected past the end.
    QTest::newRow("first row removed during the second file, not reported")
        << 1 << ListChange::RemoveFirstUnreported << QStringList{"a.mp3 (1/3)", "b.mp3 (2/3)"};
    QTest::newRow("row dropped during the first file is left for the next run")
        << 0 << ListChange::AppendRow << QStringList{"a.mp3 (1/3)", "b.mp3 (2/3)", "c.mp3 (3/3)"};
}

void TestBatchRun::listChangedDuringRunNeverRepeatsOrOverruns()
{
    QFETCH(int, atRow);
    QFETCH(ListChange, change);
    QFETCH(QStringList, shown);

    Rig rig;
    rig.addRows({"a.wav", "b.wav", "c.wav"});
    QStringList &rows = rig.view.rows;
    rig.atEvents(atRow, 2, [&] {
        switch (change) {
        case ListChange::RemoveLast:
            rows.removeLast();
            break;
        case ListChange::RemoveAll:
            rows.clear();
            break;
        case ListChange::RemoveFirstReported:
            rows.removeFirst();
            rig.batch.rowsRemoved(0, 1);
            break;
        case ListChange::RemoveCurrentReported:
            rows.removeAt(1);
            rig.batch.rowsRemoved(1, 1);
            break;
        case ListChange::RemoveLaterReported:
            rows.removeAt(2);
            rig.batch.rowsRemoved(2, 1);
            break;
        case ListChange::RemoveFirstUnreported:
            rows.removeFirst();
            break;
        case ListChange::AppendRow:
            rows << rig.path("d.wav");
            break;
        }
    });

    rig.batch.cmdEncode_Click();

    QStringList encoded = rig.view.steps().filter("activity: Encoding track ");
    encoded.replaceInStrings("activity: Encoding track ", "");
    QCOMPARE(encoded, shown);
    QVERIFY(!rig.view.selectedPastEnd);
    QVERIFY(endsWith(rig.view.steps(), completedSteps()));
    QVERIFY(!QFile::exists(rig.path("d.mp3")));
}

void TestBatchRun::abandonKillsEncoderAndLeavesNoPartialMp3_data()
{
    QTest::addColumn<int>("atEvents");
    QTest::newRow("before the encoder starts") << 1;
    QTest::newRow("while the encoder writes") << 3;
}

void TestBatchRun::abandonKillsEncoderAndLeavesNoPartialMp3()
{
    QFETCH(int, atEvents);
    Rig rig;
    // Five seconds of slow writing: it is still running when abandoned.
    rig.view.custom = QStringLiteral("--bytes 100000 --chunk 1000 --interval 50");
    rig.addRows({"a.wav", "b.wav"});
    qsizetype opsAtAbandon = -1;
    qint64 partialSize = -1;
    rig.atEvents(0, atEvents, [&] {
        partialSize = QFileInfo(rig.path("a.mp3")).size();
        rig.batch.abandon();
        opsAtAbandon = rig.view.ops.size();
    });

    rig.batch.cmdEncode_Click();

    QVERIFY(opsAtAbandon > 0);
    QCOMPARE(rig.view.ops.size(), opsAtAbandon); // the view was left alone
    if (atEvents > 1)
        QVERIFY(partialSize > 0);
    QVERIFY(!QFile::exists(rig.path("a.mp3")));
    QVERIFY(!QFile::exists(rig.path("b.mp3")));
    QVERIFY(!rig.batch.isRunning());
    QTRY_COMPARE_WITH_TIMEOUT(processesMentioning(rig.dir.path()), QStringList(), 2000);
}

void TestBatchRun::realLameEncodesRowsIntoOutputFolder()
{
    if (testsupport::realLame().isEmpty())
        QSKIP("lame is not installed");
    Rig rig;
    rig.config.path = testsupport::realLame();
    rig.view.buttons = {.opt128 = true, .optVar = false, .Opt256 = false, .optCustom = false};
    QVERIFY(QDir(rig.dir.path()).mkdir("out"));
    rig.view.outPath = rig.path("out");
    for (const char *name : {"a.wav", "b.wav"}) {
        QVERIFY(testsupport::writeToneWav(rig.path(name), 0.5));
        rig.addRows({name});
    }

    rig.batch.cmdEncode_Click();

    QVERIFY(endsWith(rig.view.steps(), completedSteps()));
    QVERIFY(testsupport::looksLikeMp3(rig.path("out/a.mp3"), 0.5));
    QVERIFY(testsupport::looksLikeMp3(rig.path("out/b.mp3"), 0.5));
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
