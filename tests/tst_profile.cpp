// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/profile.h"
#include "settings/cinifile.h"
#include "testsupport.h"
#include "ui/dialogs/messagebox.h"
#include "ui/dialogs/settingsnotice.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

using settings::Cinifile;
using testsupport::writeFile;
using Writes = QList<QStringList>; // section, key, value

namespace {
QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

uid_t uidOf(const char *user)
{
    const passwd *entry = ::getpwnam(user);
    return entry ? entry->pw_uid : 0;
}

// Gives a file, or a link itself, to the user and the user's group.
bool give(const QString &path, const char *user)
{
    const passwd *entry = ::getpwnam(user);
    return entry && ::lchown(qPrintable(path), entry->pw_uid, entry->pw_gid) == 0;
}

// A write of the output folder as typing makes one, twice, with the program's notice in place; prints
// the message boxes.
int writeTwice(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ui::MessageBox::setHandler([](const QString &text, const QString &title) {
        std::printf("%s: %s\n", qPrintable(title), qPrintable(text));
    });
    ui::announceFailedSettingsWrites();
    Cinifile ini;
    ini.setInifile(QString::fromLocal8Bit(argv[2]));
    ini.WriteFile("PATHS", "Destination Path", "/typed/later");
    ini.WriteFile("PATHS", "Destination Path", "/typed/later/again");
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}

// Rewrites one entry without pause, alternating two values, until killed.
const QByteArray kShortState("[PATHS]\nDestination Path=/a\n");
const QByteArray kLongState("[PATHS]\nDestination Path=/" + QByteArray(300, 'x') + "\n");
int writeUntilKilled(const QString &path)
{
    std::puts("writing");
    std::fflush(stdout);
    for (bool flip = false;; flip = !flip) {
        if (!platform::WritePrivateProfileString("PATHS", "Destination Path",
                                                 flip ? "/" + QString(300, u'x') : "/a", path))
            return 1;
    }
}

// A full disk holds the old file in a small file system; a link leads from the folder to a file elsewhere.
struct WriteRow {
    bool fullDisk;
    const char *fileOwner, *folderOrLinkOwner, *writer;
    mode_t mode;
    const char *why; // what the notice gives as the reason; none: written, or refused without a word
};
} // namespace

