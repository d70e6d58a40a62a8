// SPDX-License-Identifier: GPL-3.0-or-later
// The C++ sources laid out as .clang-format says, checked by clang-format itself. Built only with
// -DPURLWAVE_FORMAT_CHECK=ON (the presets): there a missing clang-format is a failure, not a skip.
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>

class TestFormat : public QObject {
    Q_OBJECT

private slots:
    void sourcesAreLaidOutAsTheRulesSay_data()
    {
        QTest::addColumn<QString>("folder"); // a file name stands for itself
        for (const char *folder :
             {"batch", "settings", "platform", "ui", "tests", "bench", "tools", "main.cpp"})
            QTest::newRow(folder) << QStringLiteral(PURLWAVE_SOURCE_DIR "/") + folder;
    }

    // clang-format names each line that would change; its output is the message.
    void sourcesAreLaidOutAsTheRulesSay()
    {
        QFETCH(QString, folder);
        QString clangFormat = QStandardPaths::findExecutable("clang-format");
        if (clangFormat.isEmpty())
            clangFormat = QStandardPaths::findExecutable("clang-format-14");
        QVERIFY2(!clangFormat.isEmpty(),
                 "clang-format is not installed (Debian: apt-get install clang-format)");
        QStringList files = QFileInfo(folder).isFile() ? QStringList{folder} : QStringList();
        QDirIterator it(folder, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            if (const QString file = it.next();
                !QDir(PURLWAVE_SOURCE_DIR).relativeFilePath(file).contains("/build/"))
                files << file;
        }
        QVERIFY2(!files.isEmpty(), qPrintable(folder + " holds no sources"));
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(clangFormat,
                    QStringList{"--dry-run", "-Werror", "--style=file:" PURLWAVE_SOURCE_DIR "/.clang-format"}
                        + files);
        QVERIFY2(check.waitForFinished(120000), qPrintable(check.errorString()));
        const bool laidOut = check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
        if (!laidOut)
            std::fputs(check.readAll().constData(), stderr); // in full: a test message would be cut
        QVERIFY2(laidOut,
                 "places differ from the layout rules, listed above; apply them with clang-format -i "
                 "<file> (the rules are written for clang-format 14)");
    }
};

QTEST_APPLESS_MAIN(TestFormat)
#include "tst_format.moc"
