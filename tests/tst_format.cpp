// SPDX-License-Identifier: GPL-3.0-or-later
// The C++ sources laid out as .clang-format says, checked by clang-format itself. Runs only in a build
// configured with -DPURLWAVE_FORMAT_CHECK=ON; then a missing clang-format is a failure, not a skip.
#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

const QString kSourceDir = QStringLiteral(PURLWAVE_SOURCE_DIR);

// The C++ files under folder (a file name stands for itself), build folders left out.
QStringList sourcesIn(const QString &folder)
{
    const QString root = kSourceDir + '/' + folder;
    if (QFileInfo(root).isFile())
        return {root};
    QStringList files;
    QDirIterator it(root, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString relative = QDir(kSourceDir).relativeFilePath(file);
        if (!relative.split('/').first().startsWith("build") && !relative.contains("/build/"))
            files << file;
    }
    files.sort();
    return files;
}

QString clangFormat()
{
    for (const char *name : {"clang-format", "clang-format-14"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
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
        QTest::addColumn<QString>("folder");
        for (const char *folder :
             {"batch", "settings", "platform", "ui", "tests", "bench", "tools", "main.cpp"})
            QTest::newRow(folder) << QString::fromLatin1(folder);
    }

    // clang-format names each line that would change; its output is the message.
    void sourcesAreLaidOutAsTheRulesSay()
    {
        QFETCH(QString, folder);
        const QStringList files = sourcesIn(folder);
        QVERIFY2(!files.isEmpty(), qPrintable(folder + " holds no sources"));
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(clangFormat(),
                    QStringList{"--dry-run", "-Werror", "--style=file:" + kSourceDir + "/.clang-format"}
                        + files);
        QVERIFY2(check.waitForFinished(120000), qPrintable(check.errorString()));
        const QString output = QString::fromLocal8Bit(check.readAll());
        QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0,
                 qPrintable("\n" + output + "\nApply the rules with: clang-format -i <file>"));
    }
};

QTEST_APPLESS_MAIN(TestFormat)
#include "tst_format.moc"
