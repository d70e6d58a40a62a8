// SPDX-License-Identifier: GPL-3.0-or-later
// The program from outside, in a temporary program folder: the files given as its arguments, the help file
// it carries (read back with Debian's chmlib tools) and F1, its built-in icon files and its logo box.
#include "dialogstandins.h"
#include "programsupport.h"
#include "testsupport.h"
#include "ui/announcement.h"
#include "ui/artwork.h"
#include "ui/layout.h"
#include "ui/widgets/logo.h"

#include <QGroupBox>
#include <QPainter>
#include <QProcess>

using namespace testsupport;
using namespace Qt::StringLiterals;
using App = platform::DesktopApplication;

static const QString kSources = QStringLiteral(PURLWAVE_SOURCE_DIR "/help");
static const QString kBuilt = binDir() + QStringLiteral("/purlwave.chm");

static QImage argb(const QImage &image) { return image.convertToFormat(QImage::Format_ARGB32); }

class TestProgram : public QObject, ProgramFixture {
    Q_OBJECT

    const QString m_startFolder = QDir::currentPath();
    QTemporaryDir m_extracted; // what the help file holds
    QByteArray extracted(const QString &name) const { return fileBytes(m_extracted.filePath(name)); }

private slots:
    void initTestCase()
    {
        QCOMPARE(QProcess::execute("extract_chmLib", {kBuilt, m_extracted.path()}), 0); // a valid file only
        const QByteArray system = extracted("#SYSTEM");
        QVERIFY(system.contains("index.html") && system.contains("contents.hhc")); // what the viewer opens
    }
    void cleanup()
    {
        QVERIFY(end());
        QVERIFY(QDir::setCurrent(m_startFolder));
    }

