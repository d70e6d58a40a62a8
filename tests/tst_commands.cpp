// SPDX-License-Identifier: GPL-3.0-or-later
// The list, drops, the window's commands and runs acted on, on the program's real start in a temporary
// folder.
#include "dialogstandins.h"
#include "programsupport.h"
#include "testsupport.h"
#include "ui/widgets/statuslamp.h"
#include "ui/widgets/wavelist.h"

#include <QByteArrayList>
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
using Act = std::function<void(TestCommands *)>; // what a row does to the window
Q_DECLARE_METATYPE(Act)

namespace {
enum class Opening { RightClick, MenuKey, ShiftF10 };
const QString kNoneSelected = u"No file selected for removal or unknown error"_s;
} // namespace

class TestCommands : public QObject, ProgramFixture {
    Q_OBJECT

    ui::WaveList *list() const { return control<ui::WaveList>("lstWavefiles"); }
    QStringList files(const QString &letters) const
    {
        QStringList paths;
        for (const QChar letter : letters)
            paths << path(letter + u".wav"_s);
        return paths;
    }

    // Clicks a command of the list's menu, opened as a user opens it; from the keyboard, the selection stays.
    void menuCommand(const QString &text, Opening how = Opening::MenuKey)
    {
        list()->setFocus();
        if (how == Opening::RightClick) // through the window, as the platform sends it
            QTest::mouseClick(
                m_window->windowHandle(), Qt::RightButton, {},
                list()->viewport()->mapTo(m_window, QPoint(5, list()->viewport()->height() - 5)));
        else
            QTest::keyClick(list(), how == Opening::MenuKey ? Qt::Key_Menu : Qt::Key_F10,
                            how == Opening::MenuKey ? Qt::NoModifier : Qt::ShiftModifier);
        const QPointer<QMenu> menu = list()->contextMenu();
        QVERIFY(menu && QTest::qWaitForWindowExposed(menu));
        const QList<QAction *> actions = menu->actions();
        const auto action = std::ranges::find(actions, text, &QAction::text);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*action).center());
        QTRY_VERIFY(!menu || !menu->isVisible());
    }

    std::optional<RecordedMessageBoxes> m_boxes;

