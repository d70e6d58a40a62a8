// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/profile.h"
#include "settings/cinifile.h"
#include "testsupport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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
} // namespace

class TestProfile : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_tmp;
    Cinifile m_ini;

private slots:
    void init()
    {
        QVERIFY(m_tmp.emplace().isValid());
        m_ini.setInifile(m_tmp->filePath("purlwave.ini"));
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

    void writeReplacesTheFileWholeKeepingItsModeAndASameWriteLeavesItAlone()
    {
        const QString path = m_ini.inifile();
        QVERIFY(writeFile(path, "; kept\n[S]\na=1\n"));
        const auto mode = QFile::ReadOwner | QFile::WriteOwner; // not what a new file gets
        QVERIFY(QFile::setPermissions(path, mode));
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly)); // sees the old file, never a half-written one
        QVERIFY(m_ini.WriteFile("S", "a", "2"));
        QCOMPARE(reader.readAll(), "; kept\n[S]\na=1\n");
        QCOMPARE(bytesOf(path), "; kept\n[S]\na=2\n");
        // The "User" flags say what the current user may do, not the file's mode.
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), mode);
        struct stat written = {}, again = {};
        QVERIFY(::stat(qPrintable(path), &written) == 0 && m_ini.WriteFile("s", "A", "2"));
        QVERIFY(::stat(qPrintable(path), &again) == 0 && again.st_ino == written.st_ino);
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

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
