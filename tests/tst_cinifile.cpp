// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/profile.h"
#include "settings/cinifile.h"
#include "settings/keys.h"

#include <QTemporaryDir>
#include <QTest>

using namespace settings;

class TestCinifile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Cinifile m_ini;

private slots:
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

    void valueWrittenAsLameReplacesLAMEWholeButIsReadAsFirst99Bytes_data()
    {
        QTest::addColumn<int>("length");
        for (int length : {99, 100})
            QTest::addRow("%d bytes", length) << length;
    }
    void valueWrittenAsLameReplacesLAMEWholeButIsReadAsFirst99Bytes()
    {
        QFETCH(int, length);
        m_ini.setInifile(m_dir.filePath("long.ini"));
        const QString value(length, u'p');
        using namespace settings::keys;
        QVERIFY(m_ini.WriteFile(kPaths, kLame, "/old") && m_ini.WriteFile(kPaths, kLameAsWritten, value));
        QCOMPARE(platform::GetPrivateProfileString(kPaths, kLame, {}, 4096, m_ini.inifile()), value);
        QCOMPARE(m_ini.GetFile(kPaths, kLame), QString(qMin(length, 99), u'p'));
    }
};

QTEST_GUILESS_MAIN(TestCinifile)
#include "tst_cinifile.moc"