private slots:
    void init()
    {
        m_boxes.emplace();
        QVERIFY(start(standinEncoder()));
    }

    void cleanup()
    {
        m_boxes.reset();
        QVERIFY(end());
        // No encoder left, not even an unreaped one; the main thread starts them.
        QFile children(u"/proc/self/task/%1/children"_s.arg(QCoreApplication::applicationPid()));
        QVERIFY(children.open(QIODevice::ReadOnly) && children.readAll().isEmpty());
    }

    // Every way into the list or out of it, on rows a, b, a and an output box holding "/srv/before/". Every
    // way in keeps the drop's rules: names that are not UTF-8 would reach the encoder changed, so such files
    // are left out and named in one box once the command or the drop is over (a drag source waits for it).
    void everyWayInOrOutOfTheListKeepsItsRules_data()
    {
        QTest::addColumn<int>("select"); // the row clicked first; -1: none
        QTest::addColumn<Act>("act");
        QTest::addColumn<QStringList>("rows"); // the files in the folder that the list holds afterwards
        QTest::addColumn<QString>("box");      // the file in the output box afterwards; empty: unchanged
        QTest::addColumn<QStringList>("told"); // what the one box that follows says, <dir> for the folder
        const QStringList aba = {"a.wav", "b.wav", "a.wav"},
                          some = {"c d.wav", "Café.wav", "c d.wav", "Album/"};
        const QString list = u"lstWavefiles"_s, out = u"txtOutPath"_s, no, cafe = u"<dir>/caf\\xE9"_s;
        const auto menu = [](const QString &command, Opening how = Opening::MenuKey) {
            return Act([=](TestCommands *t) { t->menuCommand(command, how); });
        };
        // Drags files by name, real files by raw bytes and text over a control and drops them: files show
        // copy, and a drop is refused unless taken.
        const auto drag = [](const QString &over, QStringList dragged, const QByteArrayList &raw, bool taken,
                             const QString &text = {}) {
            return Act([=](TestCommands *t) mutable {
                for (const QByteArray &name : raw) {
                    const QString url = t->rawFileUrl(name.endsWith('/') ? name.chopped(1) : name);
                    QVERIFY2(!url.isEmpty(), name.constData());
                    dragged << url + (name.endsWith('/') ? u"/"_s : QString());
                }
                QCOMPARE(t->drop(centreOf(t->control(over)), dragged, text),
                         std::pair(dragged.isEmpty() ? Qt::IgnoreAction : Qt::CopyAction,
                                   taken ? Qt::CopyAction : Qt::IgnoreAction));
                QCOMPARE(t->list()->currentRow(), 0);
                QCOMPARE(t->m_boxes->boxes.size(), 0);
            });
        };
        // Lines, files by letter and a real file by raw bytes copied, pasted by the menu or Ctrl+V.
        const auto paste = [](const QString &format, QByteArrayList lines, const QString &letters, bool byKey,
                              const QByteArray &raw = {}) {
            return Act([=](TestCommands *t) mutable {
                for (const QString &file : t->files(letters))
                    lines << QUrl::fromLocalFile(file).toEncoded();
                if (!raw.isEmpty())
                    lines << t->rawFileUrl(raw).toLatin1();
                auto *data = new QMimeData;
                data->setData(format, lines.join('\n'));
                QApplication::clipboard()->setMimeData(data);
                byKey ? QTest::keyClick(t->list(), Qt::Key_V, Qt::ControlModifier)
                      : t->menuCommand(u"Paste"_s);
            });
        };
        // The chosen files come while another window has the focus, or after the window closed.
        const auto addFiles = [](bool closeWindow) {
            return Act([=](TestCommands *t) {
                ScriptedAddFiles dialog;
                dialog.choose({t->path(u"sub/d.wav"_s), t->path(u"c.wav"_s)});
                QWidget other;
                dialog.whileOpen = [&] {
                    if (closeWindow) {
                        t->m_window->close();
                        return QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                    }
                    t->list()->clearFocus(), other.show(); // the list's focus lost while it is open
                    QVERIFY(QTest::qWaitForWindowActive(&other));
                };
                t->menuCommand(u"Add Files..."_s);
                QTRY_COMPARE(dialog.asked.size(), 1); // once the menu is done with the click
                QCOMPARE(t->m_window.isNull(), closeWindow);
                if (closeWindow)
                    return;
                QCOMPARE(dialog.asked.value(0).folder, t->m_dir->path()); // the folder of the last file added
                QTRY_COMPARE(QApplication::activeWindow(), t->m_window.data());
                QCOMPARE(QApplication::focusWidget(), t->list());
                dialog.whileOpen = {};
                t->menuCommand(u"Add Files..."_s); // cancelled
                QTRY_COMPARE(dialog.asked.size(), 2);
                QCOMPARE(dialog.asked.value(1).folder, t->m_dir->path()); // c's, not d's: the file added last
            });
        };
        const auto row = [](const char *name, int select, const Act &act, const QStringList &rows,
                            const QString &box = {}, const QStringList &told = {}) {
            QTest::newRow(name) << select << act << rows << box << told;
        };
        row("list: files after the rows, in order, unfiltered", 0, drag(list, some, {}, true), aba + some);
        const QStringList notHere = {"e.wav", u"https://e.org/b.wav"_s, u"file:///m/n%00.wav"_s,
                                     u"file://e/b.wav"_s};
        row("list: a web link, a zero byte, another host or text names no file here", 0,
            drag(list, notHere, {}, true, u"x.wav"_s), aba + QStringList{"e.wav"});
        row("list: past the limit, up to it; names not UTF-8 and the limit told in one box", 0,
            drag(list, QStringList(32766, u"n.wav"_s), {"caf\xe9.wav", "x\xff\xfe.wav", "\xc3(.wav"}, true),
            aba + QStringList(32764, u"n.wav"_s), no,
            {u"3 of the dropped files were not added: their names are"_s,
             u"<dir>/caf\\xE9.wav\n<dir>/x\\xFF\\xFE.wav\n<dir>/\\xC3(.wav\n\nRename the files"_s,
             u"The list holds at most 32767 files. 2 of the dropped files were not added."_s});
        row("output box: of two files the first is taken", 0, drag(out, {"1.wav", "2.wav"}, {}, true), aba,
            u"1.wav"_s);
        row("output box: a first name that is not UTF-8 keeps the text, and says so", 0,
            drag(out, {}, {"caf\xe9/", "good/"}, false), aba, no,
            {u"The dropped folder was not taken"_s, cafe});
        row("custom box: files and text show copy, as the window does, and a drop does nothing", 0,
            drag(u"txtCustom"_s, {"a.wav"}, {}, false, u"x"_s), aba);
        row("list: text alone shows no copy and adds nothing", 0, drag(list, {}, {}, false, u"a.wav"_s), aba);
        row("menu Remove by a right click, nothing selected: says so", -1,
            menu(u"Remove"_s, Opening::RightClick), aba, no, {kNoneSelected});
        row("Remove button takes the selected row, not another of the same file; then none is selected", 2,
            Act([](TestCommands *t) { t->click(u"cmdClearCurrent"_s), t->click(u"cmdClearCurrent"_s); }),
            {"a.wav", "b.wav"}, no, {kNoneSelected});
        row("Delete takes out the selected row", 0,
            Act([](TestCommands *t) { QTest::keyClick(t->list(), Qt::Key_Delete); }), {"b.wav", "a.wav"});
        row("menu Remove All by Shift+F10 empties the list", 0, menu(u"Remove All"_s, Opening::ShiftF10), {});
        row("two rows taken out, then Remove All of the one left", -1, Act([](TestCommands *t) {
                delete t->list()->takeItem(0);
                delete t->list()->takeItem(0);
                t->click(u"cmdClearWav"_s);
            }),
            {});
        row("menu Paste: copied files after the rows; a name not UTF-8 left out, named", -1,
            paste(u"text/uri-list"_s, {}, u"cd"_s, false, "caf\xe9.wav"), aba + QStringList{"c.wav", "d.wav"},
            no, {u"1 of the pasted files was not added: its name is not valid UTF-8 text"_s, cafe});
        row("Ctrl+V of the desktop's copied files adds them", 0,
            paste(u"x-special/gnome-copied-files"_s, {"copy"}, u"dc"_s, true),
            aba + QStringList{"d.wav", "c.wav"});
        row("Paste of copied text naming files adds nothing", -1, paste(u"text/plain"_s, {}, u"cd"_s, false),
            aba);
        row("Add Files... adds the files after the rows; the list has the focus again", -1, addFiles(false),
            aba + QStringList{"sub/d.wav", "c.wav"});
        row("Add Files... answered after the window closed adds nothing", -1, addFiles(true), {});
    }

    void everyWayInOrOutOfTheListKeepsItsRules()
    {
        QFETCH(int, select);
        QFETCH(Act, act);
        QFETCH(QStringList, rows);
        QFETCH(QString, box);
        QFETCH(QStringList, told);
        drop(centreOf(list()), files("aba"));
        control<QLineEdit>("txtOutPath")->setText(u"/srv/before/"_s);
        QSignalSpy added(list(), &ui::WaveList::filesAdded);  // as a screen reader is told
        QSignalSpy left(list(), &ui::WaveList::rowsLeftList); // as a run is told
        if (select >= 0) // chosen the way a user chooses: a click on the row
            QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                              list()->visualItemRect(list()->item(select)).center());
        act(this);
        if (!m_window)
            return;
        QCoreApplication::processEvents(); // a box about files left out comes after the command
        for (QString &row : rows)
            row = QDir::toNativeSeparators(path(row));
        QCOMPARE(this->rows(), rows);
        QVERIFY(list()->updatesEnabled());                                            // still repainted
        QCOMPARE(added.value(0).value(0).toInt(), std::max(0, int(rows.size()) - 3)); // not those left out
        int gone = 0;
        for (const QList<QVariant> &notice : std::as_const(left))
            gone += notice.at(1).toInt();
        QCOMPARE(gone, std::max(0, 3 - int(rows.size()))); // every row gone, once
        const QString expectedBox = box.isEmpty() ? u"/srv/before/"_s : path(box);
        QCOMPARE(control<QLineEdit>("txtOutPath")->text(), expectedBox);
        QCOMPARE(storedDestination(), expectedBox);
        const QList<RecordedMessageBoxes::Box> &boxes = m_boxes->boxes;
        QCOMPARE(boxes.size(), told.isEmpty() ? 0 : 1);
        for (const QString &part : std::as_const(told))
            QVERIFY2(boxes[0].text.contains(QString(part).replace(u"<dir>"_s, m_dir->path())),
                     qPrintable(boxes[0].text));
        QCOMPARE(boxes.value(0).title, told == QStringList{kNoneSelected} ? u"Error"_s
                                       : told.isEmpty()                   ? u""_s
                                                                          : qAppName());
    }

    // Acts during the first file of a run of a, b, c: rows taken out, however, are seen by the run, which
    // does not take up rows dropped later; Cancel ends it after that file; Quit ends the encoder at once,
    // removes its new MP3, closes the window once the run unwound. A state: status line, Encode, Cancel, Busy
    // lamp lit, configuration window loaded (a completed run lets it go), both report lines green, title.
    void whatTheUserDoesDuringARunIsSeenByIt_data()
    {
        QTest::addColumn<Act>("act");
        QTest::addColumn<QString>("left");       // the rows at the end, by letter; null: the window closed
        QTest::addColumn<QString>("encoded");    // the MP3 files left, by letter
        QTest::addColumn<QStringList>("states"); // after the act, and at the end
        const QString running = u"Encoding track a.mp3 (1/3) 011100 Encoding in process, please wait..."_s;
        const auto row = [&](const char *name, const Act &act, const char *left, const char *encoded,
                             const QStringList &states) {
            QTest::newRow(name) << act << QString(left) << encoded << states;
        };
        const QStringList done = {running, u"Done! 100011 "_s + batch::BatchRun::titleCompleted()};
        row(
            "Remove all (the list's clear()), then a drop",
            [](TestCommands *t) {
                t->click(u"cmdClearWav"_s), t->drop(centreOf(t->list()), {"d.wav", "e.wav"});
            },
            "de", "a", done);
        row(
            "takeItem() of the current row", [](TestCommands *t) { delete t->list()->takeItem(0); }, "bc",
            "abc", done);
        row("Cancel", [](TestCommands *t) { t->click(u"cmdCancel"_s); }, "abc", "a",
            {u"Encoding track a.mp3 (1/3) 001100 User requested stop, please wait while finishing current track..."_s,
             u"User Requested Stop! 101101 "_s + batch::BatchRun::titleStopped()});
        row("Quit", [](TestCommands *t) { t->click(u"cmdQuit"_s); }, nullptr, "", {running});
    }

    void whatTheUserDoesDuringARunIsSeenByIt()
    {
        QFETCH(Act, act);
        QFETCH(QString, left);
        QFETCH(QString, encoded);
        QFETCH(QStringList, states);
        const auto green = [this](const char *line) {
            return control(line)->palette().color(QPalette::WindowText) == Qt::darkGreen;
        };
        const auto state = [&] {
            return u"%1 %2%3%4%5%6%7 %8"_s.arg(control<QLabel>("lblActivity")->text())
                .arg(control("cmdEncode")->isEnabled())
                .arg(control("cmdCancel")->isEnabled())
                .arg(control<ui::StatusLamp>("shpWait")->fillColour() == batch::colours::WaitLit)
                .arg(ui::ConfigurationRef::program().window() != nullptr)
                .arg(green("lblActivity"))
                .arg(green("lblFile2"))
                .arg(m_window->windowTitle());
        };
        QStringList seen;
        drop(centreOf(list()), files("abc"));
        control<QRadioButton>("optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")
            ->setText(left.isNull() ? "--bytes 100000 --chunk 1000 --interval 50"
                                    : "--bytes 3000 --chunk 1000 --interval 250");
        QTimer watch; // acts once the first file's encoder has written to its new MP3 file
        watch.callOnTimeout([&] {
            const QFileInfoList writing = QDir(path(".")).entryInfoList({".a.mp3.*.part"},
                                                                        QDir::Files | QDir::Hidden);
            if (!writing.isEmpty() && writing[0].size() > 0 && !QFile::exists(path("a.mp3"))) {
                watch.stop();
                act(this);
                seen << state();
            }
        });
        watch.start(10);
        const QDeadlineTimer beforeTheFirstFileIsDone(4000); // it alone takes five seconds
        click("cmdEncode");
        if (!left.isNull()) // else the window closes once the run unwound
            seen << state();
        QCOMPARE(seen, states);
        QTRY_VERIFY(left.isNull() != !m_window.isNull());
        QVERIFY(!left.isNull() || !beforeTheFirstFileIsDone.hasExpired()); // the encoder was not waited for
        QCOMPARE(m_boxes->boxes.size(), 0);
        for (const QChar letter : u"abcde"_s)
            QVERIFY2(QFile::exists(path(letter + u".mp3"_s)) == encoded.contains(letter),
                     qPrintable(QString(letter)));
        if (m_window)
            QCOMPARE(rows() << control<QLabel>("lblFile2")->text(), files(left) << u"Done!"_s);
    }

    // The program ends once no window is visible: a configuration window hidden (a refused run loads it) goes
    // too.
    void quitEndsTheProgramOnceNoWindowIsVisible_data()
    {
        QTest::addColumn<bool>("configurationShown");
        QTest::newRow("the configuration window open") << true;
        QTest::newRow("the configuration window loaded, hidden") << false;
    }

    void quitEndsTheProgramOnceNoWindowIsVisible()
    {
        QFETCH(bool, configurationShown);
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QPointer<ui::Configuration> configuration;
        QObject guard; // against a program that never ends
        QTimer::singleShot(20000, &guard, [] { QCoreApplication::exit(99); });
        QTimer::singleShot(0, &guard, [&] {
            click(configurationShown ? "cmdConfig" : "cmdEncode"); // with an empty list: refused, with a box
            configuration = ui::ConfigurationRef::program().window();
            click("cmdQuit");
            QCOMPARE(lastClosed.count(), configurationShown ? 0 : 1);
            QVERIFY(configuration && configuration->isVisible() == configurationShown);
            if (configurationShown)
                configuration->findChild<QPushButton *>("cmdQuit")->click(); // its Exit
        });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(std::pair(lastClosed.count(), m_boxes->boxes.size()),
                 std::pair(1LL, configurationShown ? 0LL : 1LL));
        QVERIFY(!m_window && !configuration);
    }

    // About names the encoder the next run would use: the file's while the configuration window is not
    // loaded (About does not load it), else its box's. The folder picker puts the folder and one separator
    // into the box and the settings; a cancel keeps both.
    void aboutAndFolderPickerTakeTheirValuesFromTheirSource()
    {
        const auto aboutNames = [&](const QString &stored, const QString &shown) {
            QVERIFY(platform::WritePrivateProfileString(settings::keys::kPaths, settings::keys::kLame, stored,
                                                        settings::settingsFilePath()));
            click("cmdAbout");
            QCOMPARE(m_boxes->boxes.value(0).title, u"About Purlwave - by the Purlwave developers"_s);
            QVERIFY(m_boxes->boxes.takeFirst().text.endsWith(
                u"\nVersion 1.3\nLicence: GPL-3.0-or-later\nEncoding is done by the LAME encoder: "_s
                + shown));
        };
        aboutNames(u"/opt/lame/bin/lame"_s, u"/opt/lame/bin/lame"_s);
        QVERIFY(!ui::ConfigurationRef::program().window());
        QCOMPARE(ui::ConfigurationRef::program().lamePath(),
                 u"/opt/lame/bin/lame"_s); // loads it
        aboutNames(u"/opt/other/lame"_s, u"/opt/lame/bin/lame"_s);

        ScriptedFolderBrowse picker;
        picker.choose(u"/srv/My Music"_s); // the second dialog is cancelled
        for (int n = 0; n < 2; ++n) {
            click("cmdSelectTrg");
            QCOMPARE(control<QLineEdit>("txtOutPath")->text(), u"/srv/My Music/"_s);
            QCOMPARE(storedDestination(), u"/srv/My Music/"_s);
        }
        QCOMPARE(picker.asked.size(), 2);
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
