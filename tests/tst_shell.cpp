// The encoder runner against real child processes: the stand-in encoder for
// sizes, endings and timing, Debian's lame for a real encoding.
#include "batch/mainview.h"
#include "batch/shell.h"
#include "platform/process.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>
#include <unistd.h>

namespace {

// Records every operation, so that a test sees anything the runner should not do.
class RecordingView : public MainView {
public:
    explicit RecordingView(QStringList &log) : m_log(log) {}

    void setCaption(const QString &caption) override { m_log << "caption:" + caption; }
    void setLampColour(Lamp lamp, quint32 colour) override
    {
        static const char *const names[] = {"shpReady", "shpWait", "shpRecord"};
        m_log << QStringLiteral("lamp:%1:%2").arg(names[int(lamp)]).arg(colour);
    }
    void setActivityText(const QString &text) override { m_log << "activity:" + text; }
    void setActivityColour(quint32 colour) override { m_log << "activityColour:" + QString::number(colour); }
    void setProgressText(const QString &text) override { m_log << "progress:" + text; }
    void setProgressColour(quint32 colour) override { m_log << "progressColour:" + QString::number(colour); }
    void setEncodeEnabled(bool on) override { m_log << "encode:" + QString::number(on); }
    void setCancelEnabled(bool on) override { m_log << "cancel:" + QString::number(on); }
    int rowCount() const override { m_log << "rowCount"; return 0; }
    void selectRow(int row) override { m_log << "selectRow:" + QString::number(row); }
    QString selectedRowText() const override { m_log << "selectedRowText"; return {}; }
    QString outPathText() const override { m_log << "outPathText"; return {}; }
    QString customText() const override { m_log << "customText"; return {}; }
    PresetButtons presetButtons() const override { m_log << "presetButtons"; return {}; }
    void messageBox(const QString &text, const std::optional<QString> &) override { m_log << "box:" + text; }

private:
    QStringList &m_log;
};

// Child processes of this test (running or not yet reaped), from /proc.
int childProcessCount()
{
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool numeric = false;
        entry.toInt(&numeric);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!numeric || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == getpid())
            ++count;
    }
    return count;
}

// Checks that the log holds one or more polls (pending events, size caption,
// lamp blinking from dim) followed by "Done!", and gives the size captions.
std::optional<QStringList> pollCaptions(const QStringList &log, QString &why)
{
    QStringList captions;
    qsizetype i = 0;
    for (;; i += 3) {
        if (i + 2 >= log.size())
            break;
        const QString expectedLamp = QStringLiteral("lamp:shpRecord:%1")
                                         .arg(captions.size() % 2 == 0 ? colours::RecordDim
                                                                       : colours::RecordLit);
        if (log[i] != "doEvents" || !log[i + 1].startsWith("progress:")
            || !log[i + 1].endsWith("kbytes") || log[i + 2] != expectedLamp) {
            why = QStringLiteral("poll %1 is not as expected").arg(captions.size() + 1);
            return std::nullopt;
        }
        captions << log[i + 1].mid(9);
    }
    if (captions.isEmpty() || i != log.size() - 1 || log[i] != "progress:Done!") {
        why = QStringLiteral("no polls, or no \"Done!\" right after the last one");
        return std::nullopt;
    }
    return captions;
}

} // namespace

class tst_Shell : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void quickEncoderShowsFinalSizeInOnePoll_data();
    void quickEncoderShowsFinalSizeInOnePoll();
    void everyCallStartsBlinkingDim();
    void slowEncoderShowsGrowingSizeAndBlinks();
    void reportsHowTheEncoderEnded_data();
    void reportsHowTheEncoderEnded();
    void errorTailKeepsTheLastLines_data();
    void errorTailKeepsTheLastLines();
    void programThatCannotStartIsDoneAtOnce_data();
    void programThatCannotStartIsDoneAtOnce();
    void abandonKillsTheEncoderAndLeavesTheViewAlone_data();
    void abandonKillsTheEncoderAndLeavesTheViewAlone();
    void waitSeesAnEndThatHappenedDuringPendingEvents();
    void destroyingARunningProcessKillsIt();
    void realLameEncodesAToneIntoAnMp3_data();
    void realLameEncodesAToneIntoAnMp3();
    void realLameFailureGivesExitCodeAndErrorText();

