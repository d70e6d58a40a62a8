// Files dragged from a file manager onto the real main window, delivered as the
// platform delivers them; settings on real files in a temporary program folder.
#include "dragdrop.h"
#include "platform/profile.h"
#include "settings/location.h"
#include "testsupport.h"
#include "ui/configurationref.h"
#include "ui/frmmain.h"
#include "ui/messagebox.h"
#include "ui/modfolderbrowse.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using testsupport::dragAndDrop;
using testsupport::fileDrag;

namespace {

constexpr int MaxRows = 32767;

QString storedDestination()
{
    return platform::GetPrivateProfileString("PATHS", "Destination Path", QStringLiteral("<missing>"), 4096,
                                             settings::settingsFilePath());
}

QStringList rowsOf(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

QStringList numberedPaths(const QString &stem, int from, int count)
{
    QStringList paths;
    paths.reserve(count);
    for (int i = from; i < from + count; ++i)
        paths << stem + QString::number(i) + QStringLiteral(".wav");
    return paths;
}

} // namespace

class tst_Drops : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    ui::ConfigurationRef m_config;
    QPointer<frmMain> m_window;

    // The loaded, shown window, with the encoder that the configuration window
    // reads from the settings file.
    bool loadWindow(const QString &encoder = testsupport::standinEncoder())
    {
        if (!platform::WritePrivateProfileString("PATHS", "LAME", encoder, settings::settingsFilePath()))
            return false;
        m_window = new frmMain(m_config);
        m_window->Form_Load();
        return QTest::qWaitForWindowExposed(m_window);
    }

    QListWidget *list() { return m_window->findChild<QListWidget *>(QStringLiteral("lstWavefiles")); }
    QLineEdit *outPath() { return m_window->findChild<QLineEdit *>(QStringLiteral("txtOutPath")); }

    QString path(const QString &name) const { return m_dir->filePath(name); }