class TestProfile : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_tmp;
    Cinifile m_ini;
    QString m_mounted;
    QTemporaryDir m_programFolder; // where another user may run this program from
    const QString m_program = m_programFolder.filePath("tst_profile");

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), m_program));
        QCOMPARE(::chmod(qPrintable(m_programFolder.path()), 0755), 0);
    }
    void init()
    {
        QVERIFY(m_tmp.emplace().isValid());
        m_ini.setInifile(m_tmp->filePath("purlwave.ini"));
    }
    void cleanup()
    {
        if (!m_mounted.isEmpty())
            QCOMPARE(QProcess::execute("umount", {std::exchange(m_mounted, {})}), 0);
    }

    void writeChangesOnlyItsEntry_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file yet
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QByteArray>("after");
        QByteArray junk(1 << 20, 0); // zero bytes, brackets and equals signs among them
        QRandomGenerator(20240501).fillRange(reinterpret_cast<quint32 *>(junk.data()), junk.size() / 4);
        junk = "x\n" + junk + "\n";
        QTest::newRow("new file: key at end of its section, value as given")
            << QByteArray() << Writes{{"A", "x", "1"}, {"B", "y", "\"2\" = y"}, {"a", "z", "3"}}
            << QByteArray("[A]\nx=1\nz=3\n[B]\ny=\"2\" = y\n");
        QTest::newRow("byte-order mark, first of duplicates, spelling, non-ASCII case, empty and long values")
            << QByteArray("\xEF\xBB\xBF[Paths]\nLame=/old\nÜber=1\nlame=dup\n[paths]\nx=3\n")
            << Writes{{"PATHS", "LAME", QString(100, u'p')}, {"paths", "über", ""}, {"PATHS", "x", "4"}}
            << "\xEF\xBB\xBF[Paths]\nLame=" + QByteArray(100, 'p') + "\nÜber=\nlame=dup\nx=4\n[paths]\nx=3\n";
        QTest::newRow("hand-edited entry becomes key=value, new key before comment, rest kept")
            << QByteArray("; mine\n\n[S]\n  Key = old  \n;b=old\n\nno equals sign\n[T]\nk = v\n")
            << Writes{{"s", "key", "new"}, {"S", "b", "2"}}
            << QByteArray("; mine\n\n[S]\nKey=new\nb=2\n;b=old\n\nno equals sign\n[T]\nk = v\n");
        QTest::newRow("CRLF kept and used for new lines, missing last ending added")
            << QByteArray("[S]\r\na=1\r\n[T]\r\nx=1")
            << Writes{{"T", "y", "2"}, {"U", "z", "3"}, {"S", "b", "4"}}
            << QByteArray("[S]\r\na=1\r\nb=4\r\n[T]\r\nx=1\r\ny=2\r\n[U]\r\nz=3\r\n");
        QTest::newRow("megabyte of random bytes kept")
            << junk << Writes{{"Purlwave test", "k", "v"}} << junk + "[Purlwave test]\nk=v\n";
    }
    void writeChangesOnlyItsEntry()
    {
        QFETCH(QByteArray, before);
        QFETCH(Writes, writes);
        QVERIFY(before.isNull() || writeFile(m_ini.inifile(), before));
        for (const QStringList &w : writes)
            QVERIFY(m_ini.WriteFile(w[0], w[1], w[2]));
        QTEST(bytesOf(m_ini.inifile()), "after");
    }

    void readTrimsAndCutsAtTheLimitNeverInsideACharacter_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("expected"); // at most 99 bytes
        const QString a96(96, u'a');
        QTest::newRow("3-byte character ending at the limit kept") << (a96 + "€b").toUtf8() << a96 + "€";
        QTest::newRow("4-byte character with three bytes inside the limit dropped")
            << (a96 + "😀b").toUtf8() << a96;
        QTest::newRow("stray continuation bytes cut at limit")
            << QByteArray(150, '\x80') << QString::fromUtf8(QByteArray(99, '\x80'));
    }
    void readTrimsAndCutsAtTheLimitNeverInsideACharacter()
    {
        QFETCH(QByteArray, value);
        QVERIFY(writeFile(m_ini.inifile(), " [ S ] \n\t a  = " + value + " \t\n"));
        QTEST(m_ini.GetFile("S", "a"), "expected");
    }

    void failedWriteIsReportedAndChangesNothing()
    {
        const QByteArray content("[S]\na=1\n");
        QVERIFY(writeFile(m_ini.inifile(), content));
        QVERIFY(!platform::WritePrivateProfileString("S", "a", "v", m_tmp->filePath("missing/x.ini")));
        QVERIFY(!m_ini.WriteFile("S", "a", "x\n[T]")); // would add a section
        QVERIFY(!m_ini.WriteFile("S", "a=b", "v"));
        QVERIFY(QFile::setPermissions(m_ini.inifile(), QFile::ReadOwner | QFile::ReadGroup));
        QVERIFY(!m_ini.WriteFile("S", "a", "v")); // also for a user who could write it
        QCOMPARE(bytesOf(m_ini.inifile()), content);
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave.ini"});
    }

    void writeReplacesTheFileWholeKeepingModeListAndAttributesAndASameWriteLeavesItAlone()
    {
        const QString path = m_ini.inifile();
        QVERIFY(writeFile(path, "; kept\n[S]\na=1\n"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup)); // 0640
        // The list's mask shows as the group bits: 0660. setfacl, getfacl: Debian's acl.
        QCOMPARE(QProcess::execute("setfacl", {"-m", "u:nobody:rw", path}), 0);
        QCOMPARE(::setxattr(qPrintable(path), "user.mine", "tag", 3, 0), 0);
        const auto access = [&] {
            QProcess getfacl;
            getfacl.start("getfacl", {"--omit-header", path});
            QByteArray tag(8, '\0');
            tag.truncate(qMax<ssize_t>(0, ::getxattr(qPrintable(path), "user.mine", tag.data(), tag.size())));
            return getfacl.waitForFinished() ? getfacl.readAllStandardOutput() + "user.mine=" + tag
                                             : QByteArray();
        };
        const QByteArray before = access();
        QVERIFY(before.contains("user:nobody:rw-\n"));
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly)); // sees the old file, never a half-written one
        QVERIFY(m_ini.WriteFile("S", "a", "2"));
        QCOMPARE(reader.readAll(), "; kept\n[S]\na=1\n");
        QCOMPARE(bytesOf(path), "; kept\n[S]\na=2\n");
        QCOMPARE(access(), before);
        struct stat written = {}, again = {};
        QVERIFY(::stat(qPrintable(path), &written) == 0 && m_ini.WriteFile("s", "A", "2"));
        QVERIFY(::stat(qPrintable(path), &again) == 0 && again.st_ino == written.st_ino);
        QCOMPARE(written.st_mode & 07777, 0660u);
    }

    void writeLandsWholeOrLeavesTheOldFileAndSaysWhyOnce_data()
    {
        QTest::addColumn<WriteRow>("row");
        const char *full = "No space left on device";
        const char *link = "it is a link that another user made, and Purlwave does not write through it";
        QTest::newRow("full disk, new file renamed over the old: old file whole, no copy left, told")
            << WriteRow{true, "root", "root", "root", 0644, full};
        QTest::newRow("full disk, written in place as the folder takes no new file: old file whole, told")
            << WriteRow{true, "nobody", "root", "nobody", 0600, full};
        QTest::newRow("full disk, in place in another user's file the writer may write: old file whole, told")
            << WriteRow{true, "root", "nobody", "nobody", 0666, full};
        QTest::newRow("root through the folder owner's link to root's file: not followed, file whole, told")
            << WriteRow{false, "root", "nobody", "root", 0600, link};
        QTest::newRow("root through a third user's link to the folder owner's file: not followed, told")
            << WriteRow{false, "nobody", "daemon", "root", 0644, link};
        QTest::newRow("root through the folder owner's link to their own file: written, still a link")
            << WriteRow{false, "nobody", "nobody", "root", 0644, nullptr};
        QTest::newRow("root through its own link to another user's file: written, still a link")
            << WriteRow{false, "nobody", "root", "root", 0644, nullptr};
        QTest::newRow("root through its own link to its read-only file: refused without a word")
            << WriteRow{false, "root", "root", "root", 0444, nullptr};
    }
    void writeLandsWholeOrLeavesTheOldFileAndSaysWhyOnce()
    {
        QFETCH(WriteRow, row);
        if (::geteuid() != 0)
            QSKIP("needs root: mounts a small file system, writes as other users and through their links");
        QVERIFY(QFile::setPermissions(m_tmp->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                         | QFile::ReadOther | QFile::ExeOther));
        const QString folder = m_tmp->filePath("folder"), path = folder + "/purlwave.ini";
        const QString target = row.fullDisk ? path : m_tmp->filePath("target.ini");
        QVERIFY(QDir().mkdir(folder) && ::chmod(qPrintable(folder), 0755) == 0);
        if (row.fullDisk) {
            QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k,mode=0755", "tmpfs", folder}),
                     0);
            m_mounted = folder;
        }
        QByteArray old = "[PATHS]\nDestination Path=/saved\n[CUSTOM]\nParameters=";
        old += QByteArray(4095 - old.size(), 'p') + '\n'; // 4,096 bytes: a longer file needs one more page
        QVERIFY(writeFile(target, old) && ::chmod(qPrintable(target), row.mode) == 0);
        QVERIFY(give(target, row.fileOwner));
        if (row.fullDisk) {
            QVERIFY(give(folder, row.folderOrLinkOwner));
            QFile filler(folder + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            while (filler.write(QByteArray(4096, 'f')) > 0) {
            }
        } else {
            QVERIFY(QFile::link(target, path) && give(path, row.folderOrLinkOwner));
        }

        QProcess writer;
        const QStringList run{m_program, "--write", path};
        const QStringList asNobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
        const bool nobody = qstrcmp(row.writer, "nobody") == 0;
        writer.start(nobody ? "setpriv" : run[0],
                     nobody ? asNobody + run : run.mid(1)); // setpriv: util-linux
        QVERIFY(writer.waitForFinished(60000) && writer.exitCode() == 0);
        const QString told =
            QString("Settings not saved: Your choices are not being saved: the settings file %1 cannot be "
                    "written (%2).\n\nPurlwave goes on with what you choose, but will not remember it "
                    "at the next start. %3, then set your choices again.\n")
                .arg(path, row.why,
                     row.fullDisk ? "Make room on that disk, or in your disk quota"
                                  : "Remove the link or put a file of your own in its place");
        QCOMPARE(QString::fromLocal8Bit(writer.readAllStandardOutput()), row.why ? told : QString());
        QByteArray now = old;
        const bool written = !row.why && (row.mode & 0222);
        QCOMPARE(bytesOf(target), written ? now.replace("/saved", "/typed/later/again") : old);
        QCOMPARE(QFileInfo(path).isSymLink(), !row.fullDisk);
        QCOMPARE(QFileInfo(target).ownerId(), uidOf(row.fileOwner));
        QCOMPARE(QDir(QFileInfo(target).path()).entryList({".*.saving-*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // Kills at random moments of a write: each leaves the file whole, and the next write removes the
    // copy a killed writer left, never a file it cannot prove a dead writer's copy.
    void killedWritersLeaveTheFileWholeAndAtMostOneCopy()
    {
        const QString path = m_ini.inifile(), copies = m_tmp->filePath(".purlwave.ini.saving-");
        QVERIFY(writeFile(path, kShortState) && writeFile(path + ".abc123", kShortState)); // the user's
        QVERIFY(writeFile(copies + "killed", kLongState));
        QVERIFY(writeFile(copies + "justmd", {})); // a writer between making its copy and locking it
        QFile young(copies + "justmd");
        QVERIFY(
            young.open(QIODevice::ReadWrite)
            && young.setFileTime(QDateTime::currentDateTime().addDays(1), QFileDevice::FileModificationTime));
        QFile live(copies + "living");
        QVERIFY(live.open(QIODevice::WriteOnly) && live.write(kLongState) > 0 && live.flush());
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        QCOMPARE(::fcntl(live.handle(), F_OFD_SETLK, &lock), 0);
        int damaged = 0;
        qsizetype mostLeft = 0;
        for (int trial = 0; trial < 200; ++trial) {
            QProcess writer;
            writer.start(m_program, {"--writer", path});
            QVERIFY(writer.waitForReadyRead(30000));
            // Not a wait for anything: the moment of the kill, drawn at random.
            QThread::usleep(QRandomGenerator::global()->bounded(10000));
            writer.kill();
            QVERIFY(writer.waitForFinished());
            const QByteArray bytes = bytesOf(path);
            damaged += bytes != kShortState && bytes != kLongState;
            const QStringList left =
                QDir(m_tmp->path()).entryList({".purlwave.ini.saving-*"}, QDir::Hidden | QDir::Files);
            mostLeft = qMax(mostLeft, left.size() - 2);
        }
        QCOMPARE(damaged, 0);
        QCOMPARE_LE(mostLeft, 1);
        const QStringList kept = QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QVERIFY2(kept.contains(".purlwave.ini.saving-justmd") && kept.contains(".purlwave.ini.saving-living")
                     && kept.contains("purlwave.ini.abc123") && !kept.contains(".purlwave.ini.saving-killed"),
                 qPrintable(kept.join(' ')));
    }

    void createIniJoinsWithOneSeparator()
    {
        for (const QStringList &drvDirPath :
             {QStringList{"/a///", "///b", "/a/b"}, {"/a", "", "/a/"}, {"", "b", "/b"}}) {
            m_ini.CreateIni(drvDirPath[0], drvDirPath[1]);
            QCOMPARE(m_ini.inifile(), drvDirPath[2]);
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--write") == 0)
        return writeTwice(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--writer") == 0)
        return writeUntilKilled(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestProfile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_profile.moc"