private:
    // A command line as the batch builds it: program, " options ", quoted WAV and MP3.
    // The stand-in writes the test's output file m_out.
    QString command(const QString &options) const;
    ShellResult run(const QString &commandLine, const QString &outFile = {});

    QTemporaryDir m_dir;
    int m_serial = 0;
    QString m_out;
    QStringList m_log;
};

QString tst_Shell::command(const QString &options) const
{
    return testsupport::standinEncoder() + ' ' + options + R"(  ")" + m_dir.filePath("in.wav")
           + R"(" ")" + m_out + '"';
}

void tst_Shell::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QFileInfo(testsupport::standinEncoder()).isExecutable());
}

void tst_Shell::init() { m_out = m_dir.filePath(QStringLiteral("out%1.mp3").arg(++m_serial)); }

void tst_Shell::cleanup()
{
    // Every run ends with its encoder reaped, whatever the outcome.
    QCOMPARE(childProcessCount(), 0);
    m_log.clear();
    QFile::remove(m_out);
}

ShellResult tst_Shell::run(const QString &commandLine, const QString &outFile)
{
    RecordingView view(m_log);
    // A stuck encoder fails the test instead of hanging it.
    const QDeadlineTimer deadline(30000);
    return ShellAndWait(commandLine, outFile.isEmpty() ? m_out : outFile, view,
                        [this] {
                            m_log << "doEvents";
                            QCoreApplication::processEvents();
                        },
                        [&deadline] { return deadline.hasExpired(); });
}

void tst_Shell::quickEncoderShowsFinalSizeInOnePoll_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("caption");

    QTest::newRow("empty file") << "--bytes 0" << "0kbytes";
    QTest::newRow("499 bytes round down") << "--bytes 499" << "0kbytes";
    QTest::newRow("500 bytes, tie to even 0") << "--bytes 500" << "0kbytes";
    QTest::newRow("501 bytes round up") << "--bytes 501" << "1kbytes";
    QTest::newRow("1500 bytes, tie to even 2") << "--bytes 1500" << "2kbytes";
    QTest::newRow("2500 bytes, tie to even 2") << "--bytes 2500" << "2kbytes";
    QTest::newRow("56000 bytes in 1000 not 1024") << "--bytes 56000" << "56kbytes";
    QTest::newRow("3500 bytes, tie to even 4") << "--bytes 3500" << "4kbytes";
    QTest::newRow("no output file") << "--no-output" << "0kbytes";
}

void tst_Shell::quickEncoderShowsFinalSizeInOnePoll()
{
    QFETCH(QString, options);
    QFETCH(QString, caption);

    const ShellResult result = run(command(options));

    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.succeeded());
    const QStringList expected{"doEvents", "progress:" + caption, "lamp:shpRecord:128", "progress:Done!"};
    QCOMPARE(m_log, expected);
}

void tst_Shell::everyCallStartsBlinkingDim()
{
    // One poll leaves the blink due to light next; a second call must still start dim.
    const QStringList once{"doEvents", "progress:1kbytes", "lamp:shpRecord:128", "progress:Done!"};
    for (int call = 0; call < 2; ++call) {
        m_log.clear();
        run(command("--bytes 1000"));
        QCOMPARE(m_log, once);
    }
}

void tst_Shell::slowEncoderShowsGrowingSizeAndBlinks()
{
    // About 1.2 s of writing: the first 500 ms wait must time out.
    const ShellResult result = run(command("--bytes 4000 --chunk 1000 --interval 300"));
    QVERIFY(result.succeeded());

    QString why;
    const std::optional<QStringList> captions = pollCaptions(m_log, why);
    QVERIFY2(captions, qPrintable(why + "\n" + m_log.join('\n')));
    QVERIFY2(captions->size() >= 2, qPrintable(m_log.join('\n')));
    QCOMPARE(captions->last(), "4kbytes");
    for (qsizetype i = 1; i < captions->size(); ++i)
        QVERIFY(captions->at(i - 1).chopped(6).toInt() <= captions->at(i).chopped(6).toInt());
}

