// SPDX-License-Identifier: GPL-3.0-or-later
// Files dragged from a file manager onto the program's real window, settings on real files in a temporary
// folder.
#include "programsupport.h"
#include "recordedmessageboxes.h"
#include "scriptedfolderbrowse.h"
#include "testsupport.h"

#include <QByteArrayList>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace testsupport;
using namespace Qt::StringLiterals;

class TestDrops : public QObject, ProgramFixture {
    Q_OBJECT

private slots:
    void init() { QVERIFY(start(realLame())); }
    void cleanup() { QVERIFY(end()); }

    // The list starts with two rows, the first selected; the output box with "/srv/before/". A name that is
    // not UTF-8 (a Latin-1 "café", a stray byte) could be held only changed, and the encoder would be handed
    // another file's name: such files, real ones, are left out and named in one box after the drop.
    void dropTakesLocalFilesWhereItLands_data()
    {
        QTest::addColumn<QString>("over");        // a control's name; empty: where no control lies
        QTest::addColumn<QStringList>("dragged"); // names in the temporary folder, or web links
        QTest::addColumn<QByteArrayList>("raw");  // real files' names as bytes, dragged after them
        QTest::addColumn<QString>("text");        // null: no text beside the files
        QTest::addColumn<QStringList>("rowsAdded");
        QTest::addColumn<QString>("box");  // empty: the box keeps its text
        QTest::addColumn<QString>("told"); // the message box that follows, <dir> for the folder; empty: none

        const QString list = u"lstWavefiles"_s, out = u"txtOutPath"_s, no;
        const QStringList four = {"c d.wav", "Café.wav", "b.wav", "c d.wav"}, none;
        const QByteArrayList good;

        QTest::newRow("list: files after the rows, in the drag's order, the same one twice")
            << list << four << good << no << four << no << no;
        QTest::newRow("list: a folder and a missing file, unfiltered")
            << list << QStringList{"Album/", "gone.txt"} << good << no << QStringList{"Album/", "gone.txt"}
            << no << no;
        QTest::newRow("list: a web link, a zero byte or another host names no file here: left out")
            << list
            << QStringList{"a.wav", u"https://e.org/b.wav"_s, u"file:///m/notes.txt%00.wav"_s,
                           u"file://elsewhere/b.wav"_s}
            << good << u"x.wav"_s << QStringList{"a.wav"} << no << no;
        QTest::newRow("list: text only adds nothing")
            << list << none << good << u"/m/x.wav"_s << none << no << no;
        QTest::newRow("list: a Latin-1 name after good ones is left out and named")
            << list << QStringList{"a.wav", "b.wav"} << QByteArrayList{"caf\xe9.wav"} << no
            << QStringList{"a.wav", "b.wav"} << no
            << u"1 of the dropped files was not added: its name is not valid UTF-8 text, so the encoder "
               u"could "
               u"not be handed it unchanged.\n\n<dir>/caf\\xE9.wav\n\nRename the file to a UTF-8 name and "
               u"add "
               u"it again."_s;
        QTest::newRow("list: past the limit, up to it; such a name and the limit told in one box")
            << list << QStringList(32766, u"n.wav"_s)
            << QByteArrayList{"caf\xe9.wav", "x\xff\xfe.wav", "\xc3(.wav"} << no
            << QStringList(32765, u"n.wav"_s) << no
            << u"3 of the dropped files were not added: their names are not valid UTF-8 text, so the encoder "
               u"could not be handed them "
               u"unchanged.\n\n<dir>/caf\\xE9.wav\n<dir>/x\\xFF\\xFE.wav\n<dir>/\\xC3(.wav\n\n"
               u"Rename the files to UTF-8 names and add them again.\n\n"
               u"The list holds at most 32767 files. 1 of the dropped files was not added."_s;
        QTest::newRow("output box: two files, the first taken and saved")
            << out << QStringList{"first.wav", "second.wav"} << good << no << none << u"first.wav"_s << no;
        QTest::newRow("output box: text only is refused")
            << out << none << good << u"/srv/x/"_s << none << no << no;
        QTest::newRow("output box: a first name that is not UTF-8 keeps the text, and says so")
            << out << none << QByteArrayList{"caf\xe9/", "good/"} << no << none << no
            << u"The dropped folder was not taken: its name is not valid UTF-8 text, so the encoder could "
               u"not be handed it unchanged.\n\n<dir>/caf\\xE9/\n\nRename it to a UTF-8 name and drop it "
               u"again, or choose another folder."_s;
        QTest::newRow("output box: a good first name is taken, the rest unread")
            << out << QStringList{"good/"} << QByteArrayList{"caf\xe9/"} << no << none << u"good/"_s << no;
        QTest::newRow("background: files do nothing")
            << no << QStringList{"a.wav"} << good << no << none << no << no;
    }

