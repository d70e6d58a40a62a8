// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/profile.h"
#include "settings/cinifile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <optional>

using settings::Cinifile;
using Writes = QList<QStringList>; // section, key, value

namespace {
QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &bytes) // null bytes: no file
{
    QFile file(path);
    QVERIFY(bytes.isNull() || (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()));
}

ino_t inodeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
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
        QList<quint32> words(1 << 18); // zero bytes, brackets and equals signs among them
        QRandomGenerator(20240501).fillRange(words.data(), words.size());
        const QByteArray junk = "x\n" + QByteArray(reinterpret_cast<const char *>(words.data()), 1 << 20)
                                + "\n";
        QTest::newRow("new file: key at end of its section, value as given")
            << QByteArray() << Writes{{"A", "x", "1"}, {"B", "y", "\"2\" = y"}, {"a", "z", "3"}}
            << QByteArray("[A]\nx=1\nz=3\n[B]\ny=\"2\" = y\n");
        QTest::newRow("byte-order mark, first of duplicates, spelling kept, non-ASCII without case, empty "
                      "value, a value longer than a read gives replaced whole")
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
        put(m_ini.inifile(), before);
        for (const QStringList &w : writes)
            QVERIFY(m_ini.WriteFile(w[0], w[1], w[2]));
        QTEST(bytesOf(m_ini.inifile()), "after");
        for (const QStringList &w : writes)
            QCOMPARE(m_ini.GetFile(w[0].toUpper(), w[1].toUpper()), w[2].left(99));
    }

    void readTrimsAndCutsAtTheLimitNeverInsideACharacter_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("expected"); // at most 99 bytes
        const QString u(75, QChar(0xFC));      // two bytes each
        const QString a96(96, u'a');
        QTest::newRow("2-byte characters: none cut in half") << u.toUtf8() << u.left(49);
        QTest::newRow("3-byte character ending at the limit kept") << (a96 + "€b").toUtf8() << a96 + "€";
        QTest::newRow("4-byte character with three bytes inside the limit dropped")
            << (a96 + "😀b").toUtf8() << a96;
        QTest::newRow("stray continuation bytes cut at limit")
            << QByteArray(150, '\x80') << QString::fromUtf8(QByteArray(99, '\x80'));
    }
    void readTrimsAndCutsAtTheLimitNeverInsideACharacter()
    {
        QFETCH(QByteArray, value);
        put(m_ini.inifile(), " [ S ] \n\t a  = " + value + " \t\n");
        QTEST(m_ini.GetFile("S", "a"), "expected");
    }

    void failedWriteIsReportedAndChangesNothing()
    {
        const QByteArray content("[S]\na=1\n");
        put(m_ini.inifile(), content);
        QVERIFY(!platform::WritePrivateProfileString("S", "a", "v", m_tmp->filePath("missing/x.ini")));
        QCOMPARE(platform::GetPrivateProfileString("S", "a", "dflt", 100, m_tmp->filePath("missing/x.ini")),
                 "dflt");
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
        put(path, "; kept\n[S]\na=1\n");
        const auto mode = QFile::ReadOwner | QFile::WriteOwner; // not what a new file gets
        QVERIFY(QFile::setPermissions(path, mode));
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly)); // sees the old file, never a half-written one
        QVERIFY(m_ini.WriteFile("S", "a", "2"));
        QCOMPARE(reader.readAll(), "; kept\n[S]\na=1\n");
        QCOMPARE(bytesOf(path), "; kept\n[S]\na=2\n");
        // The "User" flags say what the current user may do, not the file's mode.
        QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), mode);
        const ino_t written = inodeOf(path);
        QVERIFY(m_ini.WriteFile("s", "A", "2"));
        QCOMPARE(inodeOf(path), written);
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave.ini"});
    }

    void createIniJoinsWithOneSeparator_data()
    {
        QTest::addColumn<QStringList>("parts"); // drive part, directory part
        QTest::addColumn<QString>("path");
        QTest::newRow("three separators each side") << QStringList{"/a///", "///b"} << "/a/b";
        QTest::newRow("empty directory part") << QStringList{"/a", ""} << "/a/";
        QTest::newRow("empty drive part") << QStringList{"", "b"} << "/b";
    }
    void createIniJoinsWithOneSeparator()
    {
        QFETCH(QStringList, parts);
        m_ini.CreateIni(parts[0], parts[1]);
        QTEST(m_ini.inifile(), "path");
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
