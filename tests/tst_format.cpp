// SPDX-License-Identifier: GPL-3.0-or-later
// The C++ sources laid out as .clang-format says, checked by clang-format itself. Runs only in a build
// configured with -DPURLWAVE_FORMAT_CHECK=ON; then a missing clang-format is a failure, not a skip.
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>

namespace {

const QString kSourceDir = QStringLiteral(PURLWAVE_SOURCE_DIR);

QString clangFormat()
{
    const QString plain = QStandardPaths::findExecutable("clang-format");
    return plain.isEmpty() ? QStandardPaths::findExecutable("clang-format-14") : plain;
}

} // namespace

class TestFormat : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifndef PURLWAVE_FORMAT_CHECK
        QSKIP("the layout check is off; configure with -DPURLWAVE_FORMAT_CHECK=ON to run it");
#endif
        QVERIFY2(!clangFormat().isEmpty(),
                 "clang-format is not installed (Debian: apt-get install clang-format)");
    }

    void sourcesAreLaidOutAsTheRulesSay_data()
    {
        QTest::addColumn<QString>("folder"); // a file name stands for itself
        for (const char *folder :
             {"batch", "settings", "platform", "ui", "tests", "bench", "tools", "main.cpp"})
            QTest::newRow(folder) << QString::fromLatin1(folder);
    }

    // clang-format names each line that would change; its output is the message.
    void sourcesAreLaidOutAsTheRulesSay()
    {
        QFETCH(QString, folder);
        QStringList files;
        QDirIterator it(kSourceDir + '/' + folder, {"*.h", "*.cpp"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            if (const QString file = it.next(); !QDir(kSourceDir).relativeFilePath(file).contains("/build/"))
                files << file;
        }
        if (QFileInfo(kSourceDir + '/' + folder).isFile())
            files << kSourceDir + '/' + folder;
        QVERIFY2(!files.isEmpty(), qPrintable(folder + " holds no sources"));
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(clangFormat(),
                    QStringList{"--dry-run", "-Werror", "--style=file:" + kSourceDir + "/.clang-format"}
                        + files);
        QVERIFY2(check.waitForFinished(120000), qPrintable(check.errorString()));
        const QByteArray output = check.readAll();
        const bool laidOut = check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
        if (!laidOut)
            std::fputs(output.constData(), stderr); // in full: a test message would be cut
        QVERIFY2(laidOut,
                 "places differ from the layout rules, listed above; apply them with clang-format -i <file> "
                 "(the rules are written for clang-format 14)");
    }
};

QTEST_APPLESS_MAIN(TestFormat)
#include "tst_format.moc"
