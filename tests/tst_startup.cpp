// SPDX-License-Identifier: GPL-3.0-or-later

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

using namespace settings;
using namespace Qt::StringLiterals;

namespace {
// The main window's output box and preset buttons as the load meets them: a box
// whose text changes runs its change handler, as the real box does.
class FakeWindow : public ChoicesView {
public:
    FakeWindow() : choices(ini) {}
    void setOutPathText(const QString &text) override
    {
        if (std::exchange(outPath, text) != text)
            choices.txtOutPath_Change(text);
    }
    void setCustomText(const QString &) override {}
    void setPresetButton(int code) override { presets.append(code); }
    StartKind start() { return choices.restoreOrCreate(*this); }

    Cinifile ini;
    SavedChoices choices;
    QString outPath;
    QList<int> presets;
};

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void makeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions mode = {})
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    QVERIFY(!mode || file.setPermissions(mode));
}

QString userFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation); }
} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_folder;
    QByteArray m_searchPath;

    void useProgramFolder(const QString &folder)
    {
        m_folder = folder;
        QVERIFY(QDir().mkpath(folder));
        setProgramFolderForTesting(folder);
    }
    static void forgetPerUserFile()
    {
        QVERIFY(userFolder().contains(QLatin1String("/.qttest/")));
        QDir(userFolder()).removeRecursively();
    }

private slots:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_searchPath = qgetenv("PATH");
        forgetPerUserFile();
        QVERIFY(m_dir.emplace().isValid());
        useProgramFolder(m_dir->path() + QStringLiteral("/Encoder"));
    }
    void cleanup()
    {
        setProgramFolderForTesting(QString());
        qputenv("PATH", m_searchPath);
        QLocale::setDefault(QLocale::system());
        forgetPerUserFile();
    }

    void firstStartWritesTheDefaultsWhereTheNextStartFindsThem_data()
    {
        QTest::addColumn<QString>("name");   // of the program folder, in the temporary folder unless absolute
        QTest::addColumn<bool>("installed"); // <prefix>/bin beside <prefix>/share/purlwave
        QTest::addColumn<bool>("perUser");   // the settings file is the per-user one
        QTest::addColumn<QStringList>("lames"); // where a lame is, the one to be named first
        QTest::newRow("blanks and non-ASCII letters; own lame beats the search path")
            << u"Mein Ordner/Ünïcödé ĳ"_s << false << false << QStringList{"own", "path"};
        QTest::newRow("kernel folder that takes no files; no lame anywhere")
            << u"/proc"_s << false << true << QStringList{};
        QTest::newRow("installed program: per-user file although root could write the folder")
            << u"prefix/bin"_s << true << true << QStringList{"path"};
    }
    void firstStartWritesTheDefaultsWhereTheNextStartFindsThem()
    {
        QFETCH(QString, name);
        QFETCH(bool, installed);
        QFETCH(bool, perUser);
        QFETCH(QStringList, lames);
        if (name.startsWith('/') && !QFileInfo(name).isDir())
            QSKIP("no such folder here");
        if (installed)
            QVERIFY(QDir().mkpath(QDir::cleanPath(m_dir->filePath(name + "/../share/purlwave"))));
        useProgramFolder(name.startsWith('/') ? name : m_dir->filePath(name));
        const QString bin = m_dir->filePath("search");
        QVERIFY(QDir().mkpath(bin));
        qputenv("PATH", bin.toUtf8());
        const auto exe = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        for (const QString &where : lames)
            makeFile((where == "own" ? m_folder : bin) + "/lame", "#!/bin/sh\n", exe);
        // With no lame anywhere, the program folder's is named.
        const QString lame = (lames.value(0) == "path" ? bin : m_folder) + "/lame";
        const QString path = (perUser ? userFolder() : m_folder) + "/purlwave.ini";

        FakeWindow first;
        QCOMPARE(first.start(), StartKind::FirstRun);
        // Where the program folder refused the settings, the MP3 files go beside their sources.
        const QString destination = perUser ? QString() : m_folder;
        const QString defaults = QStringLiteral("[PATHS]\nSource Path=%1\nDestination Path=%3\nLAME=%2\n"
                                                "[SETTINGS]\nDefault Encoding=1\n");
        QCOMPARE(fileBytes(path), defaults.arg(m_folder, lame, destination).toUtf8());
        FakeWindow second;
        QCOMPARE(second.start(), StartKind::Restored);
        QCOMPARE(settingsFilePath(), path);
        QCOMPARE(second.outPath, destination);
        if (perUser)
            QVERIFY(!QFileInfo::exists(m_folder + "/purlwave.ini"));
    }

    void firstRunSplitsTheFolderAtItsRoot_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("root");
        QTest::newRow("the root itself") << u"/"_s << u"/"_s;
        QTest::newRow("network share") << u"//server/share/Encoder"_s << u"//server/share/"_s;
        QTest::newRow("drive root") << u"C:/Tools"_s << u"C:/"_s;
    }
    void firstRunSplitsTheFolderAtItsRoot()
    {
        QFETCH(QString, folder);
        const RootSplit split = splitAtRoot(folder);
        QTEST(split.root, "root");
        Cinifile ini;
        ini.CreateIni(split.root, split.rest + "/purlwave.ini");
        QCOMPARE(QDir::cleanPath(ini.inifile()), QDir::cleanPath(folder + "/purlwave.ini"));
    }

    void restoreReadsTheFileBesideTheProgramInTheUserLocale()
    {
        QLocale::setDefault(QLocale("de_DE"));
        QVERIFY(QDir().mkpath(userFolder()));
        makeFile(userFolder() + "/purlwave.ini", "[PATHS]\nDestination Path=/from/user\n");
        makeFile(m_folder + "/purlwave.ini",
                 "[PATHS]\nDestination Path=/srv/out\n[SETTINGS]\nDefault Encoding=3,0\n");
        FakeWindow window;
        QCOMPARE(window.start(), StartKind::Restored);
        QCOMPARE(window.outPath, "/srv/out");
        QCOMPARE(window.presets, QList<int>{3}); // a decimal comma
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave.ini"});
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
