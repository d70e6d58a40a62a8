// The list commands, Config, Quit and the folder picker on the program's real
// start, with settings on real files in a temporary program folder. The tests
// about ending the program run the application's own event loop.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/messagebox.h"
#include "ui/modfolderbrowse.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

using namespace testsupport;
using ui::ConfigurationRef;

namespace {

// 100 kbytes at 20 kbytes a second: five seconds per file, time enough to act.
const QString SlowEncoder = QStringLiteral("--bytes 100000 --chunk 1000 --interval 50");
// Three quarters of a second per file: the run's second poll still finds the
// first file's encoder at work.
const QString QuickEncoder = QStringLiteral("--bytes 3000 --chunk 1000 --interval 250");

const QString FolderTitle = QStringLiteral("Select folder to store MP3-files");

// The processes whose parent is this one, unreaped ones included, with their
// command lines.
QMap<int, QByteArray> childProcesses()
{
    QMap<int, QByteArray> children;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    for (const QFileInfo &entry : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(entry.filePath() + QStringLiteral("/stat"));
        if (entry.fileName().toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        QFile cmdline(entry.filePath() + QStringLiteral("/cmdline"));
        if (fields.size() > 1 && fields.at(1) == self && cmdline.open(QIODevice::ReadOnly))
            children.insert(entry.fileName().toInt(), cmdline.readAll().replace('\0', ' '));
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

class tst_Commands : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QPointer<frmMain> m_window;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString mp3(const QString &name) const { return path(name + QStringLiteral(".mp3")); }
    template <class W = QWidget> W *control(const char *name)
    {
        return m_window->findChild<W *>(QLatin1String(name));
    }
    QListWidget *list() { return control<QListWidget>("lstWavefiles"); }
    QLineEdit *outPath() { return control<QLineEdit>("txtOutPath"); }
    void click(const char *name) { control<QPushButton>(name)->click(); }

    // Files of the temporary folder dropped on the list, and the stand-in behind
    // the custom preset; the MP3 files land beside them.
    void prepareRun(const QStringList &names, const QString &encoderOptions)
    {
        QStringList paths;
        for (const QString &name : names)
            paths << path(name + QStringLiteral(".wav"));
        const auto data = fileDrag(paths);
        dragAndDrop(m_window, centreOf(list()), data.get());
        outPath()->clear();
        control<QRadioButton>("optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText(encoderOptions);
    }

    // Clicks Encode, and calls action once from inside the run, as soon as the
    // encoder of the named file runs (and, with begun, has written to its MP3).
    bool encodeActingOn(const QString &name, bool begun, const std::function<void()> &action)
    {
        bool acted = false;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            const QList<QByteArray> running = childProcesses().values();
            if (acted || running.isEmpty() || !running.first().contains(mp3(name).toUtf8())
                || (begun && QFileInfo(mp3(name)).size() == 0))
                return;
            acted = true;
            action();
        });
        watch.start();
        click("cmdEncode");
        return acted;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        settings::setProgramFolderForTesting(m_dir->path());
        m_window = startProgram(standinEncoder());
        QVERIFY(m_window);
    }

    void cleanup()
    {
        QVERIFY(endProgram());
        QVERIFY(childProcesses().isEmpty());
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
    }

    void removeTakesOutTheSelectedRowOrSaysNoneIsSelected_data()
    {
        QTest::addColumn<int>("removedBefore"); // a row removed just before; -1: none
        QTest::addColumn<int>("selected");      // -1: none
        QTest::addColumn<bool>("all");          // Remove all instead of Remove
        QTest::addColumn<QStringList>("start");
        QTest::addColumn<QStringList>("left");

        const QString a = QStringLiteral("/m/a.wav"), c = QStringLiteral("/m/c.wav");
        // The same path twice: only the selected row of the two goes.
        const QStringList rows = {a, a, c};
        QTest::newRow("nothing selected right after start") << -1 << -1 << false << rows << rows;
        QTest::newRow("nothing selected right after a removal") << 0 << -1 << false << rows << QStringList{a, c};
        QTest::newRow("the first row") << -1 << 0 << false << rows << QStringList{a, c};
        QTest::newRow("the middle row") << -1 << 1 << false << rows << QStringList{a, c};
        QTest::newRow("the last row") << -1 << 2 << false << rows << QStringList{a, a};
        QTest::newRow("Remove all, a row selected") << -1 << 1 << true << rows << QStringList();
        QTest::newRow("Remove all on an empty list") << -1 << -1 << true << QStringList() << QStringList();
    }

    void removeTakesOutTheSelectedRowOrSaysNoneIsSelected()
    {
        QFETCH(int, removedBefore);
        QFETCH(int, selected);
        QFETCH(bool, all);
        QFETCH(QStringList, start);
        QFETCH(QStringList, left);

        ui::RecordedMessageBoxes boxes;
        list()->addItems(start);
        for (const int row : {removedBefore, selected}) {
            if (row < 0)
                continue;
            // Chosen the way a user chooses: a click on the row.
            const QPoint centre = list()->visualItemRect(list()->item(row)).center();
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centre);
            QCOMPARE(list()->selectedItems().size(), 1);
            if (row == removedBefore)
                click("cmdClearCurrent");
        }

        click(all ? "cmdClearWav" : "cmdClearCurrent");

        QCOMPARE(rowsOf(list()), left);
        QVERIFY(list()->selectedItems().isEmpty());
        if (selected >= 0 || all) {
            QCOMPARE(boxes.boxes.size(), 0);
            return;
        }
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.first().text, QStringLiteral("No file selected for removal or unknown error"));
        QCOMPARE(boxes.boxes.first().title, QStringLiteral("Error"));
    }

