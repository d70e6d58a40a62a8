// The list commands, Config, Quit and the folder picker on the program's real
// start, with settings on real files in a temporary program folder.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/messagebox.h"
#include "ui/modfolderbrowse.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

using namespace testsupport;
using namespace Qt::StringLiterals;
using ui::ConfigurationRef;

namespace {

// The processes whose parent is this one, unreaped ones included.
int childProcesses()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    int children = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + pid + "/stat");
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        children += line.mid(line.lastIndexOf(')') + 2).split(' ').value(1) == self;
    }
    return children;
}

// Runs the application's event loop as main() does, with script as its first
// event. The loop's exit code, or 99 when the program had not ended in time.
int runProgram(const std::function<void()> &script)
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(20000);
    QTimer::singleShot(0, script);
    return QApplication::exec();
}

} // namespace

class tst_Commands : public QObject, ProgramFixture {
    Q_OBJECT

    QListWidget *list() const { return control<QListWidget>("lstWavefiles"); }

    // The WAV files named by letters ("ab": a.wav, b.wav) in the temporary folder.
    QStringList files(const QString &letters) const
    {
        QStringList paths;
        for (const QChar letter : letters)
            paths << path(letter + u".wav"_s);
        return paths;
    }

    void drop(const QString &letters)
    {
        const auto data = fileDrag(files(letters));
        dragAndDrop(m_window, centreOf(list()), data.get());
    }

    // Clicks Encode, the stand-in taking options; action is called once from inside
    // the run, as soon as the first file's encoder has written to its MP3 file.
    void encodeActingOnTheFirstFile(const QString &options, const std::function<void()> &action)
    {
        control<QLineEdit>("txtOutPath")->clear();
        control<QRadioButton>("optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText(options);
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (QFileInfo(path("a.mp3")).size() > 0 && !QFile::exists(path("b.mp3"))) {
                watch.stop();
                action();
            }
        });
        watch.start();
        click("cmdEncode");
    }

