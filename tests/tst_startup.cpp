// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/cinifile.h"
#include "settings/location.h"
#include "settings/savedchoices.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace settings;
using namespace Qt::StringLiterals;

namespace {
// The main window's output box and preset buttons as the load meets them: a box whose text changes runs its
// change handler, as the real box does.
struct FakeWindow : ChoicesView {
    void setOutPathText(const QString &text) override
    {
        if (std::exchange(outPath, text) != text)
            choices.txtOutPath_Change(text);
    }
    void setCustomText(const QString &) override {}
    void setPresetButton(int code) override { presets.append(code); }
    StartKind start() { return choices.restoreOrCreate(*this); }

    Cinifile ini;
    SavedChoices choices{ini};
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
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(bytes) == bytes.size() && (!mode || file.setPermissions(mode)));
}

QString userFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation); }
} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_folder; // the program's
    const QByteArray m_searchPath = qgetenv("PATH");

private slots:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(userFolder().contains(QLatin1String("/.qttest/")) && QDir(userFolder()).removeRecursively());
        QVERIFY(m_dir.emplace().isValid() && QDir().mkpath(m_folder = m_dir->filePath("Encoder")));
        setProgramFolderForTesting(m_folder);
    }
    void cleanup()
    {
        setProgramFolderForTesting(QString());
        qputenv("PATH", m_searchPath);
        QLocale::setDefault(QLocale::system());
        QDir(userFolder()).removeRecursively();
    }

    void firstStartWritesTheDefaultsWhereTheNextStartFindsThem_data()
    {
        QTest::addColumn<QString>("name"); // of the program folder, in the temporary folder unless absolute
        QTest::addColumn<bool>("perUser"); // the settings file is the per-user one
        QTest::addColumn<QStringList>("lames"); // where a lame is, the one to be named first
        QTest::newRow("blanks and non-ASCII letters; own lame beats the search path")
            << u"Mein Ordner/Ünïcödé ĳ"_s << false << QStringList{"own", "path"};
        QTest::newRow("kernel folder that takes no files; no lame anywhere")
            << u"/proc"_s << true << QStringList{};
        QTest::newRow("installed program: per-user file although root could write the folder")
            << u"prefix/bin"_s << true << QStringList{"path"};
    }
    void firstStartWritesTheDefaultsWhereTheNextStartFindsThem()
    {
        QFETCH(QString, name);
        QFETCH(bool, perUser);
        QFETCH(QStringList, lames);
        // Each folder in the temporary one has share/purlwave beside it: only one named bin is installed.
        if (!name.startsWith('/'))
            QVERIFY(QDir().mkpath(QDir::cleanPath(m_dir->filePath(name + "/../share/purlwave"))));
        QVERIFY(QDir().mkpath(m_folder = name.startsWith('/') ? name : m_dir->filePath(name)));
        setProgramFolderForTesting(m_folder);
        const QString bin = m_dir->filePath("search");
        qputenv("PATH", bin.toUtf8());
        for (const QString &where : lames)
            makeFile((where == "own" ? m_folder : bin) + "/lame", "#!/bin/sh\n",
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // With no lame anywhere, the program folder's is named.
        const QString lame = (lames.value(0) == "path" ? bin : m_folder) + "/lame";
        const QString path = (perUser ? userFolder() : m_folder) + "/purlwave.ini";

        FakeWindow first;
        QCOMPARE(first.start(), StartKind::FirstRun);
        // Where the program folder refused the settings, the MP3 files go beside their sources.
        const QString destination = perUser ? QString() : m_folder;
        QCOMPARE(fileBytes(path), u"[PATHS]\nSource Path=%1\nDestination Path=%2\nLAME=%3\n[SETTINGS]\n"
                                  u"Default Encoding=1\n"_s.arg(m_folder, destination, lame)
                                      .toUtf8());
        FakeWindow second;
        QCOMPARE(second.start(), StartKind::Restored);
        QCOMPARE(settingsFilePath(), path);
        QCOMPARE(second.outPath, destination);
        QVERIFY(!perUser || !QFileInfo::exists(m_folder + "/purlwave.ini"));
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
        QCOMPARE(split.root + split.rest, folder);
    }

    void restoreReadsTheFileBesideTheProgramInTheUserLocale()
    {
        QLocale::setDefault(QLocale("de_DE"));
        makeFile(userFolder() + "/purlwave.ini", "[PATHS]\nDestination Path=/from/user\n");
        makeFile(m_folder + "/purlwave.ini",
                 "[PATHS]\nDestination Path=/srv/out\n[SETTINGS]\nDefault Encoding=3,0\n");
        FakeWindow window, other;
        window.choices.txtOutPath_Change(u"/srv/typed"_s); // before the load: into the file the load finds
        other.choices.txtCustom_Change(u" -q 2"_s);
        QCOMPARE(window.start(), StartKind::Restored);
        QCOMPARE(window.outPath, "/srv/typed");
        QCOMPARE(window.presets, QList<int>{3});                              // a decimal comma
        QCOMPARE(presetCodeFromText(u"5"_s) + presetCodeFromText(u"0"_s), 0); // no button
        QVERIFY(fileBytes(m_folder + "/purlwave.ini").endsWith("[CUSTOM]\nParameters= -q 2\n"));
        QCOMPARE(QDir(m_folder).entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave.ini"});
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
