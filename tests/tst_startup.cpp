#include "platform/profile.h"
#include "settings/cinifile.h"
#include "settings/location.h"
#include "settings/savedchoices.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>
#include <utility>

using settings::StartKind;

namespace {
const QString kDesignCustom = QStringLiteral(" (ignored in preset mode)");
const QString kMissing = QStringLiteral("<missing>");

// The main window's setting boxes and preset buttons as the load meets them: a
// box whose text changes runs its change handler, as the real box does.
class FakeWindow : public settings::ChoicesView {
public:
    FakeWindow() : choices(ini) {}
    void setOutPathText(const QString &text) override
    {
        if (std::exchange(outPath, text) != text)
            choices.txtOutPath_Change(text);
    }
    void setCustomText(const QString &text) override
    {
        if (std::exchange(custom, text) != text)
            choices.txtCustom_Change(text);
    }
    void setPresetButton(int code) override { presets.append(code); }
    StartKind start() { return choices.restoreOrCreate(*this); }

    Cinifile ini;
    settings::SavedChoices choices;
    QString outPath;
    QString custom = kDesignCustom;
    QList<int> presets;
};

// The whole stored value, without the read limit of the settings object.
QString stored(const QString &section, const QString &key)
{
    return platform::GetPrivateProfileString(section, key, kMissing, 4096, settings::settingsFilePath());
}

void store(const QString &section, const QString &key, const QString &value)
{
    QVERIFY(platform::WritePrivateProfileString(section, key, value, settings::settingsFilePath()));
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray newFile(const QString &folder, const QString &lame)
{
    return QStringLiteral("[PATHS]\nSource Path=%1\nDestination Path=%1\nLAME=%2\n"
                          "[SETTINGS]\nDefault Encoding=1\n").arg(folder, lame).toUtf8();
}

QString userFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation); }
} // namespace