    // Rows taken out while the batch walks the list: none of the rows that stay
    // is passed over, and none that went is encoded.
    void removingRowsDuringARunPassesOverNone_data()
    {
        QTest::addColumn<int>("select"); // the row the user picks first; -1: the one being encoded
        QTest::addColumn<bool>("all");
        QTest::addColumn<QStringList>("encoded");
        QTest::addColumn<QStringList>("rowsAfter");

        QTest::newRow("Remove the file being encoded") << -1 << false << QStringList{"a", "b", "c"}
                                                       << QStringList{"b", "c"};
        QTest::newRow("Remove a file not reached yet") << 1 << false << QStringList{"a", "c"}
                                                       << QStringList{"a", "c"};
        QTest::newRow("Remove all") << -1 << true << QStringList{"a"} << QStringList();
    }

    void removingRowsDuringARunPassesOverNone()
    {
        QFETCH(int, select);
        QFETCH(bool, all);
        QFETCH(QStringList, encoded);
        QFETCH(QStringList, rowsAfter);

        ui::RecordedMessageBoxes boxes;
        prepareRun({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, QuickEncoder);
        QVERIFY(encodeActingOn(QStringLiteral("a"), false, [&] {
            if (select >= 0)
                m_window->selectRow(select);
            click(all ? "cmdClearWav" : "cmdClearCurrent");
        }));

        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(control<QLabel>("lblActivity")->text(), QStringLiteral("Done!"));
        for (const QString &name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
            QVERIFY2(QFile::exists(mp3(name)) == encoded.contains(name), qPrintable(name));
        QStringList expectedRows;
        for (const QString &name : std::as_const(rowsAfter))
            expectedRows << path(name + QStringLiteral(".wav"));
        QCOMPARE(rowsOf(list()), expectedRows);
    }

    void configPressedTwiceShowsTheOneWindowInFront()
    {
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        click("cmdConfig");
        QPointer<ui::Configuration> first = ConfigurationRef::program().window();
        QVERIFY(first);
        QVERIFY(QTest::qWaitForWindowActive(first));

        // The main window stays usable beside it.
        m_window->activateWindow();
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
    // on the screen keeps it going, one loaded without being shown (the batch loads
    // it for the encoder path, and a refused run leaves it loaded) does not.
    void closingTheMainWindowEndsTheProgramOnceNoWindowIsVisible_data()
    {
        QTest::addColumn<bool>("configurationShown");
        QTest::addColumn<bool>("quitButton");
        QTest::newRow("Quit with the configuration window open") << true << true;
        QTest::newRow("Quit with it loaded, hidden") << false << true;
        QTest::newRow("close box with it loaded, hidden") << false << false;
    }

    void closingTheMainWindowEndsTheProgramOnceNoWindowIsVisible()
    {
        QFETCH(bool, configurationShown);
        QFETCH(bool, quitButton);
        ui::RecordedMessageBoxes boxes;
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        qsizetype endedWithTheMainWindow = -1;
        bool leftAsItWas = false;

        const int code = runProgram([&] {
            click(configurationShown ? "cmdConfig" : "cmdEncode"); // an empty list: refused
            const ui::Configuration *configuration = ConfigurationRef::program().window();
            if (quitButton)
                click("cmdQuit");
            else
                m_window->close();
            endedWithTheMainWindow = lastClosed.count();
            leftAsItWas = configuration == ConfigurationRef::program().window() && configuration
                          && configuration->isVisible() == configurationShown;
            if (configurationShown)
                configuration->findChild<QPushButton *>(QStringLiteral("cmdQuit"))->click(); // its Exit
        });

        QCOMPARE(code, 0);
        QVERIFY(leftAsItWas);
        QCOMPARE(endedWithTheMainWindow, configurationShown ? 0 : 1);
        QCOMPARE(lastClosed.count(), 1);
        QCOMPARE(boxes.boxes.size(), configurationShown ? 0 : 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_window); // the program's window goes when it closes
    }

    void closingDuringARunEndsTheEncoderAndTheWindowOnceTheRunUnwinds_data()
    {
        QTest::addColumn<bool>("quitButton");
        QTest::newRow("Quit") << true;
        QTest::newRow("close box") << false;
    }

    void closingDuringARunEndsTheEncoderAndTheWindowOnceTheRunUnwinds()
    {
        QFETCH(bool, quitButton);
        ui::RecordedMessageBoxes boxes;
        prepareRun({QStringLiteral("a"), QStringLiteral("b")}, SlowEncoder);
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        bool acted = false;
        bool windowOutlivedTheClose = false;
        QElapsedTimer clock;
        clock.start();

        const int code = runProgram([&] {
            acted = encodeActingOn(QStringLiteral("a"), true, [&] {
                if (quitButton)
                    click("cmdQuit");
                else
                    m_window->close();
                // The run is further up this call stack and still needs its window.
                windowOutlivedTheClose = m_window && m_window->isVisible();
            });
        });

        QCOMPARE(code, 0);
        QVERIFY(acted);
        QVERIFY(windowOutlivedTheClose);
        QCOMPARE(lastClosed.count(), 1);
        QVERIFY2(clock.elapsed() < 4000, "the program ended only after the first file could have been done");
        QVERIFY(childProcesses().isEmpty());
        QVERIFY(!QFile::exists(mp3(QStringLiteral("a"))));
        QVERIFY(!QFile::exists(mp3(QStringLiteral("b"))));
        QCOMPARE(boxes.boxes.size(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_window);
    }

    void folderPickerPutsTheFolderAndOneSeparatorIntoTheBox_data()
    {
        QTest::addColumn<QString>("answer"); // empty: cancelled
        QTest::addColumn<QString>("box");

        QTest::newRow("a folder") << QStringLiteral("/srv/My Music") << QStringLiteral("/srv/My Music/");
        QTest::newRow("the root doubles the separator") << QStringLiteral("/") << QStringLiteral("//");
        QTest::newRow("cancel keeps the box and the saved folder") << QString() << QStringLiteral("/srv/before/");
    }

    void folderPickerPutsTheFolderAndOneSeparatorIntoTheBox()
    {
        QFETCH(QString, answer);
        QFETCH(QString, box);
        outPath()->setText(QStringLiteral("/srv/before/"));
        ui::ScriptedFolderBrowse picker;
        picker.choose(answer);

        click("cmdSelectTrg");

        QCOMPARE(picker.asked.size(), 1);
        QCOMPARE(picker.asked.first().title, FolderTitle);
        QCOMPARE(picker.asked.first().owner, m_window.data());
        QCOMPARE(outPath()->text(), box);
        QCOMPARE(storedDestination(), box);
    }

    // The real dialog, answered from a timer once it is the active modal widget.
    void folderPickerShowsTheFolderDialog_data()
    {
        QTest::addColumn<bool>("pick");
        QTest::newRow("pick") << true;
        QTest::newRow("cancel") << false;
    }

    void folderPickerShowsTheFolderDialog()
    {
        QFETCH(bool, pick);
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Music")));
        const QString music = path(QStringLiteral("Music"));
        outPath()->setText(QStringLiteral("/srv/before/"));

        QString title;
        bool foldersOnly = false;
        QTimer answer;
        answer.setInterval(10);
        connect(&answer, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            answer.stop();
            title = dialog->windowTitle();
            foldersOnly = dialog->fileMode() == QFileDialog::Directory && dialog->testOption(QFileDialog::ShowDirsOnly);
            dialog->setDirectory(music);
            QMetaObject::invokeMethod(dialog, pick ? "accept" : "reject");
        });
        answer.start();
        click("cmdSelectTrg");

        QCOMPARE(title, FolderTitle);
        QVERIFY(foldersOnly);
        const QString expected = pick ? music + QDir::separator() : QStringLiteral("/srv/before/");
        QCOMPARE(outPath()->text(), expected);
        QCOMPARE(storedDestination(), expected);
    }
};

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"
