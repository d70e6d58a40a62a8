// SPDX-License-Identifier: GPL-3.0-or-later
// The C++ sources laid out as .clang-format says, checked by clang-format itself. Built only with
// -DPURLWAVE_FORMAT_CHECK=ON (the presets): there a missing clang-format is a failure, not a skip.
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

class TestFormat : public QObject {
    Q_OBJECT

private slots:
    // clang-format names each line that would change, on the test's own output.
    void sourcesAreLaidOutAsTheRulesSay()
    {
        const QString clangFormat = QStandardPaths::findExecutable("clang-format");
        QVERIFY2(!clangFormat.isEmpty(),
                 "clang-format is not installed (Debian: apt-get install clang-format)");
        const QDir source(PURLWAVE_SOURCE_DIR);
        QStringList files{source.filePath("main.cpp")};
        for (const char *folder : {"batch", "settings", "platform", "ui", "tests", "bench", "tools"}) {
            const qsizetype before = files.size();
            QDirIterator it(source.filePath(folder), {"*.h", "*.cpp"}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                if (const QString file = it.next(); !source.relativeFilePath(file).contains("/build/"))
                    files << file;
            }
            QVERIFY2(files.size() > before, folder); // a folder moved away must not pass unseen
        }
        QProcess check;
        check.setProcessChannelMode(QProcess::ForwardedChannels); // in full: a test message would be cut
        check.start(clangFormat,
                    QStringList{"--dry-run", "-Werror", "--style=file:" + source.filePath(".clang-format")}
                        + files);
        QVERIFY2(check.waitForFinished(120000), qPrintable(check.errorString()));
        const bool laidOut = check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
        QVERIFY2(laidOut,
                 "places differ from the layout rules, listed above; apply them with clang-format -i "
                 "<file> (the rules are written for clang-format 14)");
    }
};

QTEST_APPLESS_MAIN(TestFormat)
#include "tst_format.moc"