    // A point of the window that no control covers.
    QPoint background()
    {
        const QPoint point(4000 / 15, 4100 / 15);
        return m_window->childAt(point) ? QPoint() : point;
    }

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
        m_config.unloadAndRelease();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.cbegin(), windows.cend(), [](const QWidget *w) {
            return w->isVisible() || qobject_cast<const frmMain *>(w);
        }));
    }

    void dropOnTheListAppendsEveryLocalFile_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text"); // null: no text beside the files
        QTest::addColumn<int>("drops");
        QTest::addColumn<QStringList>("added"); // relative to the temporary folder

        const auto file = [](const char *name) { return QUrl::fromLocalFile(QStringLiteral("%1/") + name); };
        const QStringList two = {QStringLiteral("/music/one.wav"), QStringLiteral("/music/two.wav")};
        const QList<QUrl> three = {file("c.wav"), file("a.wav"), file("b.wav")};

        QTest::newRow("three files after existing rows, in the drag's order")
            << two << three << QString() << 1 << QStringList{"c.wav", "a.wav", "b.wav"};
        QTest::newRow("the same files twice")
            << QStringList() << three << QString() << 2
            << QStringList{"c.wav", "a.wav", "b.wav", "c.wav", "a.wav", "b.wav"};
        QTest::newRow("a folder, a text file and a missing file, unfiltered")
            << QStringList() << QList<QUrl>{file("Album/"), file("notes.txt"), file("gone.wav")} << QString() << 1
            << QStringList{"Album/", "notes.txt", "gone.wav"};
        QTest::newRow("blanks and accents, decoded")
            << QStringList() << QList<QUrl>{file("Live at the Café 1.wav")} << QString() << 1
            << QStringList{"Live at the Café 1.wav"};
        QTest::newRow("files with text beside them: the files count")
            << two << QList<QUrl>{file("a.wav")} << QStringLiteral("a.wav") << 1 << QStringList{"a.wav"};
        QTest::newRow("files and a web link: the link is left out")
            << QStringList() << QList<QUrl>{file("a.wav"), QUrl(QStringLiteral("https://example.org/b.wav"))}
            << QString() << 1 << QStringList{"a.wav"};
        QTest::newRow("text only adds nothing")
            << two << QList<QUrl>() << QStringLiteral("/music/three.wav") << 1 << QStringList();
        QTest::newRow("a web link only adds nothing")
            << two << QList<QUrl>{QUrl(QStringLiteral("https://example.org/b.wav"))} << QString() << 1
            << QStringList();
    }

    void dropOnTheListAppendsEveryLocalFile()
    {
        QFETCH(QStringList, existing);
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QFETCH(int, drops);
        QFETCH(QStringList, added);

        QVERIFY(loadWindow());
        ui::RecordedMessageBoxes boxes;
        const QString outPathBefore = outPath()->text();
        list()->addItems(existing);
        const int selected = existing.isEmpty() ? -1 : 0;
        m_window->selectRow(selected);

        for (QUrl &url : urls)
            if (url.isLocalFile())
                url = QUrl::fromLocalFile(url.toLocalFile().arg(m_dir->path()));
        const auto data = fileDrag(urls, text);
        const bool offersFiles = !added.isEmpty();
        for (int i = 0; i < drops; ++i) {
            const testsupport::DragOutcome outcome = dragAndDrop(m_window, testsupport::centreOf(list()), data.get());
            const Qt::DropAction effect = offersFiles ? Qt::CopyAction : Qt::IgnoreAction;
            QCOMPARE(outcome.moveAction, effect);
            QCOMPARE(outcome.dropAction, effect);
        }

        QStringList expected = existing;
        for (const QString &name : added)
            expected << QDir::toNativeSeparators(path(name));
        QCOMPARE(rowsOf(list()), expected);
        QCOMPARE(list()->currentRow(), selected);
        QCoreApplication::processEvents();
        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(outPath()->text(), outPathBefore);
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

        QVERIFY(loadWindow());
        ui::RecordedMessageBoxes boxes;
        list()->addItems(numberedPaths(QStringLiteral("/old/"), 0, existing));
        const QStringList paths = numberedPaths(QStringLiteral("/new/"), 0, dropped);
        const auto data = fileDrag(paths);
        QVERIFY(dragAndDrop(m_window, testsupport::centreOf(list()), data.get()).dropAccepted);

        const int kept = dropped - left;
        QCOMPARE(list()->count(), existing + kept);
        if (kept > 0) {
            QCOMPARE(list()->item(existing)->text(), paths.first());
            QCOMPARE(list()->item(list()->count() - 1)->text(), paths.at(kept - 1));
        }
        if (left == 0) {
            QCoreApplication::processEvents();
            QCOMPARE(boxes.boxes.size(), 0);
            return;
        }
        // The box comes once the drop is over, not from inside it.
        QCOMPARE(boxes.boxes.size(), 0);
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY2(boxes.boxes.first().text.contains(QStringLiteral(" %1 of the dropped files").arg(left)),
                 qPrintable(boxes.boxes.first().text));
        QVERIFY(boxes.boxes.first().text.contains(QString::number(MaxRows)));
    }

    void dropOnTheOutputBoxTakesTheFirstPathAndSavesIt_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("taken"); // empty: the box keeps its text

        const auto file = [](const char *name) { return QUrl::fromLocalFile(QStringLiteral("%1/") + name); };
        QTest::newRow("two files: the first, a file's path as it is")
            << QList<QUrl>{file("first.wav"), file("second.wav")} << QString() << QStringLiteral("first.wav");
        QTest::newRow("a folder, no separator added") << QList<QUrl>{file("Out")} << QString()
                                                      << QStringLiteral("Out");
        QTest::newRow("text only is refused") << QList<QUrl>() << QStringLiteral("/srv/elsewhere/") << QString();
        QTest::newRow("a web link is refused")
            << QList<QUrl>{QUrl(QStringLiteral("https://example.org/"))} << QString() << QString();
    }

    void dropOnTheOutputBoxTakesTheFirstPathAndSavesIt()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QFETCH(QString, taken);

        QVERIFY(loadWindow());
        outPath()->setText(QStringLiteral("/srv/before/"));
        QCOMPARE(storedDestination(), QStringLiteral("/srv/before/"));

        for (QUrl &url : urls)
            if (url.isLocalFile())
                url = QUrl::fromLocalFile(url.toLocalFile().arg(m_dir->path()));
        const auto data = fileDrag(urls, text);
        const testsupport::DragOutcome outcome = dragAndDrop(m_window, testsupport::centreOf(outPath()), data.get());

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

        QVERIFY(loadWindow());
        ui::RecordedMessageBoxes boxes;
        const QString before = outPath()->text();
        const QPoint point = over.isEmpty() ? background()
                                            : testsupport::centreOf(m_window->findChild<QWidget *>(over));
        QVERIFY(!point.isNull());
        const auto data = files ? fileDrag(QStringList{path(QStringLiteral("a.wav"))})
                                : fileDrag(QList<QUrl>(), QStringLiteral("a.wav"));

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
        const QString lame = testsupport::realLame();
        if (lame.isEmpty())
            QSKIP("lame is not installed");

        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("in/sub dir")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("out")));
        const QStringList wavs = {path(QStringLiteral("in/first take.wav")),
                                  path(QStringLiteral("in/sub dir/Second.WAV"))};
        for (const QString &wav : wavs)
            QVERIFY(testsupport::writeToneWav(wav, 1.0));

        QVERIFY(loadWindow(lame));
        ui::RecordedMessageBoxes boxes;
        outPath()->clear();
        const auto data = fileDrag(wavs);
        QVERIFY(dragAndDrop(m_window, testsupport::centreOf(list()), data.get()).dropAccepted);
        QCOMPARE(list()->count(), 2);
        ui::ScriptedFolderBrowse picker;
        if (chosenFolder) {
            picker.choose(path(QStringLiteral("out")));
            m_window->findChild<QPushButton *>(QStringLiteral("cmdSelectTrg"))->click();
            QCOMPARE(storedDestination(), path(QStringLiteral("out/")));
        }
        m_window->findChild<QRadioButton *>(QStringLiteral("opt128"))->setChecked(true);

        m_window->findChild<QPushButton *>(QStringLiteral("cmdEncode"))->click();

        for (const auto &box : std::as_const(boxes.boxes))
            qWarning() << box.title << box.text;
        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblActivity"))->text(), QStringLiteral("Done!"));
        const QStringList mp3s =
            chosenFolder ? QStringList{path(QStringLiteral("out/first take.mp3")), path(QStringLiteral("out/Second.mp3"))}
                         : QStringList{path(QStringLiteral("in/first take.mp3")),
                                       path(QStringLiteral("in/sub dir/Second.mp3"))};
        for (const QString &mp3 : mp3s)
            QVERIFY2(testsupport::looksLikeMp3(mp3, 1.0), qPrintable(mp3));
    }
};

QTEST_MAIN(tst_Drops)
#include "tst_drops.moc"
