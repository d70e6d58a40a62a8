// The list commands, Config, About, Quit and the folder picker on the program's
// real start, with settings on real files in a temporary program folder. The
// tests about ending the program run the application's own event loop.
#include "dragdrop.h"
#include "platform/profile.h"
#include "settings/location.h"
#include "testsupport.h"
#include "ui/configuration.h"
#include "ui/configurationref.h"
#include "ui/frmmain.h"
#include "ui/messagebox.h"
#include "ui/moddrag.h"
#include "ui/modfolderbrowse.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using ui::ConfigurationRef;

namespace {

// About 100 kbytes at 20 kbytes a second: five seconds per file, long enough to
// act while it runs.
const QString SlowEncoder = QStringLiteral("--bytes 100000 --chunk 1000 --interval 50");
// Three quarters of a second per file: the run's second poll still finds the
// first file's encoder at work.
const QString QuickEncoder = QStringLiteral("--bytes 3000 --chunk 1000 --interval 250");

const QString FolderTitle = QStringLiteral("Select folder to store MP3-files");

QString storedDestination()
{
    return platform::GetPrivateProfileString("PATHS", "Destination Path", QStringLiteral("<missing>"), 4096,
                                             settings::settingsFilePath());
}

// The processes whose parent is this one, ended but unreaped ones included, each
// with its command line.
QMap<int, QByteArray> childProcesses()
{
    QMap<int, QByteArray> children;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QFileInfoList entries = QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        bool numeric = false;
        const int pid = entry.fileName().toInt(&numeric);
        QFile stat(entry.filePath() + QStringLiteral("/stat"));
        if (!numeric || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields.at(1) != self)
            continue;
        QFile cmdline(entry.filePath() + QStringLiteral("/cmdline"));
        children.insert(pid, cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll().replace('\0', ' ') : QByteArray());
    }
    return children;
}

int configurationWindows()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return static_cast<int>(std::count_if(windows.cbegin(), windows.cend(), [](const QWidget *w) {
        return qobject_cast<const ui::Configuration *>(w) != nullptr;
    }));
}

// Runs the application's event loop as the program does, with script queued as
// its first event. The result is the loop's exit code; 99 when the program had
// not ended within the time.
int runProgram(const std::function<void()> &script, int seconds = 20)
{
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(seconds * 1000);
    QTimer::singleShot(0, script);
    return QApplication::exec();
}

} // namespace

