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
using testsupport::fileBytes;
using testsupport::writeFile;
using Writes = QList<QStringList>; // section, key, value

namespace {
QString ownerGroupMode(uint owner, uint group, uint mode)
{
    return QString("%1:%2 %3").arg(owner).arg(group).arg(mode & 07777, 0, 8);
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
    std::puts("written"); // the notice waits for the event loop
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}

// Rewrites one entry without pause, alternating two values, until killed.
const QByteArray kShortState("[PATHS]\nDestination Path=/a\n");
const QByteArray kLongState("[PATHS]\nDestination Path=/" + QByteArray(300, 'x') + "\n");
// setpriv: util-linux
const QStringList kAsNobody{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
const QByteArray kSavedState("[PATHS]\nDestination Path=/saved/in/a/folder/with/a/long/name\n");
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

// A small full file system holds the folder; without one, a link leads from the folder to a file elsewhere
// (none: a link to no file).
struct WriteRow {
    const char *fileSystem;
    const char *fileOwner, *folderOrLinkOwner, *writer;
    mode_t mode;
    const char *why; // what the notice gives as the reason; none: written, or refused without a word
};

// A write as the system sees it, through strace (Debian's strace), paused at a call while the test changes
// the folder, or killed there.
enum class Traced {
    AnotherWrite,  // root writes its own file, and the test writes meanwhile
    KilledInPlace, // nobody writes root's 0666 file in root's folder: in place
    LinkSwapped,   // root writes through its own link to nobody's file; then nobody's link to root's
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
        QTest::newRow("hand-edited entry becomes key=value, new key before comments, rest kept")
            << QByteArray("; mine\n\n[S]\n  Key = old  \n;b=old\n#b=old\n\nno equals sign\n[T]\nk = v\n")
            << Writes{{"s", "key", "new"}, {"S", "b", "2"}}
            << QByteArray("; mine\n\n[S]\nKey=new\nb=2\n;b=old\n#b=old\n\nno equals sign\n[T]\nk = v\n");
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
        QTEST(fileBytes(m_ini.inifile()), "after");
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
        QTest::newRow("a zero byte ends the value, as in a C string") << QByteArray("ab\0cd", 5) << "ab";
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
        // Each would change the file's lines: a section, a cut value, an entry of another name, a comment.
        for (const QStringList &keyValue : {QStringList{"a", "x\n[T]"},
                                            {"a", "x\r"},
                                            {"a", QString("x") + QChar()},
                                            {"a=b", "v"},
                                            {";a", "v"}})
            QVERIFY(!m_ini.WriteFile("S", keyValue[0], keyValue[1]));
        QVERIFY(QFile::setPermissions(m_ini.inifile(), QFile::ReadOwner | QFile::ReadGroup));
        QVERIFY(!m_ini.WriteFile("S", "a", "v")); // also for a user who could write it
        QCOMPARE(fileBytes(m_ini.inifile()), content);
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave.ini"});
    }

    void writeReplacesTheFileWholeKeepingModeListAndAttributesAndASameWriteLeavesItAlone()
    {
        const QString path = m_ini.inifile(), plain = m_tmp->filePath("plain.ini");
        // The folder gives new files a list; plain.ini has none of its own. setfacl, getfacl: Debian's acl.
        QCOMPARE(QProcess::execute("setfacl", {"-d", "-m", "u:nobody:rw", m_tmp->path()}), 0);
        QVERIFY(writeFile(plain, "[S]\n") && QProcess::execute("setfacl", {"-b", plain}) == 0);
        QVERIFY(writeFile(path, "; kept\n[S]\na=1\n"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup)); // 0640
        // The list's mask shows as the group bits: 0660.
        QCOMPARE(QProcess::execute("setfacl", {"-m", "u:nobody:rw", path}), 0);
        QCOMPARE(::setxattr(qPrintable(path), "user.mine", "tag", 3, 0), 0);
        const auto access = [](const QString &file) {
            QProcess getfacl;
            getfacl.start("getfacl", {"--omit-header", file});
            QByteArray tag(8, '\0');
            tag.truncate(qMax<ssize_t>(0, ::getxattr(qPrintable(file), "user.mine", tag.data(), tag.size())));
            return getfacl.waitForFinished() ? getfacl.readAllStandardOutput() + "user.mine=" + tag
                                             : QByteArray();
        };
        const QByteArray before = access(path);
        QVERIFY(before.contains("user:nobody:rw-\n"));
        QVERIFY(m_ini.WriteFile("S", "a", "2"));
        QCOMPARE(fileBytes(path), "; kept\n[S]\na=2\n");
        QCOMPARE(access(path), before);
        QVERIFY(platform::WritePrivateProfileString("S", "a", "1", plain)
                && !access(plain).contains("nobody"));
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
            << WriteRow{"tmpfs", "root", "root", "root", 0644, full};
        QTest::newRow("full disk, written in place as the folder takes no new file: old file whole, told")
            << WriteRow{"tmpfs", "nobody", "root", "nobody", 0600, full};
        QTest::newRow(
            "full ext2 disk that reserves no room ahead, in place in another user's file: whole, told")
            << WriteRow{"ext2", "root", "nobody", "nobody", 0666, full};
        QTest::newRow("root through the folder owner's link to root's file: not followed, file whole, told")
            << WriteRow{nullptr, "root", "nobody", "root", 0600, link};
        QTest::newRow("root through the folder owner's link to no file: not followed, none made, told")
            << WriteRow{nullptr, nullptr, "nobody", "root", 0, link};
        QTest::newRow("root through a third user's link to the folder owner's file: not followed, told")
            << WriteRow{nullptr, "nobody", "daemon", "root", 0644, link};
        QTest::newRow("root through the folder owner's link to their own file: written, owner and mode kept")
            << WriteRow{nullptr, "nobody", "nobody", "root", 0604, nullptr};
        QTest::newRow("root through its own link to another user's file: written, still a link")
            << WriteRow{nullptr, "nobody", "root", "root", 0644, nullptr};
        QTest::newRow("root through its own link to its read-only file: refused without a word")
            << WriteRow{nullptr, "root", "root", "root", 0444, nullptr};
    }
    void writeLandsWholeOrLeavesTheOldFileAndSaysWhyOnce()
    {
        QFETCH(WriteRow, row);
        if (::geteuid() != 0)
            QSKIP("needs root: mounts a small file system, writes as other users and through their links");
        QVERIFY(::chmod(qPrintable(m_tmp->path()), 0705) == 0);
        const QString folder = m_tmp->filePath("folder"), path = folder + "/purlwave.ini";
        const QString target = row.fileSystem ? path : m_tmp->filePath("target.ini");
        QVERIFY(QDir().mkdir(folder));
        if (row.fileSystem) {
            const QString image = m_tmp->filePath("disk");
            QStringList mount{"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder};
            if (qstrcmp(row.fileSystem, "ext2") == 0) { // mkfs.ext2: e2fsprogs; mount: util-linux
                QCOMPARE(QProcess::execute("mkfs.ext2", {"-q", "-b", "1024", "-N", "16", image, "128k"}), 0);
                mount = QStringList{"-o", "loop", image, folder};
            }
            QCOMPARE(QProcess::execute("mount", mount), 0);
            m_mounted = folder;
        }
        QVERIFY(::chmod(qPrintable(folder), 0755) == 0);
        QByteArray old = "[PATHS]\nDestination Path=/saved\n[CUSTOM]\nParameters=";
        // 4,093 bytes: the longer file needs one more page, or one more block that holds 3 of its bytes.
        old += QByteArray(4092 - old.size(), 'p') + '\n';
        QVERIFY(!row.fileOwner
                || (writeFile(target, old) && ::chmod(qPrintable(target), row.mode) == 0
                    && give(target, row.fileOwner)));
        if (row.fileSystem) {
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
        const bool nobody = qstrcmp(row.writer, "nobody") == 0;
        writer.start(nobody ? kAsNobody[0] : run[0], nobody ? kAsNobody.mid(1) + run : run.mid(1));
        QVERIFY(writer.waitForFinished(60000) && writer.exitCode() == 0);
        const QString told =
            QString("Settings not saved: Your choices are not being saved: the settings file %1 cannot be "
                    "written (%2).\n\nPurlwave goes on with what you choose, but will not remember it "
                    "at the next start. %3, then set your choices again.\n")
                .arg(path, row.why,
                     row.fileSystem ? "Make room on that disk, or in your disk quota"
                                    : "Remove the link or put a file of your own in its place");
        QCOMPARE(QString::fromLocal8Bit(writer.readAllStandardOutput()), "written\n" + (row.why ? told : ""));
        QByteArray now = old;
        const bool written = !row.why && (row.mode & 0222);
        QCOMPARE(fileBytes(target), !row.fileOwner ? QByteArray()
                                    : written      ? now.replace("/saved", "/typed/later/again")
                                                   : old);
        QCOMPARE(QFileInfo(path).isSymLink(), !row.fileSystem);
        struct stat st {};
        const passwd *owner = row.fileOwner ? ::getpwnam(row.fileOwner) : nullptr;
        QCOMPARE(::stat(qPrintable(target), &st) == 0 ? ownerGroupMode(st.st_uid, st.st_gid, st.st_mode)
                                                      : "none",
                 owner ? ownerGroupMode(owner->pw_uid, owner->pw_gid, row.mode) : "none");
        QCOMPARE(QDir(QFileInfo(target).path()).entryList({".*.saving-*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void writeIsSyncedBeforeItReplacesAndJudgesWhatItOpened_data()
    {
        QTest::addColumn<Traced>("traced");
        QTest::addColumn<QString>("stop");     // strace -e inject=
        QTest::addColumn<QString>("calls");    // of both writes, in order; empty: not compared
        QTest::addColumn<QByteArray>("after"); // in the file written, or else root's
        const QString atomic = "pwrite64 fchmod fremovexattr fsync linkat renameat fsync";
        const QByteArray typed = "[PATHS]\nDestination Path=/typed/later";
        QTest::newRow(
            "paused before its rename, its copy outlives another write: synced, renamed, folder synced")
            << Traced::AnotherWrite << "renameat:delay_enter=3000000:when=1" << atomic + ' ' + atomic
            << typed + "/again\n";
        QTest::newRow(
            "in place, shorter: overwritten, padded, synced before the cut; killed there, reads the same")
            << Traced::KilledInPlace << "ftruncate:signal=KILL:when=1"
            << "pwrite64 fdatasync ftruncate" << (typed + "\n").leftJustified(kSavedState.size(), '\n');
        QTest::newRow("root's own link swapped for another user's while it is read: the link opened decides")
            << Traced::LinkSwapped << "readlinkat:delay_enter=3000000:when=1" << QString() << kSavedState;
    }
    void writeIsSyncedBeforeItReplacesAndJudgesWhatItOpened()
    {
        QFETCH(Traced, traced);
        QFETCH(QString, stop);
        QFETCH(QString, calls);
        if (::geteuid() != 0)
            QSKIP("needs root: writes as another user and through another user's link");
        const QString folder = m_tmp->path(), path = m_ini.inifile(), trace = m_tmp->filePath("trace");
        const bool inPlace = traced == Traced::KilledInPlace, swap = traced == Traced::LinkSwapped;
        QVERIFY(::chmod(qPrintable(folder), 0755) == 0);
        QVERIFY(writeFile(path, kSavedState) && ::chmod(qPrintable(path), inPlace ? 0666 : 0644) == 0);
        if (swap) {
            QVERIFY(QFile::rename(path, folder + "/nobody.ini") && give(folder + "/nobody.ini", "nobody"));
            QVERIFY(writeFile(folder + "/root.ini", kSavedState) && QFile::link("nobody.ini", path));
            QVERIFY(QFile::link("root.ini", folder + "/swap") && give(folder + "/swap", "nobody"));
        }
        const QString watched =
            "pwrite64,fchmod,fremovexattr,fsync,fdatasync,linkat,renameat,ftruncate,readlinkat";
        QStringList run =
            QString("-f -qq -o %1 -e signal=none -e inject=%2 -e %3").arg(trace, stop, watched).split(' ');
        if (inPlace)
            run += kAsNobody;
        QProcess writer;
        writer.start("strace", run << m_program << "--write" << path);
        if (!inPlace) {
            QTRY_VERIFY(fileBytes(trace).contains(stop.section(':', 0, 0).toUtf8() + '('));
            QVERIFY(
                swap ? ::rename(qPrintable(folder + "/swap"), qPrintable(path)) == 0
                     : bool(platform::WritePrivateProfileString("PATHS", "Source Path", "/meanwhile", path)));
        }
        QVERIFY(writer.waitForFinished(60000));
        QStringList made;
        for (const QByteArray &line : fileBytes(trace).split('\n')) {
            if (const qsizetype open = line.indexOf('('); open > 0)
                made << line.first(open).split(' ').last();
        }
        QCOMPARE(calls.isEmpty() ? QString() : made.join(' '), calls);
        QTEST(fileBytes(folder + (swap ? "/root.ini" : "/purlwave.ini")), "after");
    }

    // A write removes what killed writers left, never a file it cannot prove a dead writer's copy: one of
    // another name or owner, no regular file, locked, or empty and younger than a minute. Kills at random
    // moments of a write each leave the file whole, and at most one copy.
    void killedWritersLeaveTheFileWholeAndAtMostOneCopy()
    {
        const QString path = m_ini.inifile(), name = ".purlwave.ini.saving-", copies = m_tmp->filePath(name);
        QVERIFY(writeFile(path, kLongState) && writeFile(path + ".abc123", kShortState)); // the user's
        QVERIFY(writeFile(copies + "killed", kLongState) && writeFile(copies + "killed.bak", kLongState));
        QVERIFY(writeFile(copies + "justmd", {}) && writeFile(copies + "oldmty", {}));
        QCOMPARE(::mkfifo(qPrintable(copies + "a_pipe"), 0600), 0);
        QStringList kept{name + "a_pipe", name + "justmd", name + "killed.bak",
                         name + "living", "purlwave.ini",  "purlwave.ini.abc123"};
        if (::geteuid() == 0 && writeFile(copies + "others", kLongState) && give(copies + "others", "daemon"))
            kept.insert(4, name + "others");
        for (const auto &[letters, seconds] :
             {std::pair("justmd", 86400), std::pair("oldmty", -120), std::pair("a_pipe", -120)}) {
            QFile copy(copies + letters);
            QVERIFY(copy.open(QIODevice::ReadWrite)
                    && copy.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                                        QFileDevice::FileModificationTime));
        }
        QFile live(copies + "living");
        QVERIFY(live.open(QIODevice::WriteOnly) && live.write(kLongState) > 0 && live.flush());
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        QCOMPARE(::fcntl(live.handle(), F_OFD_SETLK, &lock), 0);
        const auto all = QDir::Files | QDir::Hidden | QDir::System;
        const auto writeLeaves = [&](const QString &value) {
            return platform::WritePrivateProfileString("PATHS", "Destination Path", value, path)
                       ? QDir(m_tmp->path()).entryList(all, QDir::Name)
                       : QStringList();
        };
        QCOMPARE(writeLeaves("/a"), kept);
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
            const QByteArray bytes = fileBytes(path);
            damaged += bytes != kShortState && bytes != kLongState;
            mostLeft = qMax(mostLeft, QDir(m_tmp->path()).entryList(all).size() - kept.size());
        }
        QCOMPARE(damaged, 0);
        QCOMPARE_LE(mostLeft, 1);
        QCOMPARE(writeLeaves("/last"), kept);
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
