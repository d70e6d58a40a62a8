// SPDX-License-Identifier: GPL-3.0-or-later

// Where the settings file is found and created, met as a user meets it: this program, copied into a
// folder of its own, runs the start-up there, as nobody when the tests run as root.

#include "platform/profile.h"
#include "settings/cinifile.h"
#include "settings/location.h"
#include "settings/savedchoices.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <optional>

using testsupport::fileBytes;
using testsupport::writeFile;

namespace {
const QByteArray kSaved("[PATHS]\nDestination Path=/saved/out\n");
constexpr auto kReads = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
constexpr auto kWrites = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
constexpr auto kReadOnlyFolder = kReads | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                 | QFileDevice::ExeOther;
constexpr auto kOpenFolder = kReadOnlyFolder | QFileDevice::WriteOwner;

// What the program folder holds besides the program: a read-only or all-writable file of this test's (root's
// when it runs as root), the start-up user's 0600 file this test changed, a folder, a link to the user's
// file, the user's link to no file.
enum class Existing { Nothing, ReadOnly, AllMayWrite, Own0600, Folder, Link, Dangling };
struct Row {
    Existing existing;
    bool folderWritable, perUser, restored, saved; // per-user file used; saved: the later change reached it
};

// The main window's load, printed, then one change of the output folder as typing would make.
int startUpAsTheWindowDoes(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Purlwave"));
    struct View : settings::ChoicesView {
        QString outPath; // the load's own write-back of a value changes no byte: left out
        void setOutPathText(const QString &text) override { outPath = text; }
        void setCustomText(const QString &) override {}
        void setPresetButton(int) override {}
    } view;
    settings::Cinifile ini;
    settings::SavedChoices choices(ini);
    const bool restored = choices.restoreOrCreate(view) == settings::StartKind::Restored;
    std::printf("file\t%s\nstart\t%s\noutPath\t%s\n", qPrintable(ini.inifile()),
                restored ? "restored" : "first run", qPrintable(view.outPath));
    choices.txtOutPath_Change(QStringLiteral("/typed/later"));
    return 0;
}
} // namespace

class TestLocation : public QObject {
    Q_OBJECT

    const bool m_root = ::geteuid() == 0;
    std::optional<QTemporaryDir> m_tmp;
    QString m_program, m_home; // the program folder and the user's home

    void giveToProbeUser(const QString &path)
    {
        if (m_root)
            QCOMPARE(QProcess::execute("chown", {"-h", "nobody:nogroup", path}),
                     0); // a link itself, not its file
    }

    QString startUp()
    {
        QProcess probe;
        const QStringList run{m_program + "/purlwave", "--start-up"};
        const QStringList asNobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
        probe.start(m_root ? "setpriv" : run[0], m_root ? asNobody + run : run.mid(1)); // setpriv: util-linux
        if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode())
            return probe.errorString() + probe.readAllStandardError();
        return QString::fromUtf8(probe.readAllStandardOutput());
    }