class tst_Commands : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QPointer<frmMain> m_window;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // The program's start, with the stand-in as the encoder.
    bool start()
    {
        if (!platform::WritePrivateProfileString("PATHS", "LAME", testsupport::standinEncoder(),
                                                 settings::settingsFilePath()))
            return false;
        ui::Main();
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *widget : windows)
            if (auto *window = qobject_cast<frmMain *>(widget))
                m_window = window;
        return m_window && QTest::qWaitForWindowExposed(m_window);
    }

    template <class W = QWidget> W *control(const char *name)
    {
        return m_window->findChild<W *>(QLatin1String(name));
    }
    QListWidget *list() { return control<QListWidget>("lstWavefiles"); }
    QLineEdit *outPath() { return control<QLineEdit>("txtOutPath"); }
    void click(const char *name) { control<QPushButton>(name)->click(); }

    QStringList rows()
    {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts << list()->item(i)->text();
        return texts;
    }

    // Rows named in the temporary folder, dropped on the list, and the stand-in
    // behind the custom preset; the MP3 files land beside them.
    void prepareRun(const QStringList &names, const QString &encoderOptions)
    {
        QStringList paths;
        for (const QString &name : names)
            paths << path(name + QStringLiteral(".wav"));
        const auto data = testsupport::fileDrag(paths);
        testsupport::dragAndDrop(m_window, testsupport::centreOf(list()), data.get());
        QCOMPARE(list()->count(), names.size());
        outPath()->clear();
        control<QRadioButton>("optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText(encoderOptions);
    }

    QString mp3(const QString &name) const { return path(name + QStringLiteral(".mp3")); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        settings::setProgramFolderForTesting(m_dir->path());
    }

    void cleanup()
    {
        delete m_window.data();
        ConfigurationRef::program().unloadAndRelease();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
        QVERIFY(childProcesses().isEmpty());
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.cbegin(), windows.cend(), [](const QWidget *w) {
            return w->isVisible() || qobject_cast<const frmMain *>(w) || qobject_cast<const ui::Configuration *>(w);
        }));
    }

    void removeWithNoRowSelectedSaysSoAndKeepsTheList_data()
    {
        QTest::addColumn<QStringList>("start");
        QTest::addColumn<int>("removeFirst"); // a row removed just before; -1: none
        QTest::addColumn<QStringList>("left");

        const QStringList three = {QStringLiteral("/m/a.wav"), QStringLiteral("/m/b.wav"), QStringLiteral("/m/c.wav")};
        QTest::newRow("right after start") << three << -1 << three;
        QTest::newRow("right after a removal") << three << 1 << QStringList{three.at(0), three.at(2)};
        QTest::newRow("empty list") << QStringList() << -1 << QStringList();
    }

    void removeWithNoRowSelectedSaysSoAndKeepsTheList()
    {
        QFETCH(QStringList, start);
        QFETCH(int, removeFirst);
        QFETCH(QStringList, left);

        QVERIFY(this->start());
        ui::RecordedMessageBoxes boxes;
        list()->addItems(start);
        if (removeFirst >= 0) {
            m_window->selectRow(removeFirst);
            click("cmdClearCurrent");
            QCOMPARE(boxes.boxes.size(), 0);
        }

        click("cmdClearCurrent");

        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.first().text, QStringLiteral("No file selected for removal or unknown error"));
        QCOMPARE(boxes.boxes.first().title, QStringLiteral("Error"));
        QCOMPARE(rows(), left);
    }

    void removeTakesOutTheSelectedRowAndLeavesNoneSelected_data()
    {
        QTest::addColumn<int>("selected");
        QTest::newRow("first") << 0;
        QTest::newRow("middle") << 1;
        QTest::newRow("last") << 2;
    }

    void removeTakesOutTheSelectedRowAndLeavesNoneSelected()
    {
        QFETCH(int, selected);
        QVERIFY(start());
        ui::RecordedMessageBoxes boxes;
        // The same path twice: only the selected row of the two goes.
        QStringList expected = {QStringLiteral("/m/a.wav"), QStringLiteral("/m/a.wav"), QStringLiteral("/m/c.wav")};
        list()->addItems(expected);
        // Chosen the way a user chooses: a click on the row.
        const QRect row = list()->visualItemRect(list()->item(selected));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(m_window->selectedRowText(), expected.at(selected));

        click("cmdClearCurrent");

        expected.removeAt(selected);
        QCOMPARE(rows(), expected);
        QVERIFY(list()->selectedItems().isEmpty());
        QCOMPARE(list()->currentRow(), -1);
        QCOMPARE(boxes.boxes.size(), 0);
    }

    void removeAllEmptiesTheListWithoutAsking_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("empty list") << 0;
        QTest::newRow("three rows, one selected") << 3;
    }

    void removeAllEmptiesTheListWithoutAsking()
    {
        QFETCH(int, count);
        QVERIFY(start());
        ui::RecordedMessageBoxes boxes;
        for (int i = 0; i < count; ++i)
            list()->addItem(QStringLiteral("/m/%1.wav").arg(i));
        m_window->selectRow(count - 1);

        click("cmdClearWav");

        QCOMPARE(list()->count(), 0);
        QCOMPARE(m_window->selectedRowText(), QString());
        QCOMPARE(boxes.boxes.size(), 0);
    }

    // Rows taken out while the batch walks the list: none of the rows that stay
    // is passed over, and none that went is encoded.
    void removingRowsDuringARunPassesOverNone_data()
    {
        QTest::addColumn<int>("select"); // the row the user picks first; -1: the one being encoded
        QTest::addColumn<bool>("all");
        QTest::addColumn<QStringList>("encoded");
        QTest::addColumn<QStringList>("rowsAfter");

        QTest::newRow("Remove the file being encoded")
            << -1 << false << QStringList{"a", "b", "c"} << QStringList{"b", "c"};
        QTest::newRow("Remove a file not reached yet") << 1 << false << QStringList{"a", "c"} << QStringList{"a", "c"};
        QTest::newRow("Remove all") << -1 << true << QStringList{"a"} << QStringList();
    }

    void removingRowsDuringARunPassesOverNone()
    {
        QFETCH(int, select);
        QFETCH(bool, all);
        QFETCH(QStringList, encoded);
        QFETCH(QStringList, rowsAfter);

        QVERIFY(start());
        ui::RecordedMessageBoxes boxes;
        prepareRun({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, QuickEncoder);

        bool acted = false;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            const QList<QByteArray> running = childProcesses().values();
            if (acted || running.isEmpty() || !running.first().contains(mp3(QStringLiteral("a")).toUtf8()))
                return;
            acted = true;
            if (select >= 0)
                m_window->selectRow(select);
            click(all ? "cmdClearWav" : "cmdClearCurrent");
        });
        watch.start();
        click("cmdEncode");
        watch.stop();

        QVERIFY(acted);
        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(control<QLabel>("lblActivity")->text(), QStringLiteral("Done!"));
        for (const QString &name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")})
            QVERIFY2(QFile::exists(mp3(name)) == encoded.contains(name), qPrintable(name));
        QStringList expectedRows;
        for (const QString &name : std::as_const(rowsAfter))
            expectedRows << path(name + QStringLiteral(".wav"));
        QCOMPARE(rows(), expectedRows);
    }

    void configPressedTwiceShowsTheOneWindowInFront()
    {
        QVERIFY(start());
        QVERIFY(QTest::qWaitForWindowActive(m_window));

        click("cmdConfig");
        QPointer<ui::Configuration> first = ConfigurationRef::program().window();
        QVERIFY(first);
        QVERIFY(QTest::qWaitForWindowActive(first));
        QVERIFY(!first->parentWidget());

        // The main window stays usable beside it.
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        click("cmdConfig");

        QCOMPARE(ConfigurationRef::program().window(), first.data());
        QCOMPARE(configurationWindows(), 1);
        QVERIFY(QTest::qWaitForWindowActive(first));
    }

    void aboutNamesTheProductItsMakersTheSiteAndTheSupportAddress()
    {
        QVERIFY(start());
        ui::RecordedMessageBoxes boxes;
        click("cmdAbout");
        QCOMPARE(boxes.boxes.size(), 1);
        const auto &box = boxes.boxes.first();
        QVERIFY2(box.title.contains(QStringLiteral("Purlwave")) && box.title.contains(QStringLiteral("developers")),
                 qPrintable(box.title));
        QVERIFY(box.text.contains(QStringLiteral("https://purlwave.example.org")));
        QVERIFY(box.text.contains(QStringLiteral("support@purlwave.example.org")));
    }

    void quitWithTheConfigurationWindowOpenEndsTheProgramWhenThatCloses()
    {
        QVERIFY(start());
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        int closedAfterQuit = -1;
        bool configurationStillShown = false;
        const int code = runProgram([&] {
            click("cmdConfig");
            click("cmdQuit");
            closedAfterQuit = static_cast<int>(lastClosed.count());
            ui::Configuration *configuration = ConfigurationRef::program().window();
            configurationStillShown = configuration && configuration->isVisible() && !m_window->isVisible();
            // Closed by its own button, as the user closes it.
            if (configuration)
                configuration->findChild<QPushButton *>(QStringLiteral("cmdQuit"))->click();
        });
        QCOMPARE(code, 0);
        QCOMPARE(closedAfterQuit, 0);
        QVERIFY(configurationStillShown);
        QCOMPARE(lastClosed.count(), 1);
    }

    // The batch loads the configuration window without showing it; a refused run
    // leaves it loaded. Such a window must never keep the program alive.
    void closingTheMainWindowEndsTheProgramDespiteAHiddenConfigurationWindow_data()
    {
        QTest::addColumn<bool>("quitButton");
        QTest::newRow("Quit") << true;
        QTest::newRow("close box") << false;
    }

    void closingTheMainWindowEndsTheProgramDespiteAHiddenConfigurationWindow()
    {
        QFETCH(bool, quitButton);
        QVERIFY(start());
        ui::RecordedMessageBoxes boxes;
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        bool loadedHidden = false;
        const int code = runProgram([&] {
            click("cmdEncode"); // an empty list: refused, with a box
            const ui::Configuration *configuration = ConfigurationRef::program().window();
            loadedHidden = configuration && !configuration->isVisible();
            if (quitButton)
                click("cmdQuit");
            else
                m_window->close();
        });
        QCOMPARE(code, 0);
        QVERIFY(loadedHidden);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(lastClosed.count(), 1);
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
        QVERIFY(start());
        ui::RecordedMessageBoxes boxes;
        prepareRun({QStringLiteral("a"), QStringLiteral("b")}, SlowEncoder);
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);

        bool closedWhileEncoding = false;
        bool windowOutlivedTheClose = false;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (closedWhileEncoding || childProcesses().isEmpty() || QFileInfo(mp3(QStringLiteral("a"))).size() == 0)
                return;
            closedWhileEncoding = true;
            if (quitButton)
                click("cmdQuit");
            else
                m_window->close();
            // The run is further up this call stack and still needs its window.
            windowOutlivedTheClose = m_window && m_window->isVisible();
        });
        QElapsedTimer clock;
        clock.start();
        const int code = runProgram([&] {
            watch.start();
            click("cmdEncode");
        });
        watch.stop();

        QCOMPARE(code, 0);
        QVERIFY(closedWhileEncoding);
        QVERIFY(windowOutlivedTheClose);
        QCOMPARE(lastClosed.count(), 1);
        // Well before the first file could have been finished.
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
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

        QTest::newRow("a folder") << QStringLiteral("/srv/Music") << QStringLiteral("/srv/Music/");
        QTest::newRow("a folder with blanks") << QStringLiteral("/srv/My Music") << QStringLiteral("/srv/My Music/");
        QTest::newRow("the root doubles the separator") << QStringLiteral("/") << QStringLiteral("//");
        QTest::newRow("cancel keeps the box and the saved folder") << QString() << QStringLiteral("/srv/before/");
    }

    void folderPickerPutsTheFolderAndOneSeparatorIntoTheBox()
    {
        QFETCH(QString, answer);
        QFETCH(QString, box);
        QVERIFY(start());
        ui::RecordedMessageBoxes boxes;
        outPath()->setText(QStringLiteral("/srv/before/"));
        ui::ScriptedFolderBrowse picker;
        if (answer.isEmpty())
            picker.cancel();
        else
            picker.choose(answer);

        click("cmdSelectTrg");

        QCOMPARE(picker.asked.size(), 1);
        QCOMPARE(picker.asked.first().title, FolderTitle);
        QCOMPARE(picker.asked.first().owner, m_window.data());
        QCOMPARE(outPath()->text(), box);
        QCOMPARE(storedDestination(), box);
        QCOMPARE(boxes.boxes.size(), 0);
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
        QVERIFY(start());
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
            foldersOnly = dialog->fileMode() == QFileDialog::Directory
                          && dialog->testOption(QFileDialog::ShowDirsOnly);
            if (pick) {
                dialog->setDirectory(music);
                QMetaObject::invokeMethod(dialog, "accept");
            } else {
                dialog->reject();
            }
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
