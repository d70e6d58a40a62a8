// The list commands, Quit and the folder picker on the program's real start, with
// settings on real files in a temporary program folder.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/messagebox.h"
#include "ui/modfolderbrowse.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

using namespace testsupport;
using namespace Qt::StringLiterals;

class TestCommands : public QObject, ProgramFixture {
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

    // Drops a, b and c, then clicks Encode, the stand-in taking options; action is called once
    // from inside the run, as soon as the first file's encoder has written to its MP3 file.
    void encodeActingOnTheFirstFile(const QString &options, const std::function<void()> &action)
    {
        drop(centreOf(list()), files("abc"));
        control<QRadioButton>("optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText(options);
        QTimer watch;
        watch.callOnTimeout([&] {
            if (QFileInfo(path("a.mp3")).size() > 0 && !QFile::exists(path("b.mp3"))) {
                watch.stop();
                action();
            }
        });
        watch.start(10);
        click("cmdEncode");
    }

private slots:
    void init() { QVERIFY(start(standinEncoder())); }

    void cleanup()
    {
        QVERIFY(end());
        // No encoder left, not even an unreaped one; the main thread starts them.
        QFile children(u"/proc/self/task/%1/children"_s.arg(QCoreApplication::applicationPid()));
        QCOMPARE(children.open(QIODevice::ReadOnly) ? children.readAll() : QByteArray("unreadable"), QByteArray());
    }

    // Remove takes out the selected row and no other, or says that none is selected.
    // During a run (the batch selects the row it encodes) no row that stays is passed over.
    void removeTakesOutTheSelectedRowOrSaysNoneIsSelected_data()
    {
        QTest::addColumn<QString>("dropped"); // files by letter; null: the run's a, b and c
        QTest::addColumn<int>("select"); // the row clicked first; -1: the selection as it is
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QString>("left");
        QTest::addColumn<bool>("told"); // that no row is selected

        const QString remove = u"cmdClearCurrent"_s, removeAll = u"cmdClearWav"_s;
        QTest::newRow("nothing selected") << "aba" << -1 << remove << "aba" << true;
        QTest::newRow("nothing selected right after a removal") << "aba" << 0 << remove + ' ' + remove << "ba" << true;
        QTest::newRow("the selected row, not another of the same file") << "aba" << 2 << remove << "ab" << false;
        QTest::newRow("Remove all") << "aba" << 1 << removeAll << "" << false;
        QTest::newRow("Remove all on an empty list") << "" << -1 << removeAll << "" << false;
        QTest::newRow("during a run, the file being encoded") << QString() << -1 << remove << "bc" << false;
    }

    void removeTakesOutTheSelectedRowOrSaysNoneIsSelected()
    {
        QFETCH(QString, dropped);
        QFETCH(int, select);
        QFETCH(QString, clicks);
        QFETCH(QString, left);
        QFETCH(bool, told);

        ui::RecordedMessageBoxes boxes;
        const bool running = dropped.isNull();
        const auto removeRows = [&] {
            if (select >= 0) // chosen the way a user chooses: a click on the row
                QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                                  list()->visualItemRect(list()->item(select)).center());
            for (const QString &button : clicks.split(' '))
                click(button);
        };
        if (!running)
            drop(centreOf(list()), files(dropped));
        running ? encodeActingOnTheFirstFile("--bytes 3000 --chunk 1000 --interval 250", removeRows) : removeRows();

        QCOMPARE(rows(), files(left));
        QCOMPARE(boxes.boxes.size(), told ? 1 : 0);
        QCOMPARE(boxes.boxes.value(0).text, told ? u"No file selected for removal or unknown error"_s : QString());
        QCOMPARE(boxes.boxes.value(0).title, told ? u"Error"_s : QString());
        if (running)
            QCOMPARE(control<QLabel>("lblActivity")->text(), "Done!");
        for (const QChar letter : u"abc"_s)
            QVERIFY2(QFile::exists(path(letter + u".mp3"_s)) == running, qPrintable(QString(letter)));
    }

    // The program ends when none of its windows is visible: a configuration window on the screen keeps it
    // going, one loaded but hidden (a refused run leaves it loaded) does not, and goes with it. During a run
    // the encoder is ended, its MP3 file removed, nothing else encoded, the window closed once the run unwound.
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
        qsizetype closedAtQuit = -1;
        bool leftAsItWas = false;
        QPointer<ui::Configuration> configuration;
        const auto quit = [&] {
            configuration = ui::ConfigurationRef::program().window();
            click("cmdQuit");
            closedAtQuit = lastClosed.count();
            // A run further up this call stack still needs its window.
            leftAsItWas = running ? m_window && m_window->isVisible()
                                  : configuration && configuration == ui::ConfigurationRef::program().window()
                                        && configuration->isVisible() == configurationShown;
            if (configurationShown)
                configuration->findChild<QPushButton *>("cmdQuit")->click(); // its Exit
        };
        const QDeadlineTimer beforeTheFirstFileIsDone(4000); // it alone takes five seconds
        QObject guard; // against a program that never ends
        QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(99); });
        QTimer::singleShot(0, &guard, [&] {
            if (running)
                return encodeActingOnTheFirstFile("--bytes 100000 --chunk 1000 --interval 50", quit);
            click(configurationShown ? "cmdConfig" : "cmdEncode"); // with an empty list: refused
            quit();
        });

        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(leftAsItWas);
        const qsizetype early = !configurationShown && !running; // a refused run's box; Quit closes the last window
        QCOMPARE(std::tuple(closedAtQuit, lastClosed.count(), boxes.boxes.size()), std::tuple(early, 1LL, early));
        QVERIFY2(!beforeTheFirstFileIsDone.hasExpired(), "the program waited for the encoder");
        QVERIFY(!QFile::exists(path("a.mp3")) && !QFile::exists(path("b.mp3")));
        QVERIFY(!m_window && !configuration);
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

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
