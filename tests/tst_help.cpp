// SPDX-License-Identifier: GPL-3.0-or-later
// The compiled help file as built, read back with the chmlib tools, and F1.
#include "testsupport.h"

#include "recordedhelprequests.h"
#include "recordedmessageboxes.h"
#include "settings/location.h"
#include "ui/dialogs/help.h"
#include "ui/windows/configuration.h"
#include "ui/windows/configurationref.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

static const QString kSources = QStringLiteral(PURLWAVE_SOURCE_DIR "/help");
static const QString kBuilt = testsupport::binDir() + QStringLiteral("/purlwave.chm");

static QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TestHelp : public QObject {
    Q_OBJECT

    QTemporaryDir m_extracted; // what the help file holds

private slots:
    void initTestCase()
    {
        // Debian's chmlib tools (libchm-bin) unpack only a valid file.
        QCOMPARE(QProcess::execute("extract_chmLib", {kBuilt, m_extracted.path()}), 0);
        const QByteArray system = fileBytes(m_extracted.path() + "/#SYSTEM");
        QVERIFY(system.contains("index.html") && system.contains("contents.hhc")); // what the viewer opens
    }

    void cleanup()
    {
        ui::ConfigurationRef::program().unloadAndRelease();
        QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(), "a window was left behind");
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
        const QByteArray source = fileBytes(kSources + '/' + name);
        QVERIFY(!source.isEmpty());
        QCOMPARE(fileBytes(m_extracted.path() + '/' + name), source);
        if (!name.endsWith(".html"))
            return;
        const QByteArray reference = "value=\"" + name.toUtf8() + "\"";
        QVERIFY2(fileBytes(m_extracted.path() + "/contents.hhc").contains(reference),
                 qPrintable(name + " is not in the contents (contents.hhc)"));
        if (name != "index.html")
            QVERIFY2(fileBytes(m_extracted.path() + "/index.hhk").contains(reference),
                     qPrintable(name + " is not in the index (index.hhk)"));
    }

    void f1InTheConfigurationWindowOpensTheHelpFile_data()
    {
        using App = platform::DesktopApplication;
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
        QFETCH(platform::DesktopApplication, application);
        QFETCH(bool, viewerOpens);
        QFETCH(QString, message);
        QTemporaryDir programFolder;
        settings::setProgramFolderForTesting(programFolder.path());
        const QString helpFile = settings::helpFilePath();
        QVERIFY(!present || QFile::copy(kBuilt, helpFile));
        testsupport::RecordedHelpRequests requests;
        requests.application = application;
        requests.opens = viewerOpens;
        testsupport::RecordedMessageBoxes boxes;
        ui::ConfigurationRef::program().show();
        ui::Configuration *window = ui::ConfigurationRef::program().window();
        QVERIFY(window && QTest::qWaitForWindowActive(window));

        QTest::keyClick(window->findChild<QLineEdit *>("txtLamePath"), Qt::Key_F1);

        const bool handedOver = present && application != platform::DesktopApplication::None;
        QCOMPARE(requests.files, handedOver ? QStringList{helpFile} : QStringList{});
        QCOMPARE(boxes.boxes.size(), message.isEmpty() ? 0 : 1);
        for (const auto &box : boxes.boxes)
            QVERIFY2(box.text.contains(helpFile) && box.text.contains(message), qPrintable(box.text));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