private slots:
    void init()
    {
        QVERIFY(m_tmp.emplace().isValid());
        QVERIFY(QFile::setPermissions(m_tmp->path(), kOpenFolder)); // others may pass
        m_program = m_tmp->filePath("Encoder");
        m_home = m_tmp->filePath("home");
        qputenv("HOME", QFile::encodeName(m_home)); // for the start-up, which inherits it
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(QDir().mkpath(m_program) && QDir().mkpath(m_home + "/dotfiles"));
        giveToProbeUser(m_home);
        giveToProbeUser(m_home + "/dotfiles");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), m_program + "/purlwave"));
    }
    void cleanup()
    {
        QFile::setPermissions(m_program, kOpenFolder); // so that the folder can go
        m_tmp.reset();
    }

    void settingsFileIsFoundAndCreatedWhereTheUserMeetsIt_data()
    {
        QTest::addColumn<Row>("row");
        QTest::newRow("another user's read-only file: read, change refused, no per-user file")
            << Row{Existing::ReadOnly, true, false, true, false};
        QTest::newRow("another user's file that all may write: read, change written in place, owner kept")
            << Row{Existing::AllMayWrite, true, false, true, true};
        QTest::newRow("read-only folder, own 0600 file root changed: still read, change written in place")
            << Row{Existing::Own0600, false, false, true, true};
        QTest::newRow("read-only folder without file: new per-user file, MP3 beside sources")
            << Row{Existing::Nothing, false, true, false, true};
        QTest::newRow("folder named like the settings file: neither read nor written, per-user file")
            << Row{Existing::Folder, true, true, false, true};
        QTest::newRow("the user's own relative link to their file elsewhere: read, change written through it")
            << Row{Existing::Link, true, false, true, true};
        QTest::newRow("the user's own link to no file: left as it is, nothing made there, per-user file")
            << Row{Existing::Dangling, true, true, false, true};
        QTest::newRow("writable folder without file: new file beside the program, nothing else left")
            << Row{Existing::Nothing, true, false, false, true};
    }
    void settingsFileIsFoundAndCreatedWhereTheUserMeetsIt()
    {
        QFETCH(Row, row);
        const QString beside = m_program + "/purlwave.ini", dotfile = m_home + "/dotfiles/purlwave.ini";
        const QString userFile = m_home + "/.config/Purlwave/purlwave.ini";
        const bool link = row.existing == Existing::Link || row.existing == Existing::Dangling;
        const bool testsFile = row.existing == Existing::ReadOnly || row.existing == Existing::AllMayWrite;
        if (row.existing == Existing::Folder) {
            QVERIFY(QDir().mkdir(beside));
        } else if (link) {
            QVERIFY(QFile::link("../home/dotfiles/purlwave.ini", beside)
                    && (!row.restored || writeFile(dotfile, kSaved)));
            if (row.restored)
                giveToProbeUser(dotfile);
            giveToProbeUser(beside); // the user's own link: another user's would not be followed
        } else if (testsFile) {
            const auto mode = row.existing == Existing::AllMayWrite ? kReads | kWrites : kReads;
            QVERIFY(writeFile(beside, kSaved) && QFile::setPermissions(beside, mode));
        } else if (row.existing == Existing::Own0600) { // a mode no new file gets
            QVERIFY(writeFile(beside, "[PATHS]\nDestination Path=/before\n"));
            QVERIFY(QFile::setPermissions(beside, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            giveToProbeUser(beside);
            QVERIFY(platform::WritePrivateProfileString("PATHS", "Destination Path", "/saved/out", beside));
        }
        if (row.folderWritable)
            giveToProbeUser(m_program);
        QVERIFY(QFile::setPermissions(m_program, row.folderWritable ? kOpenFolder : kReadOnlyFolder));

        const QString used = row.perUser ? userFile : beside;
        // A new per-user file sends the MP3 files beside their sources: the program folder refused them too.
        const QString outPath = row.restored ? "/saved/out" : row.perUser ? QString() : m_program;
        QCOMPARE(startUp(), QString("file\t%1\nstart\t%2\noutPath\t%3\n")
                                .arg(used, row.restored ? "restored" : "first run", outPath));
        QVERIFY2(row.saved ? fileBytes(used).contains("Destination Path=/typed/later\n")
                           : fileBytes(used) == kSaved,
                 fileBytes(used).constData());
        QCOMPARE(QFileInfo(used).ownerId(), testsFile ? ::getuid() : QFileInfo(m_home).ownerId());
        QCOMPARE(QFileInfo::exists(userFile), row.perUser);
        QCOMPARE(QFileInfo(beside).symLinkTarget(), link ? dotfile : QString());
        QCOMPARE(QFileInfo::exists(dotfile), row.existing == Existing::Link);
        const QStringList inFolder{"purlwave", "purlwave.ini"}; // nothing else left
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(m_program).entryList(all, QDir::Name),
                 row.existing == Existing::Nothing && row.perUser ? inFolder.first(1) : inFolder);
    }

    void helpFileIsTakenBesideTheProgramFirstThenFromTheInstalledShare()
    {
        const QString beside = m_tmp->filePath("bin/purlwave.chm");
        const QString shared = m_tmp->filePath("share/purlwave/purlwave.chm");
        QVERIFY(QDir().mkpath(m_tmp->filePath("bin")) && QDir().mkpath(m_tmp->filePath("share/purlwave")));
        settings::setProgramFolderForTesting(m_tmp->filePath("bin"));
        QStringList found{settings::helpFilePath()}; // neither: named beside the program
        QVERIFY(writeFile(shared, {}));
        found << settings::helpFilePath();
        QVERIFY(writeFile(beside, {}));
        found << settings::helpFilePath();
        settings::setProgramFolderForTesting(QString());
        QCOMPARE(found, QStringList({beside, shared, beside}));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], "--start-up") == 0)
        return startUpAsTheWindowDoes(argc, argv);
    QCoreApplication app(argc, argv);
    TestLocation test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_location.moc"