    // "<dir>" stands for the program folder, which is also the current folder.
    void argumentsBecomeRowsAsADropOfThemWould_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("told");
        QTest::newRow("absolute and relative paths in order, the same file twice, relative made absolute")
            << QByteArrayList{"<dir>/b.wav", "a.wav", "./sub/../b.wav", "Album/"}
            << QStringList{"<dir>/b.wav", "<dir>/a.wav", "<dir>/b.wav", "<dir>/Album/"} << QString();
        QTest::newRow("a file URL taken as its path: localhost's, or relative to the current folder")
            << QByteArrayList{"file:My%20Song%2050%25.wav", "file://localhost/srv/caf%C3%A9.wav"}
            << QStringList{"<dir>/My Song 50%.wav", u"/srv/café.wav"_s} << QString();
        QTest::newRow("a name that is not UTF-8, as a path or a URL, is left out and named")
            << QByteArrayList{"<dir>/caf\xe9.wav", "a.wav", "file://<dir>/x%FF.wav"}
            << QStringList{"<dir>/a.wav"}
            << u"2 of the given files were not added: their names are not valid UTF-8 text, so the encoder "
               u"could not be handed them unchanged.\n\n<dir>/caf\\xE9.wav\n<dir>/x\\xFF.wav\n\n"
               u"Rename the files to UTF-8 names and add them again."_s;
    }
    void argumentsBecomeRowsAsADropOfThemWould()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(QStringList, rows);
        QFETCH(QString, told);
        RecordedMessageBoxes boxes;
        QVERIFY(makeFolder() && QDir::setCurrent(m_dir->path()));
        for (QByteArray &argument : arguments)
            argument.replace("<dir>", QFile::encodeName(m_dir->path()));
        QVERIFY(launch(standinEncoder(), arguments));
        QCoreApplication::processEvents();
        QCOMPARE(this->rows(), rows.replaceInStrings(u"<dir>"_s, m_dir->path()));
        // Told once the window is first active: a screen reader does not know the program before.
        QTRY_COMPARE(control("announcement")->accessibleName(), ui::filesAddedSentence(int(rows.size())));
        QCOMPARE(boxes.boxes.size(), told.isEmpty() ? 0 : 1);
        QCOMPARE(boxes.boxes.value(0).text, told.replace(u"<dir>"_s, m_dir->path()));
    }

    void helpFileHoldsEveryPage_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList pages = QDir(kSources).entryList({"*.html", "*.css", "*.hhc", "*.hhk"},
                                                           QDir::Files);
        QVERIFY(pages.contains("index.html"));
        for (const QString &page : pages)
            QTest::newRow(qPrintable(page)) << page;
    }
    // Each page is in the file as written; each HTML page is in the contents, and each but the start page
    // in the index.
    void helpFileHoldsEveryPage()
    {
        QFETCH(QString, name);
        QCOMPARE(extracted(name), fileBytes(kSources + '/' + name));
        const QByteArray reference = "value=\"" + name.toUtf8() + "\"";
        if (name.endsWith(".html"))
            QVERIFY2(extracted("contents.hhc").contains(reference),
                     qPrintable(name + " is not in the contents"));
        if (name.endsWith(".html") && name != "index.html")
            QVERIFY2(extracted("index.hhk").contains(reference), qPrintable(name + " is not in the index"));
    }

    void f1InTheConfigurationWindowOpensTheHelpFile_data()
    {
        QTest::addColumn<bool>("present");    // the help file is beside the program
        QTest::addColumn<App>("application"); // whether the desktop has one for the file's type
        QTest::addColumn<bool>("viewerOpens");
        QTest::addColumn<QString>("message"); // what the box says besides the file's name; empty: no box
        QTest::newRow("a help file beside the program goes to its viewer, without a box")
            << true << App::Found << true << QString();
        QTest::newRow("a desktop that cannot be asked, and an opener that fails, is told")
            << true << App::Unknown << false << u"could not be opened"_s;
        QTest::newRow("a desktop without an application for the file type is told, the opener not asked")
            << true << App::None << true << u"could not be opened"_s;
        QTest::newRow("a missing help file is told, the opener not asked")
            << false << App::Found << true << u"was not found"_s;
    }
    void f1InTheConfigurationWindowOpensTheHelpFile()
    {
        QFETCH(bool, present);
        QFETCH(App, application);
        QFETCH(bool, viewerOpens);
        QFETCH(QString, message);
        QVERIFY(makeFolder());
        const QString helpFile = settings::helpFilePath();
        QVERIFY(!present || QFile::copy(kBuilt, helpFile));
        RecordedHelpRequests requests;
        requests.application = application;
        requests.opens = viewerOpens;
        RecordedMessageBoxes boxes;
        ui::ConfigurationRef::program().show();
        ui::Configuration *window = ui::ConfigurationRef::program().window();
        QVERIFY(window && QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->findChild<QWidget *>("txtLamePath"), Qt::Key_F1);
        QCOMPARE(requests.files, present && application != App::None ? QStringList{helpFile} : QStringList{});
        QCOMPARE(boxes.boxes.size(), message.isEmpty() ? 0 : 1);
        for (const auto &box : boxes.boxes)
            QVERIFY2(box.text.contains(helpFile) && box.text.contains(message), qPrintable(box.text));
    }

    // The icon files, built into the window up to 64 pixels and all of them in the icon theme, are what the
    // painter draws. It has no picture of its own at every size: it scales from the next larger one, as the
    // files were rendered. The Presets frame, drawn from Fusion's picture read as PNG, is Fusion's own.
    void builtInPicturesAreWhatIsDrawn()
    {
        QWidget window; // the frame's title in the font the main window gives it
        window.setFont(ui::verdanaFont(9.75, true));
        QGroupBox *own = ui::groupBoxFramedAsPng(u"Presets"_s, &window),
                  *fusion = new QGroupBox(u"Presets"_s, &window);
        own->resize(153, 169), fusion->resize(153, 169);
        QCOMPARE(argb(own->grab().toImage()), argb(fusion->grab().toImage()));
        for (const int side : {16, 48, 256}) {
            const QString theme = u"" PURLWAVE_SOURCE_DIR
                                  "/data/icons/hicolor/%1x%1/apps/org.example.Purlwave.png"_s;
            const QImage file = side <= 64 ? ui::applicationIcon().pixmap(QSize(side, side), 1.0).toImage()
                                           : QImage(theme.arg(side));
            QCOMPARE(file.size(), QSize(side, side));
            QVERIFY2(argb(file)
                         == argb(ui::paintedApplicationIcon().pixmap(QSize(side, side), 1.0).toImage()),
                     qPrintable(u"the %1-pixel icon file is older than the painter: render the files again "
                                u"with purlwave_iconrender"_s.arg(side)));
        }
    }

    // However often it is repainted or resized, and back.
    void logoBoxShowsTheLogoPaintedAtItsSize()
    {
        const QSize own = ui::kLogoPictureSize;
        ui::Logo logo;
        const QSize border = logo.sizeHint() - own;
        for (const QSize &size : {own, own, own + QSize(100, 30), own}) {
            logo.resize(size + border);
            QCOMPARE(logo.contentsRect().size(), size);
            QImage painted(size, QImage::Format_ARGB32_Premultiplied);
            painted.fill(Qt::transparent);
            QPainter painter(&painted);
            ui::paintLogo(painter, QRectF(QPointF(0, 0), QSizeF(size)));
            painter.end();
            QCOMPARE(argb(logo.grab(logo.contentsRect()).toImage()), argb(painted));
        }
    }
};

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
