// Splitting one command-line string into a program and its arguments, against
// real files in a temporary folder.
#include "platform/process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using platform::SplitCommand;

namespace {
const QString BinName = QStringLiteral("purlwave-split-enc");
}

class tst_CmdSplit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void splitsIntoProgramAndArguments_data();
    void splitsIntoProgramAndArguments();

private:
    QString expand(QString text) const { return text.replace(QStringLiteral("{d}"), m_dir.path()); }
    void makeFile(const QString &relative, bool executable);

    QTemporaryDir m_dir;
    QByteArray m_savedPath;
};

void tst_CmdSplit::makeFile(const QString &relative, bool executable)
{
    const QString path = m_dir.filePath(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        perms |= QFile::ExeOwner;
    QVERIFY(f.setPermissions(perms));
}

void tst_CmdSplit::initTestCase()
{
    QVERIFY(m_dir.isValid());
    makeFile(QStringLiteral("enc"), true);
    // Both exist: a shortest-first search would run the first one.
    makeFile(QStringLiteral("Program"), true);
    makeFile(QStringLiteral("Program Files/enc"), true);
    makeFile(QStringLiteral("My Encoders/lame  enc"), true);
    makeFile(QStringLiteral("plain"), false);
    makeFile(QStringLiteral("bin/") + BinName, true);

    m_savedPath = qgetenv("PATH");
    // The empty entry must not make the current folder a search folder.
    qputenv("PATH", m_dir.filePath(QStringLiteral("bin")).toLocal8Bit() + "::/usr/bin:/bin");
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void tst_CmdSplit::cleanupTestCase() { qputenv("PATH", m_savedPath); }

void tst_CmdSplit::splitsIntoProgramAndArguments_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");

    const QString enc = QStringLiteral("{d}/enc");
    // Program and pieces as the batch builds them: preset, two blanks, quoted paths.
    QTest::newRow("preset and two quoted paths")
        << R"({d}/enc -h  "{d}/in.wav" "{d}/out.mp3")" << enc
        << QStringList{"-h", "{d}/in.wav", "{d}/out.mp3"};
    QTest::newRow("custom preset left empty: three blanks")
        << R"({d}/enc   "a.wav" "a.mp3")" << enc << QStringList{"a.wav", "a.mp3"};
    QTest::newRow("blank in a folder name")
        << R"({d}/My Encoders/lame  enc -b 256 -h  "a b.wav" "a b.mp3")"
        << "{d}/My Encoders/lame  enc" << QStringList{"-b", "256", "-h", "a b.wav", "a b.mp3"};
    QTest::newRow("longest prefix wins over an executable shorter one")
        << R"({d}/Program Files/enc -h  "x.wav" "x.mp3")" << "{d}/Program Files/enc"
        << QStringList{"-h", "x.wav", "x.mp3"};
    QTest::newRow("shorter prefix when the longer is missing")
        << R"({d}/Program Files/missing -h "x")" << "{d}/Program"
        << QStringList{"Files/missing", "-h", "x"};
    QTest::newRow("whole text when it holds no quote")
        << "{d}/Program Files/enc" << "{d}/Program Files/enc" << QStringList{};
    QTest::newRow("blanks inside quoted paths never join the program")
        << R"({d}/enc "{d}/Program Files/enc")" << enc << QStringList{"{d}/Program Files/enc"};
    QTest::newRow("blanks and tabs around and between arguments")
        << " \t{d}/enc -h\t-V \t1 \t " << enc << QStringList{"-h", "-V", "1"};
    QTest::newRow("quoted program taken whole")
        << R"("{d}/Program Files/enc" -h "a")" << "{d}/Program Files/enc" << QStringList{"-h", "a"};
    QTest::newRow("quoted program followed at once by an argument")
        << R"("{d}/enc"-h x)" << enc << QStringList{"-h", "x"};
    QTest::newRow("quoted program without closing quote")
        << R"("{d}/Program Files/enc)" << "{d}/Program Files/enc" << QStringList{};
    QTest::newRow("bare name found on the search path")
        << BinName + R"( -h "a")" << "{d}/bin/" + BinName << QStringList{"-h", "a"};
    QTest::newRow("quoted bare name found on the search path")
        << '"' + BinName + R"(" x)" << "{d}/bin/" + BinName << QStringList{"x"};
    QTest::newRow("relative path from the current folder")
        << "Program Files/enc -h" << "Program Files/enc" << QStringList{"-h"};

    // The C runtime's argument rules.
    QTest::newRow("backslashes not before a quote are literal")
        << R"({d}/enc a\b c\\d e\)" << enc << QStringList{R"(a\b)", R"(c\\d)", R"(e\)"};
    QTest::newRow("two backslashes before a quote give one, quote groups")
        << R"({d}/enc "a\\" b)" << enc << QStringList{R"(a\)", "b"};
    QTest::newRow("four backslashes before a quote give two")
        << R"({d}/enc x\\\\"y z")" << enc << QStringList{R"(x\\y z)"};
    QTest::newRow("one backslash before a quote gives a literal quote")
        << R"({d}/enc a\"b c)" << enc << QStringList{R"(a"b)", "c"};
    QTest::newRow("three backslashes give one and a literal quote")
        << R"({d}/enc a\\\"b)" << enc << QStringList{R"(a\"b)"};
    QTest::newRow("escaped quote inside quotes stays inside")
        << R"({d}/enc "a \" b" c)" << enc << QStringList{R"(a " b)", "c"};
    QTest::newRow("doubled quote inside quotes gives a quote")
        << R"({d}/enc "a""b c" d)" << enc << QStringList{R"(a"b c)", "d"};
    QTest::newRow("three quotes give one quote") << R"({d}/enc """ x)" << enc
                                                 << QStringList{R"(" x)"};
    QTest::newRow("quotes in the middle of an argument")
        << R"({d}/enc a"b c"d e)" << enc << QStringList{"ab cd", "e"};
    QTest::newRow("empty quotes give an empty argument")
        << R"({d}/enc "" x "")" << enc << QStringList{"", "x", ""};
    QTest::newRow("unbalanced quote runs to the end")
        << R"({d}/enc -h "a b  c)" << enc << QStringList{"-h", "a b  c"};

    // No program: an empty program column.
    const QStringList none;
    QTest::newRow("empty") << "" << "" << none;
    QTest::newRow("only blanks") << " \t  " << "" << none;
    QTest::newRow("empty quoted program") << R"("" -h)" << "" << none;
    QTest::newRow("missing program") << R"({d}/missing -h "a" "b")" << "" << none;
    QTest::newRow("file without execute permission") << R"({d}/plain -h "a")" << "" << none;
    QTest::newRow("folder") << R"({d}/bin -h "a")" << "" << none;
    QTest::newRow("quoted program has no shorter fallback") << R"("{d}/Program Files/missing" -h)" << ""
                                                            << none;
    QTest::newRow("bare name not on the search path") << "purlwave-no-such-encoder -h" << "" << none;
    // The current folder holds "enc", but a bare name is looked up on PATH only.
    QTest::newRow("bare name in the current folder only") << "enc -h" << "" << none;
}

void tst_CmdSplit::splitsIntoProgramAndArguments()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    for (QString &argument : arguments)
        argument = expand(argument);

    const std::optional<SplitCommand> split = platform::splitCommandLine(expand(commandLine));
    if (program.isEmpty()) {
        QVERIFY2(!split, qPrintable(split ? split->program : QString()));
        return;
    }
    QVERIFY(split);
    QCOMPARE(split->program, expand(program));
    QCOMPARE(split->arguments, arguments);
}

QTEST_GUILESS_MAIN(tst_CmdSplit)
#include "tst_cmdsplit.moc"