private slots:
    void init() { QVERIFY(start(standinEncoder())); }

    void cleanup()
    {
        QVERIFY(end());
        QCOMPARE(childProcesses(), 0);
    }

    // Remove takes out the selected row and no other, or says that none is selected.
    // During a run (the batch selects the row it encodes) none of the rows that stay
    // is passed over, and none that went is encoded.
    void removeTakesOutTheSelectedRowOrSaysNoneIsSelected_data()
    {
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("dropped"); // files by letter
        QTest::addColumn<int>("select");    // the row clicked first; -1: the selection as it is
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("left");
        QTest::addColumn<bool>("told"); // that no row is selected
        QTest::addColumn<QString>("encoded");

        const QString remove = u"cmdClearCurrent"_s, removeAll = u"cmdClearWav"_s;
        QTest::newRow("nothing selected") << false << "aba" << -1 << remove << 1 << "aba" << true << "";
        QTest::newRow("nothing selected right after a removal")
            << false << "aba" << 0 << remove << 2 << "ba" << true << "";
        QTest::newRow("the selected row, not another of the same file")
            << false << "aba" << 2 << remove << 1 << "ab" << false << "";
        QTest::newRow("Remove all") << false << "aba" << 1 << removeAll << 1 << "" << false << "";
        QTest::newRow("Remove all on an empty list") << false << "" << -1 << removeAll << 1 << "" << false << "";
        QTest::newRow("during a run, the file being encoded")
            << true << "abc" << -1 << remove << 1 << "bc" << false << "abc";
        QTest::newRow("during a run, a file not reached yet")
            << true << "abc" << 1 << remove << 1 << "ac" << false << "ac";
        QTest::newRow("during a run, Remove all") << true << "abc" << -1 << removeAll << 1 << "" << false << "a";
    }

    void removeTakesOutTheSelectedRowOrSaysNoneIsSelected()
    {
        QFETCH(bool, running);
        QFETCH(QString, dropped);
        QFETCH(int, select);
        QFETCH(QString, command);
        QFETCH(int, presses);
        QFETCH(QString, left);
        QFETCH(bool, told);
        QFETCH(QString, encoded);

        ui::RecordedMessageBoxes boxes;
        drop(dropped);
        bool acted = false;
        const auto removeRows = [&] {
            if (select >= 0) // chosen the way a user chooses: a click on the row
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                                  list()->visualItemRect(list()->item(select)).center());
            for (int i = 0; i < presses; ++i)
                click(command);
            acted = true;
        };
        if (running)
            encodeActingOnTheFirstFile("--bytes 3000 --chunk 1000 --interval 250", removeRows);
        else
            removeRows();

        QVERIFY(acted);
        QCOMPARE(rowsOf(list()), files(left));
        QVERIFY(running || list()->selectedItems().isEmpty()); // a run leaves its last file selected
        QCOMPARE(boxes.boxes.size(), told ? 1 : 0);
        if (told) {
            QCOMPARE(boxes.boxes.first().text, "No file selected for removal or unknown error");
            QCOMPARE(boxes.boxes.first().title, "Error");
        }
        if (running)
            QCOMPARE(control<QLabel>("lblActivity")->text(), "Done!");
        for (const QChar letter : u"abc"_s)
            QVERIFY2(QFile::exists(path(letter + u".mp3"_s)) == encoded.contains(letter), qPrintable(QString(letter)));
    }

    void configPressedTwiceShowsTheOneWindowInFront()
    {
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        click("cmdConfig");
        QPointer<ui::Configuration> first = ConfigurationRef::program().window();
        QVERIFY(first);
        QVERIFY(QTest::qWaitForWindowActive(first));
        m_window->activateWindow(); // the main window stays usable beside it
        QVERIFY(QTest::qWaitForWindowActive(m_window));

        click("cmdConfig");

        QCOMPARE(ConfigurationRef::program().window(), first.data());
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.cbegin(), windows.cend(),
                               [](const QWidget *w) { return qobject_cast<const ui::Configuration *>(w); }),
                 1);
        QVERIFY(QTest::qWaitForWindowActive(first));
    }

    // The program ends when none of its windows is visible: a configuration window
    // on the screen keeps it going, one loaded but hidden (a refused run leaves it
    // loaded) does not. During a run the encoder is ended, its MP3 file removed,
    // nothing else encoded, and the window closes once the run has unwound.
    void quitEndsTheProgramOnceNoWindowIsVisible_data()
    {
        QTest::addColumn<bool>("configurationShown");
        QTest::addColumn<bool>("running");
        QTest::newRow("the configuration window open") << true << false;
        QTest::newRow("the configuration window loaded, hidden") << false << false;
        QTest::newRow("during a run") << false << true;
    }

    void quitEndsTheProgramOnceNoWindowIsVisible()
    {
        QFETCH(bool, configurationShown);
        QFETCH(bool, running);
        ui::RecordedMessageBoxes boxes;
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        qsizetype endedWithTheMainWindow = -1;
        bool leftAsItWas = false;
        const auto quit = [&] {
            const ui::Configuration *configuration = ConfigurationRef::program().window();
            click("cmdQuit");
            endedWithTheMainWindow = lastClosed.count();
            // A run further up this call stack still needs its window.
            leftAsItWas = running ? m_window && m_window->isVisible()
                                  : configuration && configuration == ConfigurationRef::program().window()
                                        && configuration->isVisible() == configurationShown;
            if (configurationShown)
                configuration->findChild<QPushButton *>("cmdQuit")->click(); // its Exit
        };
        QElapsedTimer clock;
        clock.start();

        const int code = runProgram([&] {
            if (running) {
                drop("abc");
                return encodeActingOnTheFirstFile("--bytes 100000 --chunk 1000 --interval 50", quit);
            }
            click(configurationShown ? "cmdConfig" : "cmdEncode"); // with an empty list: refused
            quit();
        });

        QCOMPARE(code, 0);
        QVERIFY(leftAsItWas);
        QCOMPARE(endedWithTheMainWindow, configurationShown || running ? 0 : 1);
        QCOMPARE(lastClosed.count(), 1);
        QCOMPARE(boxes.boxes.size(), configurationShown || running ? 0 : 1);
        // The first file alone takes five seconds.
        QVERIFY2(clock.elapsed() < 4000, "the program ended only after the first file could have been done");
        QVERIFY(!QFile::exists(path("a.mp3")) && !QFile::exists(path("b.mp3")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_window);
    }

    void folderPickerPutsTheFolderAndOneSeparatorIntoTheBox_data()
    {
        QTest::addColumn<QString>("answer"); // empty: cancelled
        QTest::addColumn<QString>("box");

        QTest::newRow("a folder") << "/srv/My Music" << "/srv/My Music/";
        QTest::newRow("the root doubles the separator") << "/" << "//";
        QTest::newRow("cancel keeps the box and the saved folder") << QString() << "/srv/before/";
    }

    void folderPickerPutsTheFolderAndOneSeparatorIntoTheBox()
    {
        QFETCH(QString, answer);
        QFETCH(QString, box);
        control<QLineEdit>("txtOutPath")->setText("/srv/before/");
        ui::ScriptedFolderBrowse picker;
        picker.choose(answer);

        click("cmdSelectTrg");

        QCOMPARE(picker.asked.size(), 1);
        QCOMPARE(picker.asked.first().title, "Select folder to store MP3-files");
        QCOMPARE(picker.asked.first().owner, m_window.data());
        QCOMPARE(control<QLineEdit>("txtOutPath")->text(), box);
        QCOMPARE(storedDestination(), box);
    }
};

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"
