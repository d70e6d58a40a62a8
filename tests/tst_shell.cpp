// The encoder runner against real child processes: the stand-in encoder for
// sizes, endings and timing, Debian's lame for a real encoding.
#include "batch/mainview.h"
#include "batch/shell.h"
#include "platform/process.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <unistd.h>

namespace {

// Records every operation, so that a test also sees what the runner should not do.
class RecordingView : public MainView {
public:
    explicit RecordingView(QStringList &log) : m_log(log) {}
    void setCaption(const QString &t) override { m_log << "caption:" + t; }
    void setLampColour(Lamp lamp, quint32 c) override
    {
        m_log << QStringLiteral("lamp:%1:%2").arg(lamp == Lamp::shpRecord ? "shpRecord" : "other").arg(c);
    }
    void setActivityText(const QString &t) override { m_log << "activity:" + t; }
    void setActivityColour(quint32) override { m_log << "activityColour"; }
    void setProgressText(const QString &t) override { m_log << "progress:" + t; }
    void setProgressColour(quint32) override { m_log << "progressColour"; }
    void setEncodeEnabled(bool) override { m_log << "encode"; }
    void setCancelEnabled(bool) override { m_log << "cancel"; }
    int rowCount() const override { return m_log << "rowCount", 0; }
    void selectRow(int) override { m_log << "selectRow"; }
    QString selectedRowText() const override { return m_log << "selectedRowText", QString(); }
    QString outPathText() const override { return m_log << "outPathText", QString(); }
    QString customText() const override { return m_log << "customText", QString(); }
    PresetButtons presetButtons() const override { return m_log << "presetButtons", PresetButtons(); }
    void messageBox(const QString &t, const std::optional<QString> &) override { m_log << "box:" + t; }

private:
    QStringList &m_log;
};

// Children of this test, running or not yet reaped.
int childProcessCount()
{
    int count = 0;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll(); // "pid (name) state ppid ..."
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        count += fields.size() > 1 && fields[1].toLongLong() == getpid();
    }
    return count;
}

// The size captions of the polls, or none unless the log is one or more polls
// (pending events, size, lamp blinking from dim) followed by "Done!".
QStringList pollCaptions(const QStringList &log)
{
    QStringList captions, expected;
    for (const QString &entry : log) {
        if (entry.endsWith("kbytes"))
            captions << entry.mid(9);
    }
    for (qsizetype i = 0; i < captions.size(); ++i)
        expected << "doEvents" << "progress:" + captions[i]
                 << QStringLiteral("lamp:shpRecord:%1").arg(i % 2 ? colours::RecordLit : colours::RecordDim);
    expected << "progress:Done!";
    return expected == log ? captions : QStringList();
}

} // namespace

class tst_Shell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { m_out = m_dir.filePath(QStringLiteral("out%1.mp3").arg(++m_serial)); }
    void cleanup();

    void quickEncoderShowsFinalSizeInOnePoll_data();
    void quickEncoderShowsFinalSizeInOnePoll();
    void slowEncoderShowsGrowingSizeAndBlinks();
    void reportsHowTheEncoderEnded_data();
    void reportsHowTheEncoderEnded();
    void programThatCannotStartIsDoneAtOnce_data();
    void programThatCannotStartIsDoneAtOnce();
    void abandonKillsTheEncoderAndLeavesTheViewAlone_data();
    void abandonKillsTheEncoderAndLeavesTheViewAlone();
    void waitSeesAnEndThatHappenedDuringPendingEvents();
    void destroyingARunningProcessKillsIt();
    void realLameEncodesAToneIntoAnMp3_data();
    void realLameEncodesAToneIntoAnMp3();

private:
    QString command(const QString &options) const;
    ShellResult run(const QString &commandLine, const QString &outFile = {});

    QTemporaryDir m_dir;
    int m_serial = 0;
    QString m_out;
    QStringList m_log;
};

// A command line as the batch builds it; the stand-in writes the test's m_out.
QString tst_Shell::command(const QString &options) const
{
    return testsupport::standinEncoder() + ' ' + options + "  \"" + m_dir.filePath("in.wav") + "\" \""
           + m_out + '"';
}

ShellResult tst_Shell::run(const QString &commandLine, const QString &outFile)
{
    RecordingView view(m_log);
    const QDeadlineTimer deadline(30000); // a stuck encoder fails the test, not hangs it
    return ShellAndWait(
        commandLine, outFile.isEmpty() ? m_out : outFile, view,
        [this] {
            m_log << "doEvents";
            QCoreApplication::processEvents();
        },
        [&deadline] { return deadline.hasExpired(); });
}

void tst_Shell::cleanup()
{
    QCOMPARE(childProcessCount(), 0); // every encoder reaped, whatever the outcome
    m_log.clear();
}

