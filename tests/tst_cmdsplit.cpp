// Splitting one command-line string into a program and its arguments, against
// real files in a temporary folder.
#include "platform/process.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

static const QString BinName = QStringLiteral("purlwave-split-enc");

class tst_CmdSplit : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_savedPath;

    QString expand(QString text) const { return text.replace(QStringLiteral("{d}"), m_dir.path()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // "Program" and "Program Files/enc" both exist: a shortest-first search would run the first.
        for (const QString &name : QStringList{"enc", "Program", "Program Files/enc", "plain", "bin/" + BinName}) {
            QFile f(m_dir.filePath(name));
            QVERIFY(QDir().mkpath(QFileInfo(f).path()) && f.open(QIODevice::WriteOnly));
            QVERIFY(f.setPermissions(QFile::ReadOwner | (name == "plain" ? QFile::WriteOwner : QFile::ExeOwner)));
        }
        m_savedPath = qgetenv("PATH");
        // The empty entry must not make the current folder a search folder.
        qputenv("PATH", m_dir.filePath(QStringLiteral("bin")).toLocal8Bit() + "::/usr/bin:/bin");
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void cleanupTestCase() { qputenv("PATH", m_savedPath); }

    void splitsIntoProgramAndArguments_data(); // below: moc misreads some of its raw strings
    void splitsIntoProgramAndArguments()
    {
        QFETCH(QString, commandLine);
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        arguments.replaceInStrings(QStringLiteral("{d}"), m_dir.path());
        const std::optional<platform::SplitCommand> split = platform::splitCommandLine(expand(commandLine));
        QVERIFY2(bool(split) == !program.isEmpty(), qPrintable(split ? split->program : "no program"));
        if (split) {
            QCOMPARE(split->program, expand(program));
            QCOMPARE(split->arguments, arguments);
        }
    }
};

void tst_CmdSplit::splitsIntoProgramAndArguments_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("program"); // empty: no program is found
    QTest::addColumn<QStringList>("arguments");
    const QString enc = QStringLiteral("{d}/enc");
    const QStringList none;

    QTest::newRow("as the batch builds it: preset, two blanks, quoted paths with blanks")
        << R"({d}/enc -h  "{d}/Program Files/in.wav" "{d}/out.mp3")" << enc
        << QStringList{"-h", "{d}/Program Files/in.wav", "{d}/out.mp3"};
    QTest::newRow("longest prefix wins over an executable shorter one")
        << R"({d}/Program Files/enc -h  "x.wav")" << "{d}/Program Files/enc" << QStringList{"-h", "x.wav"};
    QTest::newRow("shorter prefix when the longer is missing")
        << R"({d}/Program Files/missing -h "x")" << "{d}/Program" << QStringList{"Files/missing", "-h", "x"};
    QTest::newRow("whole text when it holds no quote") << "{d}/Program Files/enc" << "{d}/Program Files/enc" << none;
    QTest::newRow("blanks and tabs around and between arguments")
        << " \t{d}/enc -h\t-V \t1 \t " << enc << QStringList{"-h", "-V", "1"};
    QTest::newRow("quoted program taken whole")
        << R"("{d}/Program Files/enc" -h "a")" << "{d}/Program Files/enc" << QStringList{"-h", "a"};
    QTest::newRow("quoted program without closing quote")
        << R"("{d}/Program Files/enc)" << "{d}/Program Files/enc" << none;
    QTest::newRow("bare name found on the search path")
        << BinName + R"( -h "a")" << "{d}/bin/" + BinName << QStringList{"-h", "a"};

    // The C runtime's argument rules.
    QTest::newRow("backslashes not before a quote are literal")
        << R"({d}/enc a\b c\\d e\)" << enc << QStringList{R"(a\b)", R"(c\\d)", R"(e\)"};
    QTest::newRow("four backslashes before a quote give two, quote groups")
        << R"({d}/enc x\\\\"y z")" << enc << QStringList{R"(x\\y z)"};
    QTest::newRow("three backslashes give one and a literal quote")
        << R"({d}/enc a\\\"b c)" << enc << QStringList{R"(a\"b)", "c"};
    QTest::newRow("doubled quote inside quotes gives a quote")
        << R"({d}/enc "a""b c" d)" << enc << QStringList{R"(a"b c)", "d"};
    QTest::newRow("empty quotes give an empty argument") << R"({d}/enc "" x "")" << enc << QStringList{"", "x", ""};
    QTest::newRow("unbalanced quote runs to the end") << R"({d}/enc -h "a b  c)" << enc << QStringList{"-h", "a b  c"};

    QTest::newRow("only blanks") << " \t  " << "" << none;
    QTest::newRow("empty quoted program") << R"("" -h)" << "" << none;
    QTest::newRow("missing program") << R"({d}/missing -h "a" "b")" << "" << none;
    QTest::newRow("file without execute permission") << R"({d}/plain -h "a")" << "" << none;
    QTest::newRow("folder") << R"({d}/bin -h "a")" << "" << none;
    QTest::newRow("quoted program has no shorter fallback") << R"("{d}/Program Files/missing" -h)" << "" << none;
    // The current folder holds "enc", but a bare name is looked up on PATH only.
    QTest::newRow("bare name in the current folder only") << "enc -h" << "" << none;
}

QTEST_GUILESS_MAIN(tst_CmdSplit)
#include "tst_cmdsplit.moc"
