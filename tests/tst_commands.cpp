// SPDX-License-Identifier: GPL-3.0-or-later
// The list commands, Quit, About and the folder picker on the program's real start, with settings on real
// files in a temporary program folder.
#include "programsupport.h"
#include "recordedmessageboxes.h"
#include "scriptedaddfiles.h"
#include "scriptedfolderbrowse.h"
#include "testsupport.h"
#include "ui/widgets/wavelist.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

using namespace testsupport;
using namespace Qt::StringLiterals;

class TestCommands;
// What a row of a table does to the window.
using Act = std::function<void(TestCommands *)>;
Q_DECLARE_METATYPE(Act)

namespace {
enum class Opening { RightClick, MenuKey, ShiftF10 };
const QString kNoneSelected = u"No file selected for removal or unknown error"_s;
} // namespace

class TestCommands : public QObject, ProgramFixture {
    Q_OBJECT

    ui::WaveList *list() const { return control<ui::WaveList>("lstWavefiles"); }

    // Opens the list's menu as a user does, and gives it once it shows.
    QMenu *openMenu(Opening how)
    {
        list()->setFocus();
        switch (how) {
        case Opening::RightClick:
            // Through the window, as the platform sends it: Qt makes the context menu event of the press.
            QTest::mouseClick(
                m_window->windowHandle(), Qt::RightButton, {},
                list()->viewport()->mapTo(m_window, QPoint(5, list()->viewport()->height() - 5)));
            break;
        case Opening::MenuKey:
            QTest::keyClick(list(), Qt::Key_Menu);
            break;
        case Opening::ShiftF10:
            QTest::keyClick(list(), Qt::Key_F10, Qt::ShiftModifier);
            break;
        }
        QMenu *menu = list()->contextMenu();
        return menu && QTest::qWaitForWindowExposed(menu) ? menu : nullptr;
    }

