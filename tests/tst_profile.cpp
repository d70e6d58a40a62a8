// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
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

void put(const QString &path, const QByteArray &bytes) // null bytes: no file
{
    QFile file(path);
    QVERIFY(bytes.isNull() || (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()));
}

QString read(const QString &path, const QString &section, const QString &key)
{
    return platform::GetPrivateProfileString(section, key, "dflt", 100, path);
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
        QList<quint32> words(1 << 18); // zero bytes, brackets and equals signs among them
        QRandomGenerator(20240501).fillRange(words.data(), words.size());
        const QByteArray random(reinterpret_cast<const char *>(words.data()), 1 << 20);
        const QByteArray junk = "x\n" + random + "\n";
        QTest::newRow("new file: key at end of its section, value as given")
            << QByteArray() << Writes{{"A", "x", "1"}, {"B", "y", "\"2\" = y"}, {"a", "z", "3"}}
            << QByteArray("[A]\nx=1\nz=3\n[B]\ny=\"2\" = y\n");
        QTest::newRow(
            "byte-order mark, first of duplicates, spelling kept, non-ASCII without case, empty value")
            << QByteArray("\xEF\xBB\xBF[Paths]\nLame=/old\nÜber=1\nlame=dup\n[paths]\nx=3\n")
            << Writes{{"PATHS", "LAME", "/new"}, {"paths", "über", ""}, {"PATHS", "x", "4"}}
            << QByteArray("\xEF\xBB\xBF[Paths]\nLame=/new\nÜber=\nlame=dup\nx=4\n[paths]\nx=3\n");
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
        put(m_ini, before);
        for (const QStringList &w : writes)
            QVERIFY(WritePrivateProfileString(w[0], w[1], w[2], m_ini));
        QTEST(bytesOf(m_ini), "after");
        for (const QStringList &w : writes)
            QCOMPARE(read(m_ini, w[0].toUpper(), w[1].toUpper()), w[2]);
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
        put(m_ini, " [ S ] \n\t a  = " + value + " \t\n");
        QTEST(read(m_ini, "S", "a"), "expected");
    }

    void failedWriteIsReportedAndChangesNothing()
    {
        const QByteArray content("[S]\na=1\n");
        put(m_ini, content);
        QVERIFY(!WritePrivateProfileString("S", "a", "v", m_tmp->filePath("missing/x.ini")));
        QCOMPARE(read(m_tmp->filePath("missing/x.ini"), "S", "a"), "dflt");
        QVERIFY(!WritePrivateProfileString("S", "a", "x\n[T]", m_ini)); // would add a section
        QVERIFY(!WritePrivateProfileString("S", "a=b", "v", m_ini));
        QVERIFY(QFile::setPermissions(m_ini, QFile::ReadOwner | QFile::ReadGroup));
        QVERIFY(!WritePrivateProfileString("S", "a", "v", m_ini)); // also for a user who could write it
        QCOMPARE(bytesOf(m_ini), content);
        QCOMPARE(QDir(m_tmp->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"purlwave.ini"});
    }

    void writeReplacesTheFileWholeKeepingItsMode()
    {
        put(m_ini, "; kept\n[S]\na=1\n");
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(m_ini, mode));
        QFile reader(m_ini);
        QVERIFY(reader.open(QIODevice::ReadOnly)); // sees the old file, never a half-written one
        QVERIFY(WritePrivateProfileString("S", "a", "2", m_ini));
        QCOMPARE(reader.readAll(), "; kept\n[S]\na=1\n");
        QCOMPARE(bytesOf(m_ini), "; kept\n[S]\na=2\n");
        // The "User" flags say what the current user may do, not the file's mode.
        QCOMPARE(QFile::permissions(m_ini) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), mode);
    }

    void startUpRemovesOnlyOldLeftoversOfInterruptedWrites_data()
    {
        QTest::addColumn<QStringList>("names"); // relative to the folder of the settings file
        QTest::addColumn<bool>("asLink");       // each a link to an old file elsewhere
        QTest::addColumn<bool>("old");
        QTest::addColumn<bool>("linkedSettings"); // the settings file links to dotfiles/purlwave.ini
        QTest::addColumn<bool>("removed");
        const QStringList leftover{"purlwave.ini.interrupted-write.a1B2c3"};
        QTest::newRow("old leftover: removed") << leftover << false << true << false << true;
        QTest::newRow("young leftover, a write may be under way: kept")
            << leftover << false << false << false << false;
        QTest::newRow("leftover beside a linked file's target: removed")
            << QStringList{"dotfiles/purlwave.ini.interrupted-write.Zz0099"} << false << true << true << true;
        QTest::newRow("leftover beside the link itself: kept")
            << QStringList{"purlwave.ini.interrupted-write.Zz0099"} << false << true << true << false;
        QTest::newRow("names that only look like a leftover, a user's backup among them: kept")
            << QStringList{"purlwave.ini.interrupted-write.a1B2c3d", "purlwave.ini.interrupted-write.a1B2c",
                           "purlwave.ini.interrupted-write.a1-2c3", "purlwave.in.interrupted-write.a1B2c3",
                           "purlwave.ini.a1B2c3"}
            << false << true << false << false;
        QTest::newRow("link of that name to an old file: kept, target too")
            << leftover << true << true << false << false;
    }
    void startUpRemovesOnlyOldLeftoversOfInterruptedWrites()
    {
        QFETCH(QStringList, names);
        QFETCH(bool, asLink);
        QFETCH(bool, old);
        QFETCH(bool, linkedSettings);
        QFETCH(bool, removed);
        const QDir folder(m_tmp->path());
        const QByteArray settings("[S]\na=1\n");
        if (linkedSettings) {
            QVERIFY(folder.mkdir("dotfiles"));
            put(folder.filePath("dotfiles/purlwave.ini"), settings);
            QVERIFY(QFile::link("dotfiles/purlwave.ini", m_ini));
        } else {
            put(m_ini, settings);
        }
        const QString elsewhere = folder.filePath("elsewhere.txt");
        for (const QString &name : names) {
            QFile file(asLink ? elsewhere : folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush());
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(old ? -61 : -30),
                                     QFileDevice::FileModificationTime));
            QVERIFY(!asLink || QFile::link(elsewhere, folder.filePath(name)));
        }
        QCOMPARE(platform::removeInterruptedWrites(m_ini), removed ? names.size() : 0);
        for (const QString &name : names) {
            const QFileInfo entry(folder.filePath(name));
            QVERIFY2((entry.exists() || entry.isSymLink()) != removed, qPrintable(name));
        }
        QCOMPARE(bytesOf(m_ini), settings);
        QCOMPARE(QFileInfo::exists(elsewhere), asLink);
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