class tst_Startup : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_folder;
    QByteArray m_searchPath;

    void useProgramFolder(const QString &folder, bool make = true)
    {
        m_folder = folder;
        QVERIFY(!make || QDir().mkpath(folder));
        settings::setProgramFolderForTesting(folder);
    }
    static void forgetPerUserFile()
    {
        QVERIFY(userFolder().contains(QLatin1String("/.qttest/")));
        QDir(userFolder()).removeRecursively();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_searchPath = qgetenv("PATH");
    }
    void init()
    {
        forgetPerUserFile();
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        useProgramFolder(m_dir->path() + QStringLiteral("/Encoder"));
    }
    void cleanup()
    {
        settings::setProgramFolderForTesting(QString());
        qputenv("PATH", m_searchPath);
        QLocale::setDefault(QLocale::system());
        forgetPerUserFile();
        m_dir.reset();
    }

    void firstStartSecondStartAndStartAfterDeletion_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("plain folder") << QString();
        QTest::newRow("blanks and non-ASCII letters") << QStringLiteral("Mein Ordner/Ünïcödé ĳ");
        QTest::newRow("one level below the root") << QStringLiteral("/");
    }
    void firstStartSecondStartAndStartAfterDeletion()
    {
        QFETCH(QString, folder);
        std::optional<QTemporaryDir> belowRoot;
        if (folder == u'/') {
            belowRoot.emplace(QDir::rootPath() + QStringLiteral("purlwave-XXXXXX"));
            if (!belowRoot->isValid())
                QSKIP("no folder can be made in the root here");
            useProgramFolder(belowRoot->path());
        } else if (!folder.isEmpty()) {
            useProgramFolder(m_dir->filePath(folder));
        }
        const QString lame = testsupport::realLame().isEmpty() ? m_folder + "/lame" : testsupport::realLame();
        const QString path = m_folder + "/purlwave.ini";

        for (int round = 1; round <= 2; ++round) { // the second after the user deleted the file
            FakeWindow fresh;
            QCOMPARE(fresh.start(), StartKind::FirstRun);
            QCOMPARE(fileBytes(path), newFile(m_folder, lame));
            QCOMPARE(fresh.presets, QList<int>{1});
            QCOMPARE(fresh.outPath, m_folder);
            QCOMPARE(fresh.custom, kDesignCustom);

            FakeWindow second;
            QCOMPARE(second.start(), StartKind::Restored);
            QCOMPARE(second.outPath, m_folder);
            QCOMPARE(second.custom, QString());
            QCOMPARE(stored("CUSTOM", "Parameters"), QString());
            QCOMPARE(second.presets, QList<int>{1});
            second.setCustomText("-b 192");
            store("SETTINGS", "Default Encoding", "3");
            QVERIFY(QFile::remove(path));
        }
    }

    void firstRunSplitsTheFolderAtItsRoot_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("root");
        QTest::newRow("the root itself") << "/" << "/";
        QTest::newRow("one level") << "/opt" << "/";
        QTest::newRow("blanks and non-ASCII letters") << "/srv/Mein Ordner/Ünïcödé" << "/";
        QTest::newRow("network share") << "//server/share/Encoder" << "//server/share/";
        QTest::newRow("drive root") << "C:/Tools" << "C:/";
    }
    void firstRunSplitsTheFolderAtItsRoot()
    {
        QFETCH(QString, folder);
        QFETCH(QString, root);
        const settings::RootSplit split = settings::splitAtRoot(folder);
        QCOMPARE(split.root, root);
        Cinifile ini;
        ini.CreateIni(split.root, split.rest + "/purlwave.ini");
        QCOMPARE(QDir::cleanPath(ini.inifile()), QDir::cleanPath(folder + "/purlwave.ini"));
    }

    void storedPresetChoosesItsButton_data()
    {
        QTest::addColumn<QString>("value"); // a null text: no entry at all
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<int>>("chosen");
        for (int code = 1; code <= 4; ++code)
            QTest::addRow("code %d", code) << QString::number(code) << "C" << QList<int>{code};
        QTest::newRow("5 chooses none") << "5" << "C" << QList<int>{};
        QTest::newRow("0 chooses none") << "0" << "C" << QList<int>{};
        QTest::newRow("text chooses none") << "x" << "C" << QList<int>{};
        QTest::newRow("empty chooses none") << "" << "C" << QList<int>{};
        QTest::newRow("missing chooses none") << QString() << "C" << QList<int>{};
        QTest::newRow("decimal comma in a German locale") << "3,0" << "de_DE" << QList<int>{3};
    }
    void storedPresetChoosesItsButton()
    {
        QFETCH(QString, value);
        QFETCH(QString, locale);
        QFETCH(QList<int>, chosen);
        QLocale::setDefault(QLocale(locale));
        store("PATHS", "Destination Path", m_folder);
        if (!value.isNull())
            store("SETTINGS", "Default Encoding", value);
        FakeWindow window;
        QCOMPARE(window.start(), StartKind::Restored);
        QCOMPARE(window.presets, chosen);
    }

    void storedTextIsShownAndKeptUntilEdited_data()
    {
        QTest::addColumn<bool>("outPath"); // else the custom parameters
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        const QString longFolder = "/srv/" + QString(140, u'm');
        const QString longParameters = QStringLiteral("-b 320 -q 0 ").repeated(12).trimmed();
        const QString wide = QString(80, QChar(0xFC)); // two bytes each
        QTest::newRow("folder") << true << "/srv/Music out" << "/srv/Music out";
        QTest::newRow("root folder") << true << "/" << "/";
        QTest::newRow("empty folder") << true << "" << "";
        QTest::newRow("parameters") << false << "-V 2 --vbr-new" << "-V 2 --vbr-new";
        QTest::newRow("folder past the read limit") << true << longFolder << longFolder.left(99);
        QTest::newRow("parameters past the read limit") << false << longParameters << longParameters.left(99);
        QTest::newRow("non-ASCII past the read limit") << false << wide << wide.left(49);
    }
    void storedTextIsShownAndKeptUntilEdited()
    {
        QFETCH(bool, outPath);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        const QString section = outPath ? "PATHS" : "CUSTOM";
        const QString key = outPath ? "Destination Path" : "Parameters";
        store(section, key, value);

        for (int start = 1; start <= 2; ++start) {
            FakeWindow window;
            QCOMPARE(window.start(), StartKind::Restored);
            QCOMPARE(outPath ? window.outPath : window.custom, shown);
            QCOMPARE(stored(section, key), value);
            if (start == 2) {
                outPath ? window.setOutPathText(shown + "x") : window.setCustomText(shown + "x");
                QCOMPARE(stored(section, key), shown + "x");
            }
        }
    }

    void unwritableProgramFolderUsesThePerUserFile_data()
    {
        QTest::addColumn<QString>("refusal");
        QTest::newRow("folder below a regular file") << "file";
        QTest::newRow("settings name taken by a folder") << "folder";
        QTest::newRow("settings file without write bits") << "bits";
        QTest::newRow("kernel folder that takes no files") << "kernel";
    }
    void unwritableProgramFolderUsesThePerUserFile()
    {
        QFETCH(QString, refusal);
        const QString beside = m_folder + "/purlwave.ini";
        const QByteArray old("[PATHS]\nDestination Path=/old\n");
        if (refusal == "file") {
            QFile file(m_dir->filePath("file"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            useProgramFolder(file.fileName() + "/Encoder", false);
        } else if (refusal == "folder") {
            QVERIFY(QDir().mkpath(beside));
        } else if (refusal == "bits") {
            QFile file(beside);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther));
        } else {
            if (!QFileInfo(QStringLiteral("/proc")).isDir())
                QSKIP("no /proc here");
            useProgramFolder(QStringLiteral("/proc"));
        }

        FakeWindow first;
        QCOMPARE(first.start(), StartKind::FirstRun);
        QCOMPARE(settings::settingsFilePath(), userFolder() + "/purlwave.ini");
        QCOMPARE(stored("PATHS", "Source Path"), m_folder);
        QCOMPARE(first.outPath, m_folder);
        first.setCustomText("-b 192");

        FakeWindow second;
        QCOMPARE(second.start(), StartKind::Restored);
        QCOMPARE(second.custom, QStringLiteral("-b 192"));
        QCOMPARE(second.presets, QList<int>{1});
        if (refusal == "bits")
            QCOMPARE(fileBytes(beside), old);
    }

    void writableFileBesideTheProgramWinsOverThePerUserFile()
    {
        QVERIFY(QDir().mkpath(userFolder()));
        QVERIFY(platform::WritePrivateProfileString("PATHS", "Destination Path", "/from/user",
                                                    userFolder() + "/purlwave.ini"));
        store("PATHS", "Destination Path", "/from/program");
        FakeWindow window;
        QCOMPARE(window.start(), StartKind::Restored);
        QCOMPARE(window.outPath, QStringLiteral("/from/program"));
    }

    void firstRunNamesTheEncoder_data()
    {
        QTest::addColumn<bool>("besideProgram");
        QTest::addColumn<bool>("onSearchPath");
        QTest::addColumn<QString>("expected"); // "folder" or "bin", then /lame
        QTest::newRow("own lame beats the search path") << true << true << "folder";
        QTest::newRow("lame on the search path") << false << true << "bin";
        QTest::newRow("neither: the program folder's lame") << false << false << "folder";
    }
    void firstRunNamesTheEncoder()
    {
        QFETCH(bool, besideProgram);
        QFETCH(bool, onSearchPath);
        QFETCH(QString, expected);
        const QString bin = m_dir->filePath("bin");
        QVERIFY(QDir().mkpath(bin));
        qputenv("PATH", bin.toUtf8());
        const auto makeLame = [](const QString &path) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n") > 0);
            QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
        };
        if (besideProgram)
            makeLame(m_folder + "/lame");
        if (onSearchPath)
            makeLame(bin + "/lame");

        FakeWindow window;
        QCOMPARE(window.start(), StartKind::FirstRun);
        QCOMPARE(stored("PATHS", "LAME"), (expected == "bin" ? bin : m_folder) + "/lame");
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
