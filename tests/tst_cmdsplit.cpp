// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting one command-line string into a program and its arguments, against
// real files in a temporary folder.
#include "platform/process.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>

static const QString kBinName = QStringLiteral("purlwave-split-enc");

class TestCmdSplit : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString expand(QString text) const { return text.replace(QStringLiteral("{d}"), m_dir.path()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // "Program" and "Program Files/enc" both exist: a shortest-first search would run the first.
        for (const QString &name :
             QStringList{"enc", "Program", "Program Files/enc", "plain", "bin/" + kBinName}) {
            QFile f(m_dir.filePath(name));
            QVERIFY(QDir().mkpath(QFileInfo(f).path()) && f.open(QIODevice::WriteOnly));
            QVERIFY(
                f.setPermissions(QFile::ReadOwner | (name == "plain" ? QFile::WriteOwner : QFile::ExeOwner)));
        }
        // The empty entry must not make the current folder a search folder.
        qputenv("PATH", m_dir.filePath(QStringLiteral("bin")).toLocal8Bit() + "::/usr/bin:/bin");
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }

    void splitsIntoProgramAndArguments_data(); // below: moc misreads some of its raw strings
    void splitsIntoProgramAndArguments()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        const std::optional<platform::SplitCommand> split = platform::splitCommandLine(expand(commandLine));
        QCOMPARE(split.has_value(), !program.isEmpty());
        QCOMPARE(split ? split->program : QString(), expand(program));
        QCOMPARE(split ? split->arguments : QStringList(), arguments.replaceInStrings("{d}", m_dir.path()));
    }

    // Last: once the application has been told to quit, no event loop of this
    // process runs again. The program is then inside its own event loop.
    void waitAfterTheApplicationQuitsBlocksInsteadOfSpinning()
    {
        int waits = 0;
        double cpuMs = 0;
        bool started = false;
        QTimer::singleShot(0, [&] {
            platform::ChildProcess sleeper;
            started = sleeper.start(QStringLiteral("sleep 0.6"));
            QCoreApplication::quit();
            const std::clock_t cpuBefore = std::clock();
            while (started && !sleeper.waitForEnd(200))
                ++waits;
            cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        });
        QCoreApplication::exec();
        QVERIFY(started);
        QVERIFY2(waits <= 4, qPrintable(QString::number(waits)));
        QVERIFY2(cpuMs < 200, qPrintable(QString::number(cpuMs)));
    }
};

void TestCmdSplit::splitsIntoProgramAndArguments_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("program"); // empty: no program is found
    QTest::addColumn<QStringList>("arguments");
    const QString enc = QStringLiteral("{d}/enc"), files = QStringLiteral("{d}/Program Files/enc");
    const QStringList none;
    QTest::newRow("as the batch builds it: preset, two blanks, quoted paths with blanks")
        << R"({d}/enc -h  "{d}/Program Files/in.wav" "{d}/out.mp3")" << enc
        << QStringList{"-h", "{d}/Program Files/in.wav", "{d}/out.mp3"};
    QTest::newRow("longest prefix wins over an executable shorter one")
        << R"({d}/Program Files/enc -h  "x.wav")" << files << QStringList{"-h", "x.wav"};
    QTest::newRow("shorter prefix when the longer is missing")
        << R"({d}/Program Files/missing -h "x")"
        << "{d}/Program" << QStringList{"Files/missing", "-h", "x"};
    QTest::newRow("whole text when it holds no quote") << files << files << none;
    QTest::newRow("blanks and tabs between arguments, an unbalanced quote runs to the end")
        << " \t{d}/enc -h\t-V \t1 \t \"a b  c" << enc << QStringList{"-h", "-V", "1", "a b  c"};
    QTest::newRow("quoted program whole")
        << R"("{d}/Program Files/enc" -h "a")" << files << QStringList{"-h", "a"};
    QTest::newRow("bare name found on the search path") << kBinName + " -h"
                                                        << "{d}/bin/" + kBinName << QStringList{"-h"};
    QTest::newRow("lone backslashes stay")
        << R"({d}/enc a\b c\\d e\)" << enc << QStringList{"a\\b", "c\\\\d", "e\\"};
    QTest::newRow("2n backslashes, quote: n") << R"({d}/enc x\\\\"y z")" << enc << QStringList{"x\\\\y z"};
    QTest::newRow("2n+1 backslashes, quote: n, quote")
        << R"({d}/enc a\\\"b c)" << enc << QStringList{"a\\\"b", "c"};
    QTest::newRow("doubled quote inside quotes gives a quote, empty quotes an empty argument")
        << R"({d}/enc "a""b c" "" d)" << enc << QStringList{R"(a"b c)", "", "d"};
    QTest::newRow("only blanks") << " \t  "
                                 << "" << none;
    QTest::newRow("empty quoted program") << R"("" -h)"
                                          << "" << none;
    QTest::newRow("missing program") << R"({d}/missing -h "a" "b")"
                                     << "" << none;
    QTest::newRow("file without execute permission") << R"({d}/plain -h "a")"
                                                     << "" << none;
    QTest::newRow("folder") << R"({d}/bin -h "a")"
                            << "" << none;
    QTest::newRow("quoted program has no shorter fallback") << R"("{d}/Program Files/missing" -h)"
                                                            << "" << none;
    // The current folder holds "enc", but a bare name is looked up on PATH only.
    QTest::newRow("bare name in the current folder only") << "enc -h"
                                                          << "" << none;
}

QTEST_GUILESS_MAIN(TestCmdSplit)
#include "tst_cmdsplit.moc"
