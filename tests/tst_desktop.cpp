// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the desktop has an application for a file, asked of a stand-in for the
// freedesktop.org query tool put first on PATH.
#include "platform/desktop.h"
#include "testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using App = platform::DesktopApplication;

class TestDesktop : public QObject {
    Q_OBJECT

private slots:
    void answerFollowsTheDesktopsQuery_data()
    {
        QTest::addColumn<QByteArray>("answer"); // shell commands run for the right question; null: no tool
        QTest::addColumn<App>("expected");
        QTest::newRow("an application is set up") << QByteArray("echo viewer.desktop") << App::Found;
        QTest::newRow("none is set up") << QByteArray("exit 0") << App::None;
        QTest::newRow("the query fails") << QByteArray("echo viewer.desktop; exit 3") << App::Unknown;
        QTest::newRow("the query hangs: asked for two seconds")
            << QByteArray("exec /bin/sleep 30") << App::Unknown;
        QTest::newRow("no query tool") << QByteArray() << App::Unknown;
    }

    void answerFollowsTheDesktopsQuery()
    {
        QFETCH(QByteArray, answer);
        QFETCH(App, expected);
        QTest::failOnWarning(QRegularExpression(".?")); // a query left running warns as it is destroyed
        QTemporaryDir tools;
        const QString file = tools.filePath("notes.txt"), tool = tools.filePath("xdg-mime");
        QVERIFY(tools.isValid() && testsupport::writeFile(file, "plain words\n"));
        // Any other question gets the answer "none".
        QVERIFY(
            answer.isNull()
            || (testsupport::writeFile(tool, "#!/bin/sh\n[ \"$*\" = 'query default text/plain' ] || exit 0\n"
                                                 + answer + "\n")
                && QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)));
        qputenv("PATH", tools.path().toLocal8Bit()); // each row's own

        QCOMPARE(platform::desktopApplicationFor(file), expected);
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
