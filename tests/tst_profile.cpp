#include "platform/profile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

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

QString read(const QString &path, const QString &section, const QString &key)
{
    return platform::GetPrivateProfileString(section, key, "dflt", 100, path);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden);
}
} // namespace

class TestProfile : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_tmp;
    QString m_ini;

private slots:
    void init()
    {
        QVERIFY(m_tmp.emplace().isValid());
        m_ini = m_tmp->filePath("purlwave.ini");
    }

    void writeChangesOnlyItsEntry_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file yet
        QTest::addColumn<Writes>("writes");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file: key at end of its section, value as given")
            << QByteArray() << Writes{{"A", "x", "1"}, {"B", "y", "\"2\" = y"}, {"a", "z", "3"}}
            << QByteArray("[A]\nx=1\nz=3\n[B]\ny=\"2\" = y\n");
        QTest::newRow("Lame and LAME: entry keeps place and spelling, empty value")
            << QByteArray("[Paths]\nLame=/old\nOther=1\n")
            << Writes{{"PATHS", "LAME", "/new"}, {"paths", "other", ""}}
            << QByteArray("[Paths]\nLame=/new\nOther=\n");
        QTest::newRow("hand-edited entry becomes key=value, new key before comment, rest kept")
            << QByteArray("; mine\n\n[S]\n  Key = old  \n;b=old\n\nno equals sign\n[T]\nk = v\n")
            << Writes{{"s", "key", "new"}, {"S", "b", "2"}}
            << QByteArray("; mine\n\n[S]\nKey=new\nb=2\n;b=old\n\nno equals sign\n[T]\nk = v\n");
        QTest::newRow("CRLF kept and used for new lines, missing last ending added")
            << QByteArray("[S]\r\na=1\r\n[T]\r\nx=1") << Writes{{"T", "y", "2"}, {"U", "z", "3"}, {"S", "b", "4"}}
            << QByteArray("[S]\r\na=1\r\nb=4\r\n[T]\r\nx=1\r\ny=2\r\n[U]\r\nz=3\r\n");
        QTest::newRow("byte-order mark kept, first of duplicated section and key written")
            << QByteArray("\xEF\xBB\xBF[S]\na=1\na=2\n[s]\na=3\n") << Writes{{"S", "a", "9"}}
            << QByteArray("\xEF\xBB\xBF[S]\na=9\na=2\n[s]\na=3\n");
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
        QTest::newRow("missing file") << QByteArray() << "a" << "dflt";
        QTest::newRow("key only in another section") << QByteArray("[T]\na=1\n[S]\nb=1\n") << "a" << "dflt";
        QTest::newRow("blanks around names and value") << QByteArray(" [ S ] \n\t a  =  v w \t\n") << "a" << "v w";
        QTest::newRow("key of a later duplicate section unseen") << QByteArray("[S]\na=1\n[S]\nb=3\n") << "b" << "dflt";
        // Whole characters past the read limit: through the settings object.
        QTest::newRow("stray continuation bytes cut at limit")
            << "[S]\na=" + QByteArray(150, '\x80') + "\n" << "a" << QString::fromUtf8(QByteArray(99, '\x80'));
    }
    void readGivesValueOrDefault()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        if (!content.isNull())
            put(m_ini, content);
        QTEST(read(m_ini, "S", key), "expected");
    }

    void garbledFileReadsAndWriteKeepsIt_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray junk(1 << 20, Qt::Uninitialized);
        QRandomGenerator rng(20240501);
        for (char &c : junk)
            c = char(rng.bounded(256));
        QTest::newRow("megabyte line without ending") << QByteArray(1 << 20, 'x');
        QTest::newRow("megabyte of random bytes, zero bytes too") << junk;
        QTest::newRow("stray brackets and equals signs") << QByteArray("[S\nkey\n]\n[\n=\n==\n");
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
        QTest::addColumn<QString>("target"); // in the folder
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QStringList>("entry");
        const QStringList ok{"S", "a", "v"};
        QTest::newRow("folder missing") << "missing/x.ini" << false << ok;
        QTest::newRow("file without write permission") << "purlwave.ini" << true << ok;
        QTest::newRow("line break in value") << "purlwave.ini" << false << QStringList{"S", "a", "x\n[T]"};
        QTest::newRow("equals sign in key") << "purlwave.ini" << false << QStringList{"S", "a=b", "v"};
        QTest::newRow("bracket in section") << "purlwave.ini" << false << QStringList{"S]x", "a", "v"};
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
        QVERIFY(!WritePrivateProfileString(entry[0], entry[1], entry[2], m_tmp->filePath(target)));
        QCOMPARE(bytesOf(m_ini), content);
        QCOMPARE(filesIn(m_tmp->path()), QStringList{"purlwave.ini"});
    }

    void writeReplacesFileWholeOrInPlaceInReadOnlyFolder()
    {
        put(m_ini, "; kept\n[S]\na=1\n");
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(m_ini, mode));
        const QString link = m_tmp->filePath("link.ini");
        QVERIFY(QFile::link(m_ini, link));
        QFile reader(m_ini);
        QVERIFY(reader.open(QIODevice::ReadOnly)); // sees the old file, never a half-written one
        QVERIFY(WritePrivateProfileString("S", "a", "2", link));
        QCOMPARE(reader.readAll(), "; kept\n[S]\na=1\n");
        QCOMPARE(bytesOf(m_ini), "; kept\n[S]\na=2\n");
        QVERIFY(QFileInfo(link).isSymLink());
        // The "User" flags say what the current user may do, not the file's mode.
        QCOMPARE(QFile::permissions(m_ini) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), mode);
        QCOMPARE(filesIn(m_tmp->path()).size(), 2); // no temporary file left beside

        const QString folder = m_tmp->path();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const auto restore = qScopeGuard(
            [&] { QFile::setPermissions(folder, QFile::permissions(folder) | QFile::WriteOwner); });
        QVERIFY(WritePrivateProfileString("S", "a", "3", m_ini));
        QCOMPARE(bytesOf(m_ini), "; kept\n[S]\na=3\n");
        QCOMPARE(filesIn(folder).size(), 2);
        if (QFile probe(folder + "/probe"); probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("this user (root) creates files in folders without write permission");
        }
        QVERIFY(!WritePrivateProfileString("S", "a", "1", folder + "/new.ini"));
        QCOMPARE(filesIn(folder).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
