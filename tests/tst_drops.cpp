// Files dragged from a file manager onto the program's real window, with settings
// on real files in a temporary program folder.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/messagebox.h"
#include "ui/modfolderbrowse.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace testsupport;
using namespace Qt::StringLiterals;

class tst_Drops : public QObject, ProgramFixture {
    Q_OBJECT

private slots:
    void init() { QVERIFY(start(standinEncoder())); }
    void cleanup() { QVERIFY(end()); }

    // The list starts with two rows, the first selected; the output box with "/srv/before/".
    void dropTakesLocalFilesWhereItLands_data()
    {
        QTest::addColumn<QString>("over"); // a control's name; empty: where no control lies
        QTest::addColumn<QStringList>("dragged"); // names in the temporary folder, or web links
        QTest::addColumn<QString>("text"); // null: no text beside the files
        QTest::addColumn<int>("drops");
        QTest::addColumn<QStringList>("rowsAdded");
        QTest::addColumn<QString>("box"); // empty: the box keeps its text
        QTest::addColumn<QString>("told"); // the message box that follows; empty: none

        const QString list = u"lstWavefiles"_s, out = u"txtOutPath"_s, link = u"https://example.org/b.wav"_s, no;
        const QStringList three = {"c d.wav", "Café.wav", "b.wav"}, none;
        QStringList many;
        for (int i = 0; i < 32767; ++i)
            many << u"n%1.wav"_s.arg(i);

        QTest::newRow("list: three files after the rows, in the drag's order")
            << list << three << no << 1 << three << no << no;
        QTest::newRow("list: the same files twice") << list << three << no << 2 << three + three << no << no;
        QTest::newRow("list: a folder and a missing file, unfiltered")
            << list << QStringList{"Album/", "gone.txt"} << no << 1 << QStringList{"Album/", "gone.txt"} << no << no;
        QTest::newRow("list: files, text and a web link: the files")
            << list << QStringList{"a.wav", link} << u"x.wav"_s << 1 << QStringList{"a.wav"} << no << no;
        QTest::newRow("list: text only adds nothing") << list << none << u"/m/x.wav"_s << 1 << none << no << no;
        QTest::newRow("list: past the limit, up to it, and says how many were left")
            << list << many << no << 1 << many.first(32765) << no
            << u"The list holds at most 32767 files. 2 of the dropped files were not added."_s;
        QTest::newRow("output box: two files, the first taken and saved")
            << out << QStringList{"first.wav", "second.wav"} << no << 1 << none << u"first.wav"_s << no;
        QTest::newRow("output box: text only is refused") << out << none << u"/srv/x/"_s << 1 << none << no << no;
        QTest::newRow("output box: a web link only is refused") << out << QStringList{link} << no << 1 << none << no
                                                                << no;
        QTest::newRow("background: files") << no << QStringList{"a.wav"} << no << 1 << none << no << no;
        QTest::newRow("background: text") << no << none << u"a.wav"_s << 1 << none << no << no;
    }

    void dropTakesLocalFilesWhereItLands()
    {
        QFETCH(QString, over);
        QFETCH(QStringList, dragged);
        QFETCH(QString, text);
        QFETCH(int, drops);
        QFETCH(QStringList, rowsAdded);
        QFETCH(QString, box);
        QFETCH(QString, told);

        ui::RecordedMessageBoxes boxes;
        QStringList rows = {u"/m/one.wav"_s, u"/m/two.wav"_s};
        control<QListWidget>("lstWavefiles")->addItems(rows);
        m_window->selectRow(0);
        control<QLineEdit>("txtOutPath")->setText(u"/srv/before/"_s);
        // Between the list and the output box, where no control lies.
        const QPoint point = over.isEmpty() ? QPoint(4000 / 15, 4100 / 15) : centreOf(control(over));
        QVERIFY(over.isEmpty() == !m_window->childAt(point));
        QList<QUrl> urls;
        for (const QString &name : std::as_const(dragged))
            urls << (name.contains("://"_L1) ? QUrl(name) : QUrl::fromLocalFile(path(name)));
        const auto data = dragData(urls, text);

        // The list and the box show copy when they take the drop, none when they
        // refuse it; the rest of the window shows copy, and a drop there does nothing.
        const Qt::DropAction taken = rowsAdded.isEmpty() && box.isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
        for (int i = 0; i < drops; ++i) {
            const DragOutcome outcome = dragAndDrop(m_window, point, data.get());
            QCOMPARE(outcome.moveAction, over.isEmpty() ? Qt::CopyAction : taken);
            QCOMPARE(outcome.dropAction, taken);
        }

        for (const QString &name : std::as_const(rowsAdded))
            rows << QDir::toNativeSeparators(path(name));
        QCOMPARE(rowsOf(control<QListWidget>("lstWavefiles")), rows);
        QCOMPARE(control<QListWidget>("lstWavefiles")->currentRow(), 0);
        const QString expectedBox = box.isEmpty() ? u"/srv/before/"_s : path(box);
        QCOMPARE(control<QLineEdit>("txtOutPath")->text(), expectedBox);
        QCOMPARE(storedDestination(), expectedBox);
        // A box comes once the drop is over: from inside it, it would hold the drag source.
        QCOMPARE(boxes.boxes.size(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty())
            QCOMPARE(boxes.boxes.first().text, told);
    }

    // The whole job as a user does it: WAV files dragged in, Encode, MP3 files out.
    void droppedWavFilesAreEncodedWithTheRealEncoder_data()
    {
        QTest::addColumn<QString>("folder"); // empty: beside the sources
        QTest::addColumn<QStringList>("mp3s");
        QTest::newRow("beside the sources") << QString() << QStringList{"in/first take.mp3", "in/sub dir/Second.mp3"};
        QTest::newRow("in a folder chosen with the picker") << u"out"_s
                                                            << QStringList{"out/first take.mp3", "out/Second.mp3"};
    }

    void droppedWavFilesAreEncodedWithTheRealEncoder()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, mp3s);
        if (realLame().isEmpty())
            QSKIP("lame is not installed");
        QVERIFY(end());
        QVERIFY(start(realLame()));
        QVERIFY(QDir(m_dir->path()).mkpath("in/sub dir") && QDir(m_dir->path()).mkpath("out"));
        const QStringList wavs = {path("in/first take.wav"), path("in/sub dir/Second.WAV")};
        for (const QString &wav : wavs)
            QVERIFY(writeToneWav(wav, 1.0));

        ui::RecordedMessageBoxes boxes;
        ui::ScriptedFolderBrowse picker;
        picker.choose(path(folder));
        control<QLineEdit>("txtOutPath")->clear();
        const auto data = fileDrag(wavs);
        dragAndDrop(m_window, centreOf(control("lstWavefiles")), data.get());
        if (!folder.isEmpty())
            click("cmdSelectTrg");
        control<QRadioButton>("opt128")->setChecked(true);
        click("cmdEncode");

        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(control<QLabel>("lblActivity")->text(), u"Done!"_s);
        for (const QString &mp3 : std::as_const(mp3s))
            QVERIFY2(looksLikeMp3(path(mp3), 1.0), qPrintable(mp3));
    }
};

QTEST_MAIN(tst_Drops)
#include "tst_drops.moc"