    void dropTakesLocalFilesWhereItLands()
    {
        QFETCH(QString, over);
        QFETCH(QStringList, dragged);
        QFETCH(QByteArrayList, raw);
        QFETCH(QString, text);
        QFETCH(QStringList, rowsAdded);
        QFETCH(QString, box);
        QFETCH(QString, told);

        RecordedMessageBoxes boxes;
        QStringList rows = {u"/m/one.wav"_s, u"/m/two.wav"_s};
        control<QListWidget>("lstWavefiles")->addItems(rows);
        m_window->selectRow(0);
        control<QLineEdit>("txtOutPath")->setText(u"/srv/before/"_s);
        for (const QByteArray &name : std::as_const(raw)) {
            const QString url = rawFileUrl(name.endsWith('/') ? name.chopped(1) : name);
            QVERIFY2(!url.isEmpty(), name.constData());
            dragged << url + (name.endsWith('/') ? u"/"_s : QString());
        }
        const QPoint point = over.isEmpty() ? QPoint(4000 / 15, 4100 / 15) : centreOf(control(over));
        QVERIFY(over.isEmpty() == !m_window->childAt(point));

        // Files offered show copy, text alone none; a drop that takes nothing is refused. The background
        // shows copy and does nothing.
        const Qt::DropAction move = dragged.isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
        const bool taken = !rowsAdded.isEmpty() || !box.isEmpty();
        QCOMPARE(drop(point, dragged, text),
                 std::pair(move, over.isEmpty() || !taken ? Qt::IgnoreAction : Qt::CopyAction));

        for (const QString &name : std::as_const(rowsAdded))
            rows << QDir::toNativeSeparators(path(name));
        QCOMPARE(this->rows(), rows);
        QCOMPARE(control<QListWidget>("lstWavefiles")->currentRow(), 0);
        const QString expectedBox = box.isEmpty() ? u"/srv/before/"_s : path(box);
        QCOMPARE(control<QLineEdit>("txtOutPath")->text(), expectedBox);
        QCOMPARE(storedDestination(), expectedBox);
        // A box comes once the drop is over: from inside it, it would hold the drag source.
        QCOMPARE(boxes.boxes.size(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), told.isEmpty() ? 0 : 1);
        QCOMPARE(boxes.boxes.value(0).text, QString(told).replace(u"<dir>"_s, m_dir->path()));
    }

    // The whole job as a user does it: WAV files dragged in, a folder picked, Encode, MP3 files out.
    void droppedWavFilesAreEncodedWithTheRealEncoder()
    {
        QVERIFY(QDir(m_dir->path()).mkpath("in/sub dir") && QDir(m_dir->path()).mkpath("out"));
        const QStringList wavs = {u"in/first take.wav"_s, u"in/sub dir/Second.WAV"_s};
        QVERIFY(writeToneWav(path(wavs[0]), 1.0) && writeToneWav(path(wavs[1]), 1.0));

        RecordedMessageBoxes boxes;
        ScriptedFolderBrowse picker;
        picker.choose(path(u"out"_s));
        drop(centreOf(control("lstWavefiles")), wavs);
        click("cmdSelectTrg");
        control<QRadioButton>("opt128")->setChecked(true);
        click("cmdEncode");

        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(control<QLabel>("lblActivity")->text(), u"Done!"_s);
        for (const char *mp3 : {"out/first take.mp3", "out/Second.mp3"})
            QVERIFY2(looksLikeMp3(path(QString::fromUtf8(mp3)), 1.0), mp3);
    }
};

QTEST_MAIN(TestDrops)
#include "tst_drops.moc"
