#include "platform/profile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using platform::WritePrivateProfileString;
using Writes = QList<QStringList>; // section, key, value

namespace {
QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString read(const QString &path, const QString &section, const QString &key, int size = 100)
{
    return platform::GetPrivateProfileString(section, key, "dflt", size, path);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

// Mode bits only: the "User" flags say what the current user may do.
QFile::Permissions modeOf(const QString &path)
{
    return QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
}
} // namespace

class TestProfile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    QString m_ini;

private slots:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_tmp->isValid());
        m_ini = m_tmp->filePath("purlwave.ini");
    }

    void writeChangesOnlyItsEntry_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file yet
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file: new key at end of its section")
            << QByteArray() << Writes{{"A", "x", "1"}, {"B", "y", "2"}, {"a", "z", "3"}}
            << QByteArray("[A]\nx=1\nz=3\n[B]\ny=2\n");
        QTest::newRow("entry keeps its place and key spelling")
            << QByteArray("[Paths]\nLame=/old\nOther=1\n") << Writes{{"PATHS", "LAME", "/new"}}
            << QByteArray("[Paths]\nLame=/new\nOther=1\n");
        QTest::newRow("hand-edited entry becomes key=value, other lines kept")
            << QByteArray("; mine\n\n[S]\n  Key = old  \n\nno equals sign\n[T]\nk = v\n")
            << Writes{{"s", "key", "new"}}
            << QByteArray("; mine\n\n[S]\nKey=new\n\nno equals sign\n[T]\nk = v\n");
        QTest::newRow("CRLF kept and used for new lines")
            << QByteArray("[S]\r\na=1\r\n") << Writes{{"S", "b", "2"}, {"T", "c", "3"}}
            << QByteArray("[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n");
        QTest::newRow("new key after last entry, before blank line and comment")
            << QByteArray("[S]\na=1\n\n; next\n[T]\n") << Writes{{"S", "b", "2"}}
            << QByteArray("[S]\na=1\nb=2\n\n; next\n[T]\n");
        QTest::newRow("commented-out entry is not the entry")
            << QByteArray("[S]\n;a=old\n[T]\n") << Writes{{"S", "a", "new"}}
            << QByteArray("[S]\na=new\n;a=old\n[T]\n");
        QTest::newRow("missing final line ending added before a new line")
            << QByteArray("[S]\na=1") << Writes{{"S", "b", "2"}} << QByteArray("[S]\na=1\nb=2\n");
        QTest::newRow("rewritten last line keeps its missing ending")
            << QByteArray("[S]\na=1") << Writes{{"S", "a", "2"}} << QByteArray("[S]\na=2");
        QTest::newRow("first of duplicated section and key is written")
            << QByteArray("[S]\na=1\na=2\n[s]\na=3\n") << Writes{{"S", "a", "9"}}
            << QByteArray("[S]\na=9\na=2\n[s]\na=3\n");
        QTest::newRow("empty value leaves key=")
            << QByteArray("[S]\na=1\n") << Writes{{"S", "a", ""}} << QByteArray("[S]\na=\n");
        QTest::newRow("value written and read as given, quotes too")
            << QByteArray() << Writes{{"S", "a", "\"x\" = y"}} << QByteArray("[S]\na=\"x\" = y\n");
        QTest::newRow("byte-order mark kept")
            << QByteArray("\xEF\xBB\xBF[S]\na=1\n") << Writes{{"S", "a", "2"}}
            << QByteArray("\xEF\xBB\xBF[S]\na=2\n");
        QTest::newRow("entry above the first section belongs to none")
            << QByteArray("a=1\n[S]\n") << Writes{{"S", "a", "2"}} << QByteArray("a=1\n[S]\na=2\n");
        QTest::newRow("non-ASCII names match without regard to case")
            << QByteArray("[Ärger]\nÜber=1\n") << Writes{{"ärger", "über", "2"}}
            << QByteArray("[Ärger]\nÜber=2\n");
    }
    void writeChangesOnlyItsEntry()
    {
        QFETCH(QByteArray, before);
        QFETCH(Writes, writes);
        if (!before.isNull())
            put(m_ini, before);
        for (const QStringList &w : writes)
            QVERIFY(WritePrivateProfileString(w[0], w[1], w[2], m_ini));
        QTEST(bytesOf(m_ini), "after");
        for (const QStringList &w : writes)
            QCOMPARE(read(m_ini, w[0].toUpper(), w[1].toUpper()), w[2]);
    }

    void readGivesValueOrDefault_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray dup("[S]\na=1\na=2\n[S]\nb=3\n");
        QTest::newRow("missing file") << QByteArray() << "a" << "dflt";
        QTest::newRow("missing section") << QByteArray("[T]\na=1\n") << "a" << "dflt";
        QTest::newRow("missing key") << QByteArray("[S]\nb=1\n") << "a" << "dflt";
        QTest::newRow("blanks around names and value")
            << QByteArray(" [ S ] \n\t a  =  v w \t\n") << "a" << "v w";
        QTest::newRow("first duplicate key counts") << dup << "a" << "1";
        QTest::newRow("key of a later duplicate section unseen") << dup << "b" << "dflt";
        QTest::newRow("comments and bare word are no entries")
            << QByteArray("[S]\n;a=1\n#a=2\na\n") << "a" << "dflt";
        QTest::newRow("CRLF not part of value") << QByteArray("[S]\r\na=v\r\n") << "a" << "v";
        QTest::newRow("zero byte ends value") << QByteArray("[S]\na=v\0w\n", 10) << "a" << "v";
    }
    void readGivesValueOrDefault()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        if (!content.isNull())
            put(m_ini, content);
        QTEST(read(m_ini, "S", key), "expected");
    }

    void readIsCutAtCharacterWithinBuffer_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray a98(98, 'a');
        QTest::newRow("2-byte character across limit dropped") << a98 + "é" << 100 << a98;
        QTest::newRow("3-byte character ending at limit kept")
            << a98.first(96) + "€" << 100 << a98.first(96) + "€";
        QTest::newRow("4-byte character across limit dropped")
            << a98 + "\xF0\x9F\x98\x80" << 100 << a98;
        QTest::newRow("stray continuation bytes cut at limit")
            << QByteArray(150, '\x80') << 100 << QByteArray(99, '\x80');
        QTest::newRow("one-byte buffer gives empty") << QByteArray("abc") << 1 << QByteArray("");
        QTest::newRow("no buffer gives empty") << QByteArray("abc") << 0 << QByteArray("");
    }
    void readIsCutAtCharacterWithinBuffer()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, bufferSize);
        QFETCH(QByteArray, expected);
        put(m_ini, "[S]\na=" + value + "\n");
        QCOMPARE(read(m_ini, "S", "a", bufferSize), QString::fromUtf8(expected));
        QCOMPARE(read(m_ini, "S", "none", 3), "df"); // the default is cut the same way
    }

    void garbledFileReadsAndWriteKeepsIt_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray allBytes;
        for (int i = 0; i < 1024; ++i)
            allBytes += char(i);
        QByteArray junk(1 << 20, Qt::Uninitialized);
        QRandomGenerator rng(20240501);
        for (char &c : junk)
            c = char(rng.bounded(256));
        QTest::newRow("every byte value") << allBytes;
        QTest::newRow("zero bytes") << QByteArray(5000, '\0');
        QTest::newRow("megabyte line without ending") << QByteArray(1 << 20, 'x');
        QTest::newRow("megabyte of random bytes") << junk;
        QTest::newRow("lines without equals sign") << QByteArray("[S\nkey\n]\n[\n=\n==\n");
        QTest::newRow("byte-order mark only") << QByteArray("\xEF\xBB\xBF");
    }
    void garbledFileReadsAndWriteKeepsIt()
    {
        QFETCH(QByteArray, content);
        put(m_ini, content);
        read(m_ini, "S", "a");
        QVERIFY(WritePrivateProfileString("Purlwave test", "k", "v", m_ini));
        QVERIFY(bytesOf(m_ini).startsWith(content));
        QCOMPARE(read(m_ini, "PURLWAVE TEST", "K"), "v");
    }

    void failedWriteIsReportedAndChangesNothing_data()
    {
        QTest::addColumn<QString>("target"); // in the folder; empty: no path at all
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QStringList>("entry");
        const QStringList ok{"S", "a", "v"};
        QTest::newRow("folder is a regular file") << "purlwave.ini/x.ini" << false << ok;
        QTest::newRow("folder missing") << "missing/x.ini" << false << ok;
        QTest::newRow("path names a folder") << "." << false << ok;
        QTest::newRow("no path") << "" << false << ok;
        QTest::newRow("file without write permission") << "purlwave.ini" << true << ok;
        QTest::newRow("line break in value")
            << "purlwave.ini" << false << QStringList{"S", "a", "x\n[T]"};
        QTest::newRow("equals sign in key")
            << "purlwave.ini" << false << QStringList{"S", "a=b", "v"};
        QTest::newRow("bracket in section")
            << "purlwave.ini" << false << QStringList{"S]x", "a", "v"};
    }
    void failedWriteIsReportedAndChangesNothing()
    {
        QFETCH(QString, target);
        QFETCH(bool, readOnly);
        QFETCH(QStringList, entry);
        const QByteArray content("[S]\na=1\n");
        put(m_ini, content);
        if (readOnly)
            QVERIFY(QFile::setPermissions(m_ini, QFile::ReadOwner | QFile::ReadGroup));
        const QString path = target.isEmpty() ? QString() : m_tmp->filePath(target);
        QVERIFY(!WritePrivateProfileString(entry[0], entry[1], entry[2], path));
        QCOMPARE(bytesOf(m_ini), content);
        QCOMPARE(filesIn(m_tmp->path()), QStringList{"purlwave.ini"});
    }

    void readOnlyFolderTakesChangesToItsFileOnlyInPlace()
    {
        const QString folder = m_tmp->filePath("ro");
        const QString ini = folder + "/purlwave.ini";
        QVERIFY(QDir().mkpath(folder));
        put(ini, "; kept\n[S]\na=1\n");
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
        QVERIFY(QFile::setPermissions(ini, mode));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard(
            [&] { QFile::setPermissions(folder, QFile::permissions(folder) | QFile::WriteOwner); });
        QVERIFY(WritePrivateProfileString("S", "a", "2", ini));
        QCOMPARE(bytesOf(ini), "; kept\n[S]\na=2\n");
        QCOMPARE(modeOf(ini), mode);
        QCOMPARE(filesIn(folder), QStringList{"purlwave.ini"});

        if (QFile probe(folder + "/probe"); probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("this user (root) creates files in folders without write permission");
        }
        QVERIFY(!WritePrivateProfileString("S", "a", "1", folder + "/new.ini"));
        QCOMPARE(filesIn(folder), QStringList{"purlwave.ini"});
    }

    void writeReplacesFileWholeKeepingModeAndLink()
    {
        put(m_ini, "[S]\na=1\n");
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(m_ini, mode));
        const QString link = m_tmp->filePath("link.ini");
        QVERIFY(QFile::link(m_ini, link));
        QFile reader(m_ini);
        QVERIFY(reader.open(QIODevice::ReadOnly)); // sees the old file, never a half-written one
        QVERIFY(WritePrivateProfileString("S", "a", "2", link));
        QCOMPARE(reader.readAll(), "[S]\na=1\n");
        QCOMPARE(bytesOf(m_ini), "[S]\na=2\n");
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(modeOf(m_ini), mode);
        QCOMPARE(filesIn(m_tmp->path()).size(), 2); // no temporary file left beside
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