void tst_Shell::quickEncoderShowsFinalSizeInOnePoll_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("caption");
    // Rows run one after the other, so each also checks that a call starts dim.
    QTest::newRow("empty file") << "--bytes 0" << "0kbytes";
    QTest::newRow("499 bytes round down") << "--bytes 499" << "0kbytes";
    QTest::newRow("500 bytes, tie to even 0") << "--bytes 500" << "0kbytes";
    QTest::newRow("501 bytes round up") << "--bytes 501" << "1kbytes";
    QTest::newRow("1500 bytes, tie to even 2") << "--bytes 1500" << "2kbytes";
    QTest::newRow("2500 bytes, tie to even 2") << "--bytes 2500" << "2kbytes";
    QTest::newRow("3500 bytes, tie to even 4") << "--bytes 3500" << "4kbytes";
    QTest::newRow("56000 bytes, 1000 not 1024") << "--bytes 56000" << "56kbytes";
    QTest::newRow("no output file") << "--no-output" << "0kbytes";
}

void tst_Shell::quickEncoderShowsFinalSizeInOnePoll()
{
    QFETCH(QString, options);
    QFETCH(QString, caption);
    const ShellResult result = run(command(options));
    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    QVERIFY(result.succeeded());
    QCOMPARE(m_log, (QStringList{"doEvents", "progress:" + caption, "lamp:shpRecord:128", "progress:Done!"}));
}

void tst_Shell::slowEncoderShowsGrowingSizeAndBlinks()
{
    // About 1.2 s of writing, so the first wait times out.
    QVERIFY(run(command("--bytes 4000 --chunk 1000 --interval 300")).succeeded());
    const QStringList captions = pollCaptions(m_log);
    QVERIFY2(captions.size() >= 2, qPrintable(m_log.join('\n')));
    QCOMPARE(captions.last(), "4kbytes");
    for (qsizetype i = 1; i < captions.size(); ++i)
        QVERIFY(captions[i - 1].chopped(6).toInt() <= captions[i].chopped(6).toInt());
}

void tst_Shell::reportsHowTheEncoderEnded_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("killedBySignal");
    QTest::addColumn<QString>("errorTail");

    QTest::newRow("exit 0") << "--bytes 10" << 0 << false << "";
    QTest::newRow("exit 1 with a message") << "--stderr \"Could not open input\" --exit 1" << 1 << false
                                           << "Could not open input";
    QTest::newRow("exit 255 without output") << "--no-output --exit 255" << 255 << false << "";
    QTest::newRow("SIGTERM") << "--bytes 10 --signal 15" << 128 + 15 << true << "";
    QTest::newRow("SIGINT") << "--signal 2" << 128 + 2 << true << "";
    QTest::newRow("SIGKILL") << "--stderr oops --signal 9" << 128 + 9 << true << "oops";
    // Standard output goes nowhere; an unread pipe would stall the encoder.
    QTest::newRow("a megabyte on standard output") << "--stdout 1000000" << 0 << false << "";
    QTest::newRow("seven lines keep the last five")
        << "--stderr 1 --stderr 2 --stderr 3 --stderr 4 --stderr 5 --stderr 6 --stderr 7 --exit 3" << 3
        << false << "3\n4\n5\n6\n7";
    QTest::newRow("progress display keeps its last text, blank lines dropped")
        << "--stderr \"  10%\r  50%\r 100%\r\" --stderr \"\" --stderr \"Error: disk full\" --exit 1" << 1
        << false << "100%\nError: disk full";
    QTest::newRow("flood on standard error keeps only its end")
        << "--stderr-lines 50000 --exit 1" << 1 << false
        << "error line 49996\nerror line 49997\nerror line 49998\nerror line 49999\nerror line 50000";
    QTest::newRow("text beyond ASCII") << "--stderr \"Datei größer als erlaubt\" --exit 1" << 1 << false
                                       << "Datei größer als erlaubt";
}

void tst_Shell::reportsHowTheEncoderEnded()
{
    QFETCH(QString, options);
    QFETCH(int, exitCode);
    QFETCH(bool, killedBySignal);
    QFETCH(QString, errorTail);
    const ShellResult result = run(command(options));
    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.killedBySignal, killedBySignal);
    QCOMPARE(result.succeeded(), exitCode == 0);
    QCOMPARE(result.errorTail, errorTail);
    QVERIFY2(!pollCaptions(m_log).isEmpty(), qPrintable(m_log.join('\n')));
}

void tst_Shell::programThatCannotStartIsDoneAtOnce_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("executable");
    QTest::newRow("no program at the path") << "/nonexistent/lame" << QByteArray() << false;
    QTest::newRow("a folder") << "." << QByteArray() << false;
    QTest::newRow("file without execute permission") << "plain" << QByteArray("text\n") << false;
    QTest::newRow("executable file that is no program") << "junk" << QByteArray(64, '\1') << true;
    QTest::newRow("empty encoder path") << "" << QByteArray() << false;
}

