#include "platform/profile.h"
#include "settings/cinifile.h"
#include "settings/location.h"
#include "settings/savedchoices.h"

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
    return platform::GetPrivateProfileString(section, key, "<missing>", 4096, settings::settingsFilePath());
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

void makeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions mode)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    QVERIFY(file.setPermissions(mode));
}

QString userFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation); }
} // namespace

class tst_Startup : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_folder;
    QByteArray m_searchPath;

    void useProgramFolder(const QString &folder)
    {
        m_folder = folder;
        QVERIFY(QDir().mkpath(folder));
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
        QVERIFY(m_dir.emplace().isValid());
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

    void firstStartRestartAndStartAfterDeletion_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("perUser"); // the settings file is the per-user one
        QTest::addColumn<bool>("ownLame");
        QTest::addColumn<bool>("lameOnPath");
        QTest::newRow("blanks and non-ASCII letters; own lame beats the search path")
            << "Mein Ordner/Ünïcödé ĳ" << false << true << true;
        QTest::newRow("settings file without write bits; lame on the search path") << "bits" << true << false << true;
        QTest::newRow("kernel folder that takes no files; no lame anywhere") << "/proc" << true << false << false;
    }
    void firstStartRestartAndStartAfterDeletion()
    {
        QFETCH(QString, setup);
        QFETCH(bool, perUser);
        QFETCH(bool, ownLame);
        QFETCH(bool, lameOnPath);
        const QString beside = m_folder + "/purlwave.ini";
        const QByteArray old("[PATHS]\nDestination Path=/old\n");
        if (setup == "/proc") {
            if (!QFileInfo(setup).isDir())
                QSKIP("no /proc here");
            useProgramFolder(setup);
        } else if (setup == "bits") {
            makeFile(beside, old, QFileDevice::ReadOwner | QFileDevice::ReadOther);
        } else {
            useProgramFolder(m_dir->filePath(setup));
        }
        const QString bin = m_dir->filePath("bin");
        QVERIFY(QDir().mkpath(bin));
        qputenv("PATH", bin.toUtf8());
        const auto exe = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        if (ownLame)
            makeFile(m_folder + "/lame", "#!/bin/sh\n", exe);
        if (lameOnPath)
            makeFile(bin + "/lame", "#!/bin/sh\n", exe);
        const QString lame = (lameOnPath && !ownLame ? bin : m_folder) + "/lame";
        const QString path = (perUser ? userFolder() : m_folder) + "/purlwave.ini";
        const QByteArray defaults = QStringLiteral("[PATHS]\nSource Path=%1\nDestination Path=%1\nLAME=%2\n"
                                                   "[SETTINGS]\nDefault Encoding=1\n").arg(m_folder, lame).toUtf8();

        for (int round = 1; round <= 2; ++round) { // the second after the user deleted the file
            FakeWindow fresh;
            QCOMPARE(fresh.start(), StartKind::FirstRun);
            QCOMPARE(settings::settingsFilePath(), path);
            QCOMPARE(fileBytes(path), defaults);
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
            store("PATHS", "Lame", "/opt/lame"); // the configuration window's spelling
            QByteArray edited = defaults;
            edited.replace("LAME=" + lame.toUtf8(), "LAME=/opt/lame").replace("Encoding=1", "Encoding=3");
            QCOMPARE(fileBytes(path), edited + "[CUSTOM]\nParameters=-b 192\n");
            QVERIFY(QFile::remove(path));
        }
        if (setup == "bits")
            QCOMPARE(fileBytes(beside), old);
    }

    void firstRunSplitsTheFolderAtItsRoot_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("root");
        QTest::newRow("the root itself") << "/" << "/";
        QTest::newRow("one level") << "/opt" << "/";
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

    void restoreShowsStoredChoicesAndKeepsThemUntilEdited_data()
    {
        QTest::addColumn<QStringList>("entry"); // section, key, value
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("outPath");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QList<int>>("presets");
        const auto preset = [](const QString &value) { return QStringList{"SETTINGS", "Default Encoding", value}; };
        for (int code = 1; code <= 4; ++code)
            QTest::addRow("preset %d", code) << preset(QString::number(code)) << "C" << "" << "" << QList<int>{code};
        QTest::newRow("preset 5 chooses none") << preset("5") << "C" << "" << "" << QList<int>{};
        QTest::newRow("preset text chooses none") << preset("x") << "C" << "" << "" << QList<int>{};
        QTest::newRow("decimal comma in a German locale") << preset("3,0") << "de_DE" << "" << "" << QList<int>{3};
        const QString longFolder = "/srv/" + QString(140, u'm');
        const QString longParameters = QStringLiteral("-b 320 -q 0 ").repeated(12).trimmed();
        const QString wide = QString(80, QChar(0xFC)); // two bytes each
        const auto folder = [](const QString &value) { return QStringList{"PATHS", "Destination Path", value}; };
        const auto params = [](const QString &value) { return QStringList{"CUSTOM", "Parameters", value}; };
        QTest::newRow("stored folder") << folder("/srv/Music out") << "C" << "/srv/Music out" << "" << QList<int>{};
        QTest::newRow("folder past the read limit")
            << folder(longFolder) << "C" << longFolder.left(99) << "" << QList<int>{};
        QTest::newRow("parameters past the read limit")
            << params(longParameters) << "C" << "" << longParameters.left(99) << QList<int>{};
        QTest::newRow("non-ASCII past the read limit") << params(wide) << "C" << "" << wide.left(49) << QList<int>{};
    }
    void restoreShowsStoredChoicesAndKeepsThemUntilEdited()
    {
        QFETCH(QStringList, entry);
        QFETCH(QString, locale);
        QFETCH(QString, outPath);
        QFETCH(QString, custom);
        QLocale::setDefault(QLocale(locale));
        // A per-user file is there too: the writable file beside the program wins.
        QVERIFY(QDir().mkpath(userFolder()));
        QVERIFY(platform::WritePrivateProfileString("PATHS", "Destination Path", "/from/user",
                                                    userFolder() + "/purlwave.ini"));
        store(entry[0], entry[1], entry[2]);

        FakeWindow window;
        QCOMPARE(window.start(), StartKind::Restored);
        QCOMPARE(window.outPath, outPath);
        QCOMPARE(window.custom, custom);
        QTEST(window.presets, "presets");
        QCOMPARE(stored(entry[0], entry[1]), entry[2]); // a value cut on reading is not written back cut
        window.setOutPathText(outPath + "x");
        window.setCustomText(custom + "x");
        QCOMPARE(stored("PATHS", "Destination Path"), outPath + "x");
        QCOMPARE(stored("CUSTOM", "Parameters"), custom + "x");
    }
};

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
