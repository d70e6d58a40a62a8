#include "settings/cinifile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestCinifile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void createIniJoinsWithOneSeparator_data()
    {
        QTest::addColumn<QString>("drv");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("path");
        QTest::newRow("root and folder") << "/" << "tools/purlwave.ini" << "/tools/purlwave.ini";
        QTest::newRow("program in the root") << "/" << "/purlwave.ini" << "/purlwave.ini";
        QTest::newRow("three separators each side") << "/a///" << "///b" << "/a/b";
        QTest::newRow("empty directory part") << "/a" << "" << "/a/";
        QTest::newRow("empty drive part") << "" << "b" << "/b";
        QTest::newRow("separators only") << "///" << "//" << "/";
    }
    void createIniJoinsWithOneSeparator()
    {
        QFETCH(QString, drv);
        QFETCH(QString, dir);
        Cinifile ini;
        QCOMPARE(ini.inifile(), QString());
        ini.CreateIni(drv, dir);
        QTEST(ini.inifile(), "path");
    }

    void firstRunThenEditsGiveExpectedLayout()
    {
        const QString folder = m_dir.path();
        const QString file = folder + "/purlwave.ini";
        Cinifile ini;
        ini.CreateIni(folder.left(1), folder.mid(1) + "/purlwave.ini");
        QCOMPARE(ini.inifile(), file);
        QVERIFY(!QFile::exists(file));
        QCOMPARE(ini.GetFile("PATHS", "LAME"), QString());

        QVERIFY(ini.WriteFile("PATHS", "Source Path", folder));
        QVERIFY(ini.WriteFile("PATHS", "Destination Path", folder));
        QVERIFY(ini.WriteFile("SETTINGS", "Default Encoding", "1"));
        QVERIFY(ini.WriteFile("PATHS", "LAME", folder + "/lame.exe"));
        const QByteArray f = folder.toUtf8();
        QByteArray expected = "[PATHS]\nSource Path=" + f + "\nDestination Path=" + f + "\nLAME=" + f
            + "/lame.exe\n[SETTINGS]\nDefault Encoding=1\n";
        QCOMPARE(bytesOf(file), expected);

        QVERIFY(ini.WriteFile("CUSTOM", "Parameters", "-V 2"));
        expected += "[CUSTOM]\nParameters=-V 2\n";
        QCOMPARE(bytesOf(file), expected);
        QVERIFY(ini.WriteFile("SETTINGS", "Default Encoding", "2"));
        QCOMPARE(bytesOf(file), expected.replace("Encoding=1", "Encoding=2"));
    }

    void twoObjectsShareOneEntryUnderLameAndLAME()
    {
        const QString file = m_dir.filePath("shared.ini");
        Cinifile main;
        Cinifile config;
        main.setInifile(file);
        config.setInifile(file);
        QVERIFY(main.WriteFile("PATHS", "LAME", "/a/lame"));
        QVERIFY(config.WriteFile("PATHS", "Lame", "/usr/bin/lame"));
        QCOMPARE(main.GetFile("PATHS", "LAME"), "/usr/bin/lame");
        QCOMPARE(bytesOf(file), "[PATHS]\nLAME=/usr/bin/lame\n");
    }

    void longValueIsStoredWholeButReadAsFirst99Bytes_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        const QString u(75, QChar(0xFC)); // two bytes each
        QTest::newRow("99 bytes") << QString(99, u'p') << QString(99, u'p');
        QTest::newRow("100 bytes") << QString(100, u'p') << QString(99, u'p');
        QTest::newRow("150 bytes") << QString(150, u'p') << QString(99, u'p');
        QTest::newRow("150 bytes of 2-byte characters") << u << u.left(49);
    }
    void longValueIsStoredWholeButReadAsFirst99Bytes()
    {
        QFETCH(QString, value);
        Cinifile ini;
        ini.setInifile(m_dir.filePath("long.ini"));
        QVERIFY(ini.WriteFile("CUSTOM", "Parameters", value));
        QVERIFY(bytesOf(ini.inifile()).contains("Parameters=" + value.toUtf8() + "\n"));
        QTEST(ini.GetFile("CUSTOM", "Parameters"), "readBack");
    }

    void failedWriteIsReportedAndReadsEmpty()
    {
        QFile plain(m_dir.filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        Cinifile ini;
        ini.CreateIni(plain.fileName(), "purlwave.ini"); // its folder is a regular file
        QVERIFY(!ini.WriteFile("SETTINGS", "Default Encoding", "1"));
        QCOMPARE(ini.GetFile("SETTINGS", "Default Encoding"), QString());
    }
};

QTEST_GUILESS_MAIN(TestCinifile)
#include "tst_cinifile.moc"
