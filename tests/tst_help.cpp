// The compiled help file as built, read back with the chmlib tools, and F1.
#include "testsupport.h"

#include "settings/location.h"
#include "ui/configuration.h"
#include "ui/configurationref.h"
#include "ui/help.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kSources = QStringLiteral(PURLWAVE_SOURCE_DIR "/help");
QString builtHelpFile() { return testsupport::binDir() + QStringLiteral("/purlwave.chm"); }

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Unpacks a compiled help file with Debian's chmlib tools (libchm-bin).
bool extract(const QString &file, const QString &folder)
{
    QProcess process;
    process.start("extract_chmLib", {file, folder});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

    QTemporaryDir m_extracted; // what the help file holds

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(builtHelpFile()), qPrintable(builtHelpFile() + " was not built"));
        QVERIFY(m_extracted.isValid());
        QVERIFY2(extract(builtHelpFile(), m_extracted.path()),
                 "extract_chmLib (libchm-bin) cannot unpack it: no valid compiled help file");
        // The viewer opens the default page and the contents that the system data names.
        const QByteArray system = fileBytes(m_extracted.path() + "/#SYSTEM");
        QVERIFY(system.contains("index.html"));
        QVERIFY(system.contains("contents.hhc"));
    }

    void cleanup()
    {
        ui::ConfigurationRef::program().unloadAndRelease();
        QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(), "a window was left behind");
        settings::setProgramFolderForTesting(QString());
    }

    void helpFileHoldsEveryPage_data()
    {
        QTest::addColumn<QString>("name");
        const QStringList pages =
            QDir(kSources).entryList({"*.html", "*.css", "*.hhc", "*.hhk"}, QDir::Files, QDir::Name);
        QVERIFY(pages.contains("index.html"));
        for (const QString &page : pages)
            QTest::newRow(qPrintable(page)) << page;
    }

    // Each page is in the file as written, has a title, is in the contents, and
    // links only to what the file holds.
    void helpFileHoldsEveryPage()
    {
        QFETCH(QString, name);
        const QString held = m_extracted.path() + '/' + name;
        QVERIFY2(QFile::exists(held), qPrintable(name + " is missing from the help file"));
        const QByteArray source = fileBytes(kSources + '/' + name);
        QVERIFY(!source.isEmpty());
        QCOMPARE(fileBytes(held), source);
        if (!name.endsWith(".html"))
            return;
        QVERIFY2(QString::fromUtf8(source).contains(QRegularExpression("<title>[^<]+</title>")),
                 "a page without a title shows no name in the viewer");
        QVERIFY2(fileBytes(m_extracted.path() + "/contents.hhc").contains("value=\"" + name.toUtf8() + "\""),
                 qPrintable(name + " is not in the contents"));
        static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#:]+)[^\"]*\""));
        for (auto it = link.globalMatch(QString::fromUtf8(source)); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFile::exists(m_extracted.path() + '/' + target),
                     qPrintable(name + " links to " + target + ", which the help file lacks"));
        }
    }

    void f1InTheConfigurationWindowOpensTheHelpFile_data()
    {
        QTest::addColumn<bool>("present"); // the desktop is asked to open exactly the help file
        QTest::addColumn<bool>("viewerOpens");
        QTest::addColumn<QString>("message"); // what the box says besides the file's name; empty: no box

        QTest::newRow("beside the program") << true << true << "";
        QTest::newRow("no viewer for it") << true << false << "could not be opened";
        QTest::newRow("missing") << false << true << "was not found";
    }

    void f1InTheConfigurationWindowOpensTheHelpFile()
    {
        QFETCH(bool, present);
        QFETCH(bool, viewerOpens);
        QFETCH(QString, message);
        QTemporaryDir programFolder;
        QVERIFY(programFolder.isValid());
        settings::setProgramFolderForTesting(QDir::toNativeSeparators(programFolder.path()));
        const QString helpFile = settings::helpFilePath();
        if (present)
            QVERIFY(QFile::copy(builtHelpFile(), helpFile));

        ui::RecordedHelpRequests requests;
        requests.opens = viewerOpens;
        ui::RecordedMessageBoxes boxes;
        ui::ConfigurationRef::program().show();
        ui::Configuration *window = ui::ConfigurationRef::program().window();
        QVERIFY(window && QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->findChild<QLineEdit *>("txtLamePath"), Qt::Key_F1);

        QCOMPARE(requests.files, present ? QStringList{helpFile} : QStringList{});
        QCOMPARE(boxes.boxes.size(), message.isEmpty() ? 0 : 1);
        for (const auto &box : boxes.boxes) {
            QVERIFY2(box.text.contains(helpFile), qPrintable(box.text));
            QVERIFY2(box.text.contains(message), qPrintable(box.text));
        }
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
