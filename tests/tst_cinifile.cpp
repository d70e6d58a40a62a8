#include "platform/profile.h"
#include "settings/cinifile.h"

#include <QTemporaryDir>
#include <QTest>

class TestCinifile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void createIniJoinsWithOneSeparator_data()
    {
        QTest::addColumn<QString>("drv");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("path");
        QTest::newRow("three separators each side") << "/a///" << "///b" << "/a/b";
        QTest::newRow("empty directory part") << "/a" << "" << "/a/";
        QTest::newRow("empty drive part") << "" << "b" << "/b";
    }
    void createIniJoinsWithOneSeparator()
    {
        QFETCH(QString, drv);
        QFETCH(QString, dir);
        Cinifile ini;
        ini.CreateIni(drv, dir);
        QTEST(ini.inifile(), "path");
    }

    void longValueIsStoredWholeButReadAsFirst99Bytes_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        const QString u(75, QChar(0xFC)); // two bytes each
        const QString a96(96, u'a');
        QTest::newRow("99 bytes") << QString(99, u'p') << QString(99, u'p');
        QTest::newRow("100 bytes") << QString(100, u'p') << QString(99, u'p');
        QTest::newRow("150 bytes") << QString(150, u'p') << QString(99, u'p');
        QTest::newRow("150 bytes of 2-byte characters: none cut in half") << u << u.left(49);
        QTest::newRow("3-byte character ending at the limit kept") << a96 + "€b" << a96 + "€";
        QTest::newRow("4-byte character across the limit dropped") << a96 + "aa😀" << a96 + "aa";
    }
    void longValueIsStoredWholeButReadAsFirst99Bytes()
    {
        QFETCH(QString, value);
        Cinifile ini;
        ini.setInifile(m_dir.filePath("long.ini"));
        QVERIFY(ini.WriteFile("CUSTOM", "Parameters", value));
        QCOMPARE(platform::GetPrivateProfileString("CUSTOM", "Parameters", {}, 4096, ini.inifile()), value);
        QTEST(ini.GetFile("CUSTOM", "Parameters"), "readBack");
    }
};

QTEST_GUILESS_MAIN(TestCinifile)
#include "tst_cinifile.moc"