void tst_Shell::reportsHowTheEncoderEnded_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("killedBySignal");

    QTest::newRow("exit 0") << "--bytes 10" << 0 << false;
    QTest::newRow("exit 1") << "--bytes 10 --exit 1" << 1 << false;
    QTest::newRow("exit 2 without output") << "--no-output --exit 2" << 2 << false;
    QTest::newRow("exit 255") << "--exit 255" << 255 << false;
    QTest::newRow("terminated by SIGTERM") << "--bytes 10 --signal 15" << 128 + 15 << true;
    QTest::newRow("interrupted by SIGINT") << "--signal 2" << 128 + 2 << true;
    QTest::newRow("killed by SIGKILL") << "--signal 9" << 128 + 9 << true;
    // Standard output goes nowhere; an unread pipe would stall the encoder.
    QTest::newRow("a megabyte on standard output") << "--stdout 1000000" << 0 << false;
    QTest::newRow("a flood on standard error") << "--stderr-lines 50000 --exit 3" << 3 << false;
}

void tst_Shell::reportsHowTheEncoderEnded()
{
    QFETCH(QString, options);
    QFETCH(int, exitCode);
    QFETCH(bool, killedBySignal);

    const ShellResult result = run(command(options));
    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.killedBySignal, killedBySignal);
    QCOMPARE(result.succeeded(), exitCode == 0);
    QString why;
    QVERIFY2(pollCaptions(m_log, why), qPrintable(why + "\n" + m_log.join('\n')));
}

void tst_Shell::errorTailKeepsTheLastLines_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("tail");

    QTest::newRow("nothing written") << "--exit 1" << "";
    QTest::newRow("one message") << R"(--stderr "Could not open input" --exit 1)"
                                 << "Could not open input";
    QTest::newRow("seven lines keep the last five")
        << "--stderr 1 --stderr 2 --stderr 3 --stderr 4 --stderr 5 --stderr 6 --stderr 7"
        << "3\n4\n5\n6\n7";
    QTest::newRow("progress display keeps its last text, blank lines dropped")
        << "--stderr \"  10%\r  50%\r 100%\r\" --stderr \"\" --stderr \"Error: disk full\""
        << "100%\nError: disk full";
    QTest::newRow("flood keeps only its end")
        << "--stderr-lines 20000 --exit 1"
        << "error line 19996\nerror line 19997\nerror line 19998\nerror line 19999\nerror line 20000";
    QTest::newRow("text beyond ASCII") << R"(--stderr "Fehler: Datei größer als erlaubt")"
                                       << "Fehler: Datei größer als erlaubt";
}

void tst_Shell::errorTailKeepsTheLastLines()
{
    QFETCH(QString, options);
    QFETCH(QString, tail);

    const ShellResult result = run(command(options));
    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    QCOMPARE(result.errorTail, tail);
}