    // Clicks a command of the list's menu; opened from the keyboard, the selection stays. The menu holds the
    // four commands in this order.
    void menuCommand(const QString &text, Opening how = Opening::MenuKey)
    {
        QMenu *menu = openMenu(how);
        QVERIFY(menu);
        const QList<QAction *> actions = menu->actions();
        QStringList texts;
        for (const QAction *action : actions)
            texts << action->text();
        QCOMPARE(texts, (QStringList{"Add Files...", "Paste", "Remove", "Remove All"}));
        const auto action = std::ranges::find(actions, text, &QAction::text);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*action).center());
        QTRY_VERIFY(!menu->isVisible());
    }

    // Puts data on the clipboard as a file manager does.
    static void copy(const QString &format, const QByteArray &bytes)
    {
        auto *data = new QMimeData;
        data->setData(format, bytes);
        QApplication::clipboard()->setMimeData(data);
    }
    // The files by letter as a URL list.
    QByteArray urls(const QString &letters) const
    {
        QByteArrayList lines;
        for (const QString &file : files(letters))
            lines << QUrl::fromLocalFile(file).toEncoded();
        return lines.join('\n');
    }

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
        QCOMPARE(children.open(QIODevice::ReadOnly) ? children.readAll() : QByteArray("unreadable"),
                 QByteArray());
    }

    // The list starts as a, b, a. Remove takes out the selected row and no other, or says that none is
    // selected; every way into the list besides a drop goes through the drop's path (its refusal of names
    // that are not UTF-8), and the menu's commands and the Delete key are the buttons.
    void listCommandsAddAndRemoveRows_data()
    {
        QTest::addColumn<int>("select"); // the row clicked first; -1: none
        QTest::addColumn<Act>("act");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("told");

        const QString no;
        const auto menu = [](const QString &command, Opening how = Opening::MenuKey) {
            return Act([=](TestCommands *t) { t->menuCommand(command, how); });
        };
        const Act removeButton = [](TestCommands *t) { t->click(u"cmdClearCurrent"_s); };
        QTest::newRow("menu Remove by a right click, nothing selected: says so")
            << -1 << menu(u"Remove"_s, Opening::RightClick) << "aba" << kNoneSelected;
        QTest::newRow("Remove button right after a removal: nothing selected, says so")
            << 0 << Act([=](TestCommands *t) {
                   removeButton(t);
                   removeButton(t);
               })
            << "ba" << kNoneSelected;
        QTest::newRow("Remove button takes the selected row, not another of the same file")
            << 2 << removeButton << "ab" << no;
        QTest::newRow("Delete takes out the selected row")
            << 0 << Act([](TestCommands *t) { QTest::keyClick(t->list(), Qt::Key_Delete); }) << "ba" << no;
        QTest::newRow("menu Remove All by Shift+F10 empties the list")
            << 0 << menu(u"Remove All"_s, Opening::ShiftF10) << "" << no;
        QTest::newRow("menu Paste of files a file manager copied adds them after the rows")
            << -1 << Act([](TestCommands *t) {
                   copy(u"text/uri-list"_s, t->urls(u"cd"_s));
                   t->menuCommand(u"Paste"_s);
               })
            << "abacd" << no;
        QTest::newRow("Ctrl+V of the desktop's copied files adds them") << 0 << Act([](TestCommands *t) {
            copy(u"x-special/gnome-copied-files"_s, "copy\n" + t->urls(u"dc"_s));
            QTest::keyClick(t->list(), Qt::Key_V, Qt::ControlModifier);
        }) << "abadc" << no;
        QTest::newRow("Ctrl+V of text naming a file adds nothing") << 0 << Act([](TestCommands *t) {
            copy(u"text/plain"_s, t->path(u"c.wav"_s).toUtf8());
            QTest::keyClick(t->list(), Qt::Key_V, Qt::ControlModifier);
        }) << "aba" << no;
        QTest::newRow("Paste of a name that is not UTF-8 leaves it out and names it")
            << -1 << Act([](TestCommands *t) {
                   copy(u"text/uri-list"_s, t->rawFileUrl("caf\xe9.wav").toLatin1());
                   t->menuCommand(u"Paste"_s);
               })
            << "aba"
            << u"1 of the pasted files was not added: its name is not valid UTF-8 text, so the encoder could "
               u"not be handed it unchanged.\n\n<dir>/caf\\xE9.wav\n\n"
               u"Rename the file to a UTF-8 name and add it again."_s;
        QTest::newRow("Add Files... adds the chosen files after the rows") << -1 << Act([](TestCommands *t) {
            ScriptedAddFiles dialog;
            dialog.choose(t->files(u"dc"_s));
            t->menuCommand(u"Add Files..."_s);
            QCOMPARE(dialog.asked.value(0).folder, t->m_dir->path()); // the folder of the last file added
        }) << "abadc" << no;
    }

    void listCommandsAddAndRemoveRows()
    {
        QFETCH(int, select);
        QFETCH(Act, act);
        QFETCH(QString, left);
        QFETCH(QString, told);

        RecordedMessageBoxes boxes;
        drop(centreOf(list()), files("aba"));
        if (select >= 0) // chosen the way a user chooses: a click on the row
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                              list()->visualItemRect(list()->item(select)).center());
        act(this);
        QCoreApplication::processEvents(); // a box about files left out comes after the command

        QCOMPARE(rows(), files(left));
        QCOMPARE(boxes.boxes.size(), told.isEmpty() ? 0 : 1);
        QCOMPARE(boxes.boxes.value(0).text, QString(told).replace(u"<dir>"_s, m_dir->path()));
        QCOMPARE(boxes.boxes.value(0).title == u"Error"_s, told == kNoneSelected);
    }

    // Remove all during a run, then a drop: the run hears of the removal, ends after the file it encodes,
    // and does not take up the rows dropped later; the status line ends as a finished run's.
    void removeAllDuringARunThenADropEndsTheRunWithoutTheNewRows()
    {
        RecordedMessageBoxes boxes;
        QStringList statusLines;
        encodeActingOnTheFirstFile("--bytes 3000 --chunk 1000 --interval 250", [&] {
            click("cmdClearWav");
            drop(centreOf(list()), {"d.wav", "e.wav"});
            statusLines << control<QLabel>("lblActivity")->text();
        });

        QCOMPARE(rows(), files("de"));
        QCOMPARE(statusLines, QStringList{u"Encoding track a.mp3 (1/3)"_s});
        QCOMPARE(control<QLabel>("lblActivity")->text(), u"Done!"_s);
        QCOMPARE(control<QLabel>("lblFile2")->text(), u"Done!"_s);
        QCOMPARE(m_window->windowTitle(), batch::BatchRun::titleCompleted());
        QCOMPARE(boxes.boxes.size(), 0);
        for (const QChar letter : u"abcde"_s)
            QVERIFY2(QFile::exists(path(letter + u".mp3"_s)) == (letter == u'a'),
                     qPrintable(QString(letter)));
    }

    // The program ends when none of its windows is visible: a configuration window on the screen keeps it
    // going, one loaded but hidden (a refused run leaves it loaded) does not, and goes with it. During a run
    // the encoder is ended, its MP3 file removed, nothing else encoded, the window closed once the run
    // unwound.
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
        RecordedMessageBoxes boxes;
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
        QObject guard;                                       // against a program that never ends
        QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(99); });
        QTimer::singleShot(0, &guard, [&] {
            if (running)
                return encodeActingOnTheFirstFile("--bytes 100000 --chunk 1000 --interval 50", quit);
            click(configurationShown ? "cmdConfig" : "cmdEncode"); // with an empty list: refused
            quit();
        });

        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(leftAsItWas);
        // A refused run's box; Quit then closes the last window.
        const qsizetype early = !configurationShown && !running;
        QCOMPARE(std::tuple(closedAtQuit, lastClosed.count(), boxes.boxes.size()),
                 std::tuple(early, 1LL, early));
        QVERIFY2(!beforeTheFirstFileIsDone.hasExpired(), "the program waited for the encoder");
        QVERIFY(!QFile::exists(path("a.mp3")) && !QFile::exists(path("b.mp3")));
        QVERIFY(!m_window && !configuration);
    }

    // The About box names the version, the licence and the encoder the next run would use, read from the
    // settings file, without loading the configuration window, when it is not loaded, and from its box when
    // it is, even after the file changed behind its back.
    void aboutNamesVersionLicenceAndEncoder()
    {
        RecordedMessageBoxes boxes;
        const auto store = [](const QString &encoder) {
            return platform::WritePrivateProfileString(settings::keys::kPaths, settings::keys::kLame, encoder,
                                                       settings::settingsFilePath());
        };
        const auto aboutNames = [&](const QString &encoder) {
            click("cmdAbout");
            return boxes.boxes.size() == 1
                   && boxes.boxes[0].title == u"About Purlwave - by the Purlwave developers"_s
                   && boxes.boxes.takeFirst().text.endsWith(u"\nVersion 1.3\nLicence: GPL-3.0-or-later\n"
                                                            u"Encoding is done by the LAME encoder: "_s
                                                            + encoder);
        };
        QVERIFY(store(u"/opt/lame/bin/lame"_s));
        QVERIFY(aboutNames(u"/opt/lame/bin/lame"_s));
        QVERIFY(!ui::ConfigurationRef::program().isLoaded());
        QCOMPARE(ui::ConfigurationRef::program().lamePath(), u"/opt/lame/bin/lame"_s); // loads it
        QVERIFY(store(u"/opt/other/lame"_s));
        QVERIFY(aboutNames(u"/opt/lame/bin/lame"_s));
    }

    // The folder chosen, with one separator, goes into the box and the settings; a cancel keeps both.
    void folderPickerPutsTheFolderAndOneSeparatorIntoTheBox()
    {
        ScriptedFolderBrowse picker;
        picker.choose(u"/srv/My Music"_s); // the second dialog is cancelled
        for (int n = 0; n < 2; ++n) {
            click("cmdSelectTrg");
            QCOMPARE(control<QLineEdit>("txtOutPath")->text(), u"/srv/My Music/"_s);
            QCOMPARE(storedDestination(), u"/srv/My Music/"_s);
        }
        QCOMPARE(picker.asked, 2);
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
