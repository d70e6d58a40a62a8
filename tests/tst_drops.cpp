// Files dragged from a file manager onto the program's real window, delivered as
// the platform delivers them; settings on real files in a temporary program folder.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/messagebox.h"
#include "ui/modfolderbrowse.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

using namespace testsupport;

namespace {

constexpr int MaxRows = 32767;

QStringList numberedPaths(const QString &stem, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << stem + QString::number(i) + QStringLiteral(".wav");
    return paths;
}

// Names in the temporary folder as a file manager's URLs; a name with a scheme
// stays the address it is.
using Names = QStringList;

} // namespace

class tst_Drops : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QPointer<frmMain> m_window;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    QListWidget *list() { return m_window->findChild<QListWidget *>(QStringLiteral("lstWavefiles")); }
    QLineEdit *outPath() { return m_window->findChild<QLineEdit *>(QStringLiteral("txtOutPath")); }

    QList<QUrl> urls(const Names &names) const
    {
        QList<QUrl> result;
        for (const QString &name : names)
            result << (name.contains(QLatin1String("://")) ? QUrl(name) : QUrl::fromLocalFile(path(name)));
        return result;
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
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
    }

    void dropOnTheListAppendsEveryLocalFile_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<Names>("dragged");
        QTest::addColumn<QString>("text"); // null: no text beside the files
        QTest::addColumn<int>("drops");
        QTest::addColumn<Names>("added");

        const QStringList two = {QStringLiteral("/music/one.wav"), QStringLiteral("/music/two.wav")};
        const Names three = {"c.wav", "a.wav", "b.wav"};
        const QString link = QStringLiteral("https://example.org/b.wav");

        QTest::newRow("three files after existing rows, in the drag's order")
            << two << three << QString() << 1 << three;
        QTest::newRow("the same files twice") << QStringList() << three << QString() << 2 << three + three;
        QTest::newRow("a folder, a text file and a missing file, unfiltered")
            << QStringList() << Names{"Album/", "notes.txt", "gone.wav"} << QString() << 1
            << Names{"Album/", "notes.txt", "gone.wav"};
        QTest::newRow("blanks and accents, decoded")
            << QStringList() << Names{"Live at the Café 1.wav"} << QString() << 1 << Names{"Live at the Café 1.wav"};
        QTest::newRow("files with text beside them: the files count")
            << two << Names{"a.wav"} << QStringLiteral("a.wav") << 1 << Names{"a.wav"};
        QTest::newRow("files and a web link: the link is left out")
            << QStringList() << Names{"a.wav", link} << QString() << 1 << Names{"a.wav"};
        QTest::newRow("text only adds nothing") << two << Names() << QStringLiteral("/music/x.wav") << 1 << Names();
        QTest::newRow("a web link only adds nothing") << two << Names{link} << QString() << 1 << Names();
    }

    void dropOnTheListAppendsEveryLocalFile()
    {
        QFETCH(QStringList, existing);
        QFETCH(Names, dragged);
        QFETCH(QString, text);
        QFETCH(int, drops);
        QFETCH(Names, added);

        ui::RecordedMessageBoxes boxes;
        const QString outPathBefore = outPath()->text();
        list()->addItems(existing);
        const int selected = existing.isEmpty() ? -1 : 0;
        m_window->selectRow(selected);

        const auto data = dragData(urls(dragged), text);
        const Qt::DropAction effect = added.isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
        for (int i = 0; i < drops; ++i) {
            const DragOutcome outcome = dragAndDrop(m_window, centreOf(list()), data.get());
            QCOMPARE(outcome.moveAction, effect);
            QCOMPARE(outcome.dropAction, effect);
        }

        QStringList expected = existing;
        for (const QString &name : std::as_const(added))
            expected << QDir::toNativeSeparators(path(name));
        QCOMPARE(rowsOf(list()), expected);
        QCOMPARE(list()->currentRow(), selected);
        QCOMPARE(outPath()->text(), outPathBefore);
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), 0);
    }

    void dropPastTheRowLimitAddsUpToItAndSaysHowManyWereLeft_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<int>("left");

        QTest::newRow("up to the limit exactly") << MaxRows - 3 << 3 << 0;
        QTest::newRow("two fit, three are left") << MaxRows - 2 << 5 << 3;
        QTest::newRow("a full list takes none") << MaxRows << 1 << 1;
        QTest::newRow("one drop past the limit on an empty list") << 0 << MaxRows + 2 << 2;
    }

    void dropPastTheRowLimitAddsUpToItAndSaysHowManyWereLeft()
    {
        QFETCH(int, existing);
        QFETCH(int, dropped);
        QFETCH(int, left);

        ui::RecordedMessageBoxes boxes;
        list()->addItems(numberedPaths(QStringLiteral("/old/"), existing));
        const QStringList paths = numberedPaths(QStringLiteral("/new/"), dropped);
        const auto data = fileDrag(paths);
        QCOMPARE(dragAndDrop(m_window, centreOf(list()), data.get()).dropAction, Qt::CopyAction);

        const int kept = dropped - left;
        QCOMPARE(list()->count(), existing + kept);
        if (kept > 0)
            QCOMPARE(rowsOf(list()).mid(existing), paths.first(kept));
        // The box comes once the drop is over, not from inside it.
        QCOMPARE(boxes.boxes.size(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), left > 0 ? 1 : 0);
        if (left > 0) {
            const QString text = boxes.boxes.first().text;
            QVERIFY2(text.contains(QStringLiteral("%1 files. %2 of the dropped").arg(MaxRows).arg(left)),
                     qPrintable(text));
        }
    }

    void dropOnTheOutputBoxTakesTheFirstPathAndSavesIt_data()
    {
        QTest::addColumn<Names>("dragged");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("taken"); // empty: the box keeps its text

        QTest::newRow("two files: the first, a file's path as it is")
            << Names{"first.wav", "second.wav"} << QString() << QStringLiteral("first.wav");
        QTest::newRow("a folder, no separator added") << Names{"Out"} << QString() << QStringLiteral("Out");
        QTest::newRow("text only is refused") << Names() << QStringLiteral("/srv/elsewhere/") << QString();
        QTest::newRow("a web link is refused") << Names{"https://example.org/"} << QString() << QString();
    }

    void dropOnTheOutputBoxTakesTheFirstPathAndSavesIt()
    {
        QFETCH(Names, dragged);
        QFETCH(QString, text);
        QFETCH(QString, taken);

        outPath()->setText(QStringLiteral("/srv/before/"));
        const auto data = dragData(urls(dragged), text);
        const DragOutcome outcome = dragAndDrop(m_window, centreOf(outPath()), data.get());

        const QString expected = taken.isEmpty() ? QStringLiteral("/srv/before/") : path(taken);
        QCOMPARE(outPath()->text(), expected);
        QCOMPARE(storedDestination(), expected);
        const Qt::DropAction effect = taken.isEmpty() ? Qt::IgnoreAction : Qt::CopyAction;
        QCOMPARE(outcome.moveAction, effect);
        QCOMPARE(outcome.dropAction, effect);
        QCOMPARE(list()->count(), 0);
    }

    void dragOverTheRestOfTheWindowShowsCopyAndDropDoesNothing_data()
    {
        QTest::addColumn<QString>("over"); // a control's name, or empty for the background
        QTest::addColumn<bool>("files");

        QTest::newRow("background, files") << QString() << true;
        QTest::newRow("background, text") << QString() << false;
        QTest::newRow("a button, files") << QStringLiteral("cmdAbout") << true;
        QTest::newRow("a label, text") << QStringLiteral("lblWavelist") << false;
    }

    void dragOverTheRestOfTheWindowShowsCopyAndDropDoesNothing()
    {
        QFETCH(QString, over);
        QFETCH(bool, files);

        ui::RecordedMessageBoxes boxes;
        const QString before = outPath()->text();
        // Between the list and the output box, where no control lies.
        const QPoint point = over.isEmpty() ? QPoint(4000 / 15, 4100 / 15)
                                            : centreOf(m_window->findChild<QWidget *>(over));
        QVERIFY(over.isEmpty() == !m_window->childAt(point));
        const auto data = files ? fileDrag({path(QStringLiteral("a.wav"))})
                                : dragData({}, QStringLiteral("a.wav"));

        QCOMPARE(dragAndDrop(m_window, point, data.get(), false).moveAction, Qt::CopyAction);
        QCOMPARE(dragAndDrop(m_window, point, data.get()).dropAction, Qt::IgnoreAction);
        QCOMPARE(list()->count(), 0);
        QCOMPARE(outPath()->text(), before);
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), 0);
    }

    // The whole job as a user does it: WAV files dragged in, Encode, MP3 files out.
    void droppedWavFilesAreEncodedWithTheRealEncoder_data()
    {
        QTest::addColumn<bool>("chosenFolder");
        QTest::newRow("beside the sources") << false;
        QTest::newRow("in a folder chosen with the picker") << true;
    }

    void droppedWavFilesAreEncodedWithTheRealEncoder()
    {
        QFETCH(bool, chosenFolder);
        const QString lame = realLame();
        if (lame.isEmpty())
            QSKIP("lame is not installed");
        QVERIFY(endProgram());
        m_window = startProgram(lame);
        QVERIFY(m_window);

        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("in/sub dir")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("out")));
        const QStringList wavs = {path(QStringLiteral("in/first take.wav")),
                                  path(QStringLiteral("in/sub dir/Second.WAV"))};
        for (const QString &wav : wavs)
            QVERIFY(writeToneWav(wav, 1.0));

        ui::RecordedMessageBoxes boxes;
        outPath()->clear();
        const auto data = fileDrag(wavs);
        dragAndDrop(m_window, centreOf(list()), data.get());
        QCOMPARE(list()->count(), 2);
        ui::ScriptedFolderBrowse picker;
        picker.choose(path(QStringLiteral("out")));
        if (chosenFolder)
            m_window->findChild<QPushButton *>(QStringLiteral("cmdSelectTrg"))->click();
        m_window->findChild<QRadioButton *>(QStringLiteral("opt128"))->setChecked(true);

        m_window->findChild<QPushButton *>(QStringLiteral("cmdEncode"))->click();

        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblActivity"))->text(), QStringLiteral("Done!"));
        const QStringList mp3s = chosenFolder ? QStringList{QStringLiteral("out/first take.mp3"),
                                                            QStringLiteral("out/Second.mp3")}
                                              : QStringList{QStringLiteral("in/first take.mp3"),
                                                            QStringLiteral("in/sub dir/Second.mp3")};
        for (const QString &mp3 : mp3s)
            QVERIFY2(looksLikeMp3(path(mp3), 1.0), qPrintable(mp3));
    }
};

QTEST_MAIN(tst_Drops)
#include "tst_drops.moc"
