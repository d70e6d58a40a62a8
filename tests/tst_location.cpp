// SPDX-License-Identifier: GPL-3.0-or-later

// Where the settings file is found and created, met as an ordinary user meets it:
// the start-up runs in a separate program copied into a folder of its own, as an
// unprivileged user when the tests run as root, since permissions do not hold
// for root.

#include "platform/profile.h"
#include "settings/location.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <optional>

using testsupport::writeFile;

namespace {
const QByteArray kSaved("[PATHS]\nDestination Path=/saved/out\n");
constexpr auto kReadOnlyFolder = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                 | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
constexpr auto kOpenFolder = kReadOnlyFolder | QFileDevice::WriteOwner;
constexpr auto kEveryoneReads = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
constexpr auto kEveryoneWrites = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;

// What the program folder holds before the start besides the program.
enum class Existing {
    Nothing,
    ReadOnlyFile,
    OwnFileWrittenByRoot, // mode 0600, written by this test (root when the tests run as root) just before
    TestsFileAllMayWrite, // this test's file, mode 0666
    Folder,
    LinkToOwnFile
};

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
} // namespace

class TestLocation : public QObject {
    Q_OBJECT

    const bool m_root = ::geteuid() == 0; // permissions do not hold for root: the start-up runs as nobody
    std::optional<QTemporaryDir> m_tmp;
    QString m_program; // the program folder
    QString m_home;

    void giveToProbeUser(const QString &path)
    {
        if (m_root)
            QCOMPARE(QProcess::execute("chown", {"nobody:nogroup", path}), 0);
    }

