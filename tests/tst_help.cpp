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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString helpSourceDir() { return QStringLiteral(PURLWAVE_SOURCE_DIR "/help"); }
QString builtHelpFile() { return testsupport::binDir() + QStringLiteral("/purlwave.chm"); }

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs one of the chmlib tools; its standard output, or nothing when it failed.
std::optional<QByteArray> runTool(const QString &tool, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void helpFileHoldsEveryPage_data();
    void helpFileHoldsEveryPage();
    void contentsAndDefaultPageAreSet();

    void f1InTheConfigurationWindowOpensTheHelpFile_data();
    void f1InTheConfigurationWindowOpensTheHelpFile();

private:
    QStringList m_entries; // the names the help file holds, "/index.html" and so on
    QTemporaryDir m_extracted;
    std::unique_ptr<QTemporaryDir> m_programFolder;
};

void TestHelp::initTestCase()
{
    QVERIFY2(QFile::exists(builtHelpFile()), qPrintable(builtHelpFile() + " was not built"));
    QVERIFY2(!QStandardPaths::findExecutable("enum_chmLib").isEmpty(),
             "enum_chmLib and extract_chmLib come with Debian's libchm-bin");

    const std::optional<QByteArray> listing = runTool("enum_chmLib", {builtHelpFile()});
    QVERIFY2(listing, "enum_chmLib cannot read the help file: it is no valid compiled help file");
    static const QRegularExpression entry(QStringLiteral("^\\s*\\d+\\s+\\d+\\s+\\d+\\s+normal file\\s+(\\S+)\\s*$"),
                                          QRegularExpression::MultilineOption);
    for (auto it = entry.globalMatch(QString::fromUtf8(*listing)); it.hasNext();)
        m_entries << it.next().captured(1);
    QVERIFY(!m_entries.isEmpty());

    QVERIFY(m_extracted.isValid());
    QVERIFY(runTool("extract_chmLib", {builtHelpFile(), m_extracted.path()}));
}

void TestHelp::init()
{
    m_programFolder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_programFolder->isValid());
    settings::setProgramFolderForTesting(QDir::toNativeSeparators(m_programFolder->path()));
}

void TestHelp::cleanup()
{
    ui::ConfigurationRef::program().unloadAndRelease();
    QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(), "a window was left behind");
    settings::setProgramFolderForTesting(QString());
    m_programFolder.reset();
}

void TestHelp::helpFileHoldsEveryPage_data()
{
    QTest::addColumn<QString>("name");
    const QStringList pages = QDir(helpSourceDir())
                                  .entryList({"*.html", "*.css", "*.hhc", "*.hhk"}, QDir::Files,
                                             QDir::Name);
    QVERIFY(pages.contains("index.html"));
    for (const QString &page : pages)
        QTest::newRow(qPrintable(page)) << page;
}

// Each page is in the file as written, has a title, is in the contents, and
// links only to what the file holds.
void TestHelp::helpFileHoldsEveryPage()
{
    QFETCH(QString, name);
    QVERIFY2(m_entries.contains('/' + name), qPrintable(name + " is missing from the help file"));
    const QByteArray source = fileBytes(helpSourceDir() + '/' + name);
    QVERIFY(!source.isEmpty());
    QCOMPARE(fileBytes(m_extracted.path() + '/' + name), source);
    if (name.endsWith(".html")) {
        QVERIFY2(QString::fromUtf8(source).contains(QRegularExpression("<title>[^<]+</title>")),
                 "a page without a title shows no name in the viewer");
        QVERIFY2(QString::fromUtf8(fileBytes(m_extracted.path() + "/contents.hhc"))
                     .contains("value=\"" + name + "\""),
                 qPrintable(name + " is not in the contents"));
        static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#:]+)[^\"]*\""));
        for (auto it = link.globalMatch(QString::fromUtf8(source)); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(m_entries.contains('/' + target),
                     qPrintable(name + " links to " + target + ", which the help file lacks"));
        }
    }
}

void TestHelp::contentsAndDefaultPageAreSet()
{
    // The viewer opens the default page: the file's system data names it.
    const QByteArray system = fileBytes(m_extracted.path() + "/#SYSTEM");
    QVERIFY(system.contains("index.html"));
    QVERIFY(system.contains("contents.hhc"));
}

void TestHelp::f1InTheConfigurationWindowOpensTheHelpFile_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("viewerOpens");
    QTest::addColumn<bool>("asked"); // the desktop was asked to open exactly the help file
    QTest::addColumn<QString>("message"); // what the box says besides the file's name; empty: no box

    QTest::newRow("beside the program") << true << true << true << "";
    QTest::newRow("no viewer for it") << true << false << true << "could not be opened";
    QTest::newRow("missing") << false << true << false << "was not found";
}

void TestHelp::f1InTheConfigurationWindowOpensTheHelpFile()
{
    QFETCH(bool, present);
    QFETCH(bool, viewerOpens);
    QFETCH(bool, asked);
    QFETCH(QString, message);
    const QString helpFile = settings::helpFilePath();
    if (present)
        QVERIFY(QFile::copy(builtHelpFile(), helpFile));

    ui::RecordedHelpRequests requests;
    requests.opens = viewerOpens;
    ui::RecordedMessageBoxes boxes;
    ui::ConfigurationRef::program().show();
    ui::Configuration *window = ui::ConfigurationRef::program().window();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowActive(window));

    QTest::keyClick(window->findChild<QLineEdit *>("txtLamePath"), Qt::Key_F1);

    QCOMPARE(requests.files, asked ? QStringList{helpFile} : QStringList{});
    if (message.isEmpty()) {
        QCOMPARE(boxes.boxes.size(), 0);
    } else {
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY2(boxes.boxes.first().text.contains(helpFile), qPrintable(boxes.boxes.first().text));
        QVERIFY2(boxes.boxes.first().text.contains(message), qPrintable(boxes.boxes.first().text));
    }
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