void tst_Shell::programThatCannotStartIsDoneAtOnce_data()
{
    QTest::addColumn<QString>("commandLine");

    QFile plain(m_dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("not a program\n");
    plain.close();
    QFile garbage(m_dir.filePath("garbage"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(64, '\x01'));
    garbage.close();
    QVERIFY(garbage.setPermissions(garbage.permissions() | QFile::ExeOwner));

    const QString paths = R"(  "a.wav" "a.mp3")";
    QTest::newRow("no program at the path") << "/nonexistent/lame -h" + paths;
    QTest::newRow("a folder") << m_dir.path() + " -h" + paths;
    QTest::newRow("file without execute permission") << plain.fileName() + " -h" + paths;
    QTest::newRow("executable file that is no program") << garbage.fileName() + " -h" + paths;
    QTest::newRow("empty encoder path") << " -h" + paths;
}

void tst_Shell::programThatCannotStartIsDoneAtOnce()
{
    QFETCH(QString, commandLine);

    const ShellResult result = run(commandLine);
    QCOMPARE(result.outcome, ShellResult::Outcome::CouldNotStart);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(!result.succeeded());
    // No poll, no pending events, the lamp untouched.
    QCOMPARE(m_log, QStringList{"progress:Done!"});
}

void tst_Shell::abandonKillsTheEncoderAndLeavesTheViewAlone_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<int>("abandonAtAsk");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("at the first poll") << "--bytes 1500 --hang" << 1 << QStringList{"doEvents", "ask"};
    QTest::newRow("after two polls of a hanging encoder")
        << "--bytes 1500 --hang" << 3
        << QStringList{"doEvents", "ask", "progress:2kbytes", "lamp:shpRecord:128",
                       "doEvents", "ask", "progress:2kbytes", "lamp:shpRecord:255",
                       "doEvents", "ask"};
    // The output file never appears: the label reads 0 and polling goes on.
    QTest::newRow("after two polls without output file")
        << "--no-output --hang" << 3
        << QStringList{"doEvents", "ask", "progress:0kbytes", "lamp:shpRecord:128",
                       "doEvents", "ask", "progress:0kbytes", "lamp:shpRecord:255",
                       "doEvents", "ask"};
}

void tst_Shell::abandonKillsTheEncoderAndLeavesTheViewAlone()
{
    QFETCH(QString, options);
    QFETCH(int, abandonAtAsk);
    QFETCH(QStringList, log);

    RecordingView view(m_log);
    int asks = 0;
    const ShellResult result = ShellAndWait(
        command(options), m_out, view, [this] { m_log << "doEvents"; },
        [&] {
            m_log << "ask";
            return ++asks >= abandonAtAsk;
        });
    QCOMPARE(result.outcome, ShellResult::Outcome::Abandoned);
    QVERIFY(!result.succeeded());
    QCOMPARE(m_log, log);
    // cleanup() checks that the killed encoder has been reaped.
}

void tst_Shell::waitSeesAnEndThatHappenedDuringPendingEvents()
{
    platform::ChildProcess process;
    QVERIFY(process.start(command("--bytes 10 --exit 4")));
    // The end arrives while events are processed, before any wait.
    QTRY_VERIFY(!process.isRunning());
    QVERIFY(process.waitForEnd(500));
    QCOMPARE(process.exitCode(), 4);
    QVERIFY(!process.killedBySignal());
}

void tst_Shell::destroyingARunningProcessKillsIt()
{
    {
        platform::ChildProcess process;
        QVERIFY(process.start(command("--no-output --hang")));
        QVERIFY(!process.waitForEnd(0));
        QCOMPARE(childProcessCount(), 1);
    }
    // cleanup() checks that nothing is left, not even an unreaped child.
}

void tst_Shell::realLameEncodesAToneIntoAnMp3_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("preset");

    QTest::newRow("plain folders, 128 kbps") << "music" << " -h ";
    QTest::newRow("blanks in every path, VBR") << "Program Files" << " -V 1 -b 128 -h -m j -q1 ";
}

void tst_Shell::realLameEncodesAToneIntoAnMp3()
{
    QFETCH(QString, folder);
    QFETCH(QString, preset);
    const QString lame = testsupport::realLame();
    if (lame.isEmpty())
        QSKIP("lame is not installed");

    const QString dir = m_dir.filePath(folder);
    QVERIFY(QDir().mkpath(dir));
    // The encoder itself is reached through a path with the same folder.
    const QString encoder = dir + "/lame";
    QVERIFY(QFile::link(lame, encoder));
    const QString wav = dir + "/a tone.wav";
    const QString mp3 = dir + "/a tone.mp3";
    QVERIFY(testsupport::writeToneWav(wav, 1.0));

    const ShellResult result = run(encoder + preset + " \"" + wav + "\" \"" + mp3 + '"', mp3);
    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    QCOMPARE(result.exitCode, 0);
    QVERIFY(testsupport::looksLikeMp3(mp3, 1.0));

    QString why;
    const std::optional<QStringList> captions = pollCaptions(m_log, why);
    QVERIFY2(captions, qPrintable(why + "\n" + m_log.join('\n')));
    const auto kbytes = static_cast<qint64>(std::nearbyint(QFileInfo(mp3).size() / 1000.0));
    QCOMPARE(captions->last(), QString::number(kbytes) + "kbytes");
}

void tst_Shell::realLameFailureGivesExitCodeAndErrorText()
{
    const QString lame = testsupport::realLame();
    if (lame.isEmpty())
        QSKIP("lame is not installed");

    const QString missing = m_dir.filePath("missing.wav");
    const QString mp3 = m_dir.filePath("missing.mp3");
    const ShellResult result = run(lame + " -h  \"" + missing + "\" \"" + mp3 + '"', mp3);
    QCOMPARE(result.outcome, ShellResult::Outcome::Exited);
    QVERIFY(result.exitCode != 0);
    QVERIFY2(result.errorTail.contains(missing), qPrintable(result.errorTail));
}

QTEST_GUILESS_MAIN(tst_Shell)
#include "tst_shell.moc"