    // What the start-up printed, one "name<TAB>value" line each.
    QString startUp()
    {
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_home);
        env.remove("XDG_CONFIG_HOME");
        probe.setProcessEnvironment(env);
        const QString program = m_program + "/location_probe";
        const QStringList asNobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", program};
        probe.start(m_root ? "setpriv" : program, m_root ? asNobody : QStringList()); // setpriv: util-linux
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
        QVERIFY(QDir().mkpath(m_program) && QDir().mkpath(m_home + "/dotfiles"));
        giveToProbeUser(m_home);
        giveToProbeUser(m_home + "/dotfiles");
        QVERIFY(QFile::copy(PURLWAVE_LOCATION_PROBE, m_program + "/location_probe"));
    }
    void cleanup()
    {
        QFile::setPermissions(m_program, kOpenFolder); // so that the folder can go
        m_tmp.reset();
    }

    void settingsFileIsFoundAndCreatedWhereTheUserMeetsIt_data()
    {
        QTest::addColumn<Existing>("existing");
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<bool>("perUser"); // the file used is the per-user one
        QTest::addColumn<bool>("restored");
        QTest::addColumn<bool>("saved"); // the later change reached the file

        QTest::newRow(
            "read-only file, another user's when run as root: read, change refused, no per-user file")
            << Existing::ReadOnlyFile << true << false << true << false;
        QTest::newRow("read-only folder with own 0600 file that root changed: still read, change written")
            << Existing::OwnFileWrittenByRoot << false << false << true << true;
        QTest::newRow("another user's file all may write: read, change written in place, owner kept")
            << Existing::TestsFileAllMayWrite << true << false << true << true;
        QTest::newRow("read-only folder without file: new per-user file, MP3 beside sources")
            << Existing::Nothing << false << true << false << true;
        QTest::newRow("folder named like the settings file: neither read nor written, per-user file")
            << Existing::Folder << true << true << false << true;
        QTest::newRow("relative link to the user's own file elsewhere: read, change written through the link")
            << Existing::LinkToOwnFile << true << false << true << true;
        QTest::newRow("writable folder without file: new file beside the program, no other file left")
            << Existing::Nothing << true << false << false << true;
    }
    void settingsFileIsFoundAndCreatedWhereTheUserMeetsIt()
    {
        QFETCH(Existing, existing);
        QFETCH(bool, folderWritable);
        QFETCH(bool, perUser);
        QFETCH(bool, restored);
        QFETCH(bool, saved);
        const QString beside = m_program + "/purlwave.ini";
        const QString userFile = m_home + "/.config/Purlwave/purlwave.ini";
        const QString dotfile = m_home + "/dotfiles/purlwave.ini";
        if (existing == Existing::Folder) {
            QVERIFY(QDir().mkdir(beside));
        } else if (existing == Existing::LinkToOwnFile) {
            QVERIFY(writeFile(dotfile, kSaved));
            giveToProbeUser(dotfile);
            QVERIFY(QFile::link("../home/dotfiles/purlwave.ini", beside));
        } else if (existing == Existing::OwnFileWrittenByRoot) {
            QVERIFY(writeFile(beside, "[PATHS]\nDestination Path=/before\n"));
            QVERIFY(QFile::setPermissions(beside, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            giveToProbeUser(beside);
            QVERIFY(platform::WritePrivateProfileString("PATHS", "Destination Path", "/saved/out", beside));
        } else if (existing != Existing::Nothing) {
            QVERIFY(writeFile(beside, kSaved));
            const bool readOnly = existing == Existing::ReadOnlyFile;
            QVERIFY(
                QFile::setPermissions(beside, readOnly ? kEveryoneReads : kEveryoneReads | kEveryoneWrites));
        }
        if (folderWritable)
            giveToProbeUser(m_program);
        QVERIFY(QFile::setPermissions(m_program, folderWritable ? kOpenFolder : kReadOnlyFolder));

        const QString used = perUser ? userFile : beside;
        // A new per-user file sends the MP3 files beside their sources: the program folder refused them too.
        const QString outPath = restored ? "/saved/out" : perUser ? QString() : m_program;
        QCOMPARE(startUp(), QString("file\t%1\nstart\t%2\noutPath\t%3\n")
                                .arg(used, restored ? "restored" : "first run", outPath));
        QVERIFY2(saved ? bytesOf(used).contains("Destination Path=/typed/later\n") : bytesOf(used) == kSaved,
                 bytesOf(used).constData());
        const bool testsFile = existing == Existing::ReadOnlyFile
                               || existing == Existing::TestsFileAllMayWrite;
        QCOMPARE(QFileInfo(used).ownerId(), testsFile ? ::getuid() : QFileInfo(m_home).ownerId());
        QCOMPARE(QFileInfo::exists(userFile), perUser);
        QCOMPARE(QFileInfo(beside).symLinkTarget(),
                 existing == Existing::LinkToOwnFile ? dotfile : QString());
        QCOMPARE(QDir(m_home + "/dotfiles").entryList(QDir::Files | QDir::Hidden),
                 existing == Existing::LinkToOwnFile ? QStringList{"purlwave.ini"} : QStringList());
        const QStringList probeOnly{"location_probe"};
        QCOMPARE(
            QDir(m_program).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
            existing != Existing::Nothing || !perUser ? probeOnly + QStringList{"purlwave.ini"} : probeOnly);
    }

    void helpFileIsTakenBesideTheProgramFirstThenFromTheInstalledShare_data()
    {
        QTest::addColumn<QStringList>("present"); // relative to <prefix>
        QTest::addColumn<QString>("expected");
        const QString beside = "bin/purlwave.chm";
        const QString shared = "share/purlwave/purlwave.chm";
        QTest::newRow("both: the one beside the program") << QStringList{beside, shared} << beside;
        QTest::newRow("installed only: the shared one") << QStringList{shared} << shared;
        QTest::newRow("neither: named beside the program") << QStringList{} << beside;
    }
    void helpFileIsTakenBesideTheProgramFirstThenFromTheInstalledShare()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        const QString prefix = m_tmp->filePath("prefix");
        QVERIFY(QDir().mkpath(prefix + "/bin") && QDir().mkpath(prefix + "/share/purlwave"));
        for (const QString &file : present)
            QVERIFY(QFile(prefix + "/" + file).open(QIODevice::WriteOnly));
        settings::setProgramFolderForTesting(prefix + "/bin");
        const QString found = settings::helpFilePath();
        settings::setProgramFolderForTesting(QString());
        QCOMPARE(found, prefix + "/" + expected);
    }
};

QTEST_GUILESS_MAIN(TestLocation)
#include "tst_location.moc"