void tst_Shell::programThatCannotStartIsDoneAtOnce()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, content);
    QFETCH(bool, executable);
    if (!program.isEmpty())
        program = QDir(m_dir.path()).absoluteFilePath(program);
    if (!content.isEmpty()) {
        QFile f(program);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            permissions |= QFile::ExeOwner;
        QVERIFY(f.setPermissions(permissions));
    }
    const ShellResult result = run(program + " -h  \"a.wav\" \"a.mp3\"");
    QCOMPARE(result.outcome, ShellResult::Outcome::CouldNotStart);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(!result.succeeded());
    QCOMPARE(m_log, QStringList{"progress:Done!"}); // no poll, no pending events, lamp untouched
}

void tst_Shell::abandonKillsTheEncoderAndLeavesTheViewAlone_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("abandonAtAsk");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("at the first poll") << "--bytes 1500 --hang" << 1 << QStringList{"doEvents", "ask"};
    QTest::newRow("after two polls of a hanging encoder")
        << "--bytes 1500 --hang" << 3
        << QStringList{"doEvents", "ask", "progress:2kbytes", "lamp:shpRecord:128", "doEvents", "ask",
                       "progress:2kbytes", "lamp:shpRecord:255", "doEvents", "ask"};
    // A missing output file reads 0, and polling goes on.
    QTest::newRow("after two polls without output file")
        << "--no-output --hang" << 3
        << QStringList{"doEvents", "ask", "progress:0kbytes", "lamp:shpRecord:128", "doEvents", "ask",
                       "progress:0kbytes", "lamp:shpRecord:255", "doEvents", "ask"};
}

void tst_Shell::abandonKillsTheEncoderAndLeavesTheViewAlone()
{
    QFETCH(QString, options);
    QFETCH(int, abandonAtAsk);
    QFETCH(QStringList, log);
    RecordingView view(m_log);
    int asks = 0;
    const ShellResult result = ShellAndWait(command(options), m_out, view, [this] { m_log << "doEvents"; },
                                            [&] { return m_log << "ask", ++asks >= abandonAtAsk; });
    QCOMPARE(result.outcome, ShellResult::Outcome::Abandoned);
    QVERIFY(!result.succeeded());
    QCOMPARE(m_log, log); // and cleanup() checks that the encoder was reaped
}

void tst_Shell::waitSeesAnEndThatHappenedDuringPendingEvents()
{
    platform::ChildProcess process;
    QVERIFY(process.start(command("--exit 4")));
    QTRY_VERIFY(!process.isRunning()); // the end is seen while events are processed
    QVERIFY(process.waitForEnd(500));
    QCOMPARE(process.exitCode(), 4);
}

void tst_Shell::destroyingARunningProcessKillsIt()
{
    platform::ChildProcess process;
    QVERIFY(process.start(command("--no-output --hang")));
    QVERIFY(!process.waitForEnd(0));
    QCOMPARE(childProcessCount(), 1);
    // cleanup() checks that nothing is left once it is gone
}

void tst_Shell::realLameEncodesAToneIntoAnMp3_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<bool>("withInput");
    QTest::newRow("plain folders, 128 kbps") << "music" << " -h " << true;
    QTest::newRow("blanks in every path, VBR") << "Program Files" << " -V 1 -b 128 -h -m j -q1 " << true;
    QTest::newRow("missing input") << "missing" << " -h " << false;
}

void tst_Shell::realLameEncodesAToneIntoAnMp3()
{
    QFETCH(QString, folder);
    QFETCH(QString, preset);
    QFETCH(bool, withInput);
    if (testsupport::realLame().isEmpty())
        QSKIP("lame is not installed");
    // The encoder too is reached through a path in that folder.
    const QString dir = m_dir.filePath(folder), wav = dir + "/a tone.wav", mp3 = dir + "/a tone.mp3";
    QVERIFY(QDir().mkpath(dir) && QFile::link(testsupport::realLame(), dir + "/lame"));
    QVERIFY(!withInput || testsupport::writeToneWav(wav, 1.0));

    const ShellResult result = run(dir + "/lame" + preset + " \"" + wav + "\" \"" + mp3 + '"', mp3);
    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    const QStringList captions = pollCaptions(m_log);
    QVERIFY2(!captions.isEmpty(), qPrintable(m_log.join('\n')));
    if (!withInput) {
        QVERIFY(result.exitCode != 0);
        QVERIFY2(result.errorTail.contains(wav), qPrintable(result.errorTail));
        return;
    }
    QCOMPARE(result.exitCode, 0);
    QVERIFY(testsupport::looksLikeMp3(mp3, 1.0));
    const auto kbytes = static_cast<qint64>(std::nearbyint(QFileInfo(mp3).size() / 1000.0));
    QCOMPARE(captions.last(), QString::number(kbytes) + "kbytes");
}

QTEST_GUILESS_MAIN(tst_Shell)
#include "tst_shell.moc"
