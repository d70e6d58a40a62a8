// SPDX-License-Identifier: GPL-3.0-or-later
// The text logic of a run: which preset the buttons choose, the MP3 name of a row or why it gets none,
// whether the parameters ask for raw samples, and how a command line splits into a program and its
// arguments, against real files.
#include "batch/commandline.h"
#include "batch/mainview.h"
#include "platform/process.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

static const QString kBinName = QStringLiteral("purlwave-split-enc");

using namespace batch;

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(PresetButtons)

class TestCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString expand(QString text) const { return text.replace("{d}", m_dir.path()); }

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
                f.setPermissions(name == "plain" ? QFile::ReadOwner : QFile::ReadOwner | QFile::ExeOwner));
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

    // Each button that reads on gives its preset, in the order of the buttons: the last one is used.
    void presetsFollowTheButtonsOn_data()
    {
        QTest::addColumn<PresetButtons>("buttons");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("params"); // of the last, as they go into the command line
        QTest::newRow("no button on gives none") << PresetButtons{} << QStringList{} << QString();
        QTest::newRow("VBR") << PresetButtons{.optVar = true} << QStringList{"2"}
                             << u" -V 1 -b 128 -h -m j -q1 "_s;
        QTest::newRow("all on: custom last, its text framed by blanks")
            << PresetButtons{true, true, true, true} << QStringList{"1", "2", "3", "4"} << u"  -q 2 "_s;
    }
    void presetsFollowTheButtonsOn()
    {
        QFETCH(PresetButtons, buttons);
        QFETCH(QStringList, codes);
        QFETCH(QString, params);
        QStringList codesOn;
        const std::optional<EncodePreset> chosen = ChooseEncodePreset(
            buttons.opt128, buttons.optVar, buttons.Opt256, buttons.optCustom, " -q 2",
            [&](const EncodePreset &preset) { codesOn << preset.code; });
        QCOMPARE(codesOn, codes);
        QCOMPARE(chosen ? chosen->strParams : QString(), params);
        QCOMPARE(chosen ? chosen->code : QString(), codes.value(codes.size() - 1));
    }

    // Raw samples are asked for by -r among short options only: not by the value of one, nor by a long one.
    void rawInputFollowsTheShortOptionR_data()
    {
        QTest::addColumn<QString>("params");
        QTest::addColumn<bool>("raw");
        QTest::newRow("-r first in a cluster, after a tab and a -V without its number")
            << u" -V\t-rh "_s << true;
        QTest::newRow("-mr, -X with -r as its argument, and long options with an r, one line")
            << u" -mr -X -r --preset medium --resample 22.05 --replaygain-fast "_s << false;
    }
    void rawInputFollowsTheShortOptionR()
    {
        QFETCH(QString, params);
        QFETCH(bool, raw);
        QCOMPARE(asksForRawInput(params), raw);
    }

    void rowIsNamedOrRefused_data()
    {
        QTest::addColumn<QString>("outBox");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("path");    // of the MP3 file; empty when the row is refused
        QTest::addColumn<QString>("message"); // why the row is refused
        QTest::newRow("into a folder") << u"/out"_s << u"/music/a.wav"_s << u"/out/a.mp3"_s << QString();
        QTest::newRow("a folder ending in a separator keeps one")
            << u"/out/"_s << u"/music/a.wav"_s << u"/out/a.mp3"_s << QString();
        QTest::newRow("the letters wav without a dot lose four characters")
            << QString() << u"/music/xwav"_s << u"/music/.mp3"_s << QString();
        QTest::newRow("an empty box puts it beside the source, in the root too")
            << QString() << u"/Song.WAV"_s << u"/Song.mp3"_s << QString();
        QTest::newRow("beside the source, the whole row is tested: refused")
            << QString() << u"/m/av"_s << QString() << u"/AV is not a valid extension."_s;
        QTest::newRow("a two-character name into a folder: refused")
            << u"/out"_s << u"/m/av"_s << QString() << u"AV is not a valid extension."_s;
        QTest::newRow("no separator: refused")
            << QString() << u"a.wav"_s << QString() << u"Not a full path to a file: a.wav"_s;
        QTest::newRow("only wav: refused") << QString() << u"/m/wav"_s << QString()
                                           << u"The file name wav has nothing before its extension."_s;
        QTest::newRow("a double quote in the file name: refused")
            << u"/out"_s << u"/m/a\" --preset insane \".wav"_s << QString()
            << u"A path with a double quote cannot be passed to the encoder: /m/a\" --preset insane \".wav"_s;
        QTest::newRow("a double quote in the output folder: refused")
            << u"/o\"ut"_s << u"/music/a.wav"_s << QString()
            << u"An output folder with a double quote cannot be passed to the encoder: /o\"ut/"_s;
        QTest::newRow("a zero character, which would cut the name short: refused")
            << QString() << u"/m/notes.txt"_s + QChar(0) + u".wav"_s << QString()
            << u"A path with a zero character cannot be passed to the encoder: /m/notes.txt\\0.wav"_s;
    }
    void rowIsNamedOrRefused()
    {
        QFETCH(QString, outBox);
        QFETCH(QString, row);
        QFETCH(QString, path);
        QFETCH(QString, message);
        const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
        QCOMPARE(naming.refusal ? naming.refusal->message : QString(), message);
        QCOMPARE(naming.strMp3Path, path); // a refused row has no name to leak into a command line
        QCOMPARE(naming.strMp3Name, path.section('/', -1));
    }
};

void TestCommandLine::splitsIntoProgramAndArguments_data()
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
    QTest::newRow("2n backslashes, quote: n; 2n+1: n, quote; \"\" inside quotes: a quote; lone ones stay")
        << R"({d}/enc x\\\\"y z" a\\\"b c "a""b c" "" d a\b c\\d e\)" << enc
        << QStringList{"x\\\\y z", "a\\\"b", "c", R"(a"b c)", "", "d", "a\\b", "c\\\\d", "e\\"};
    QTest::newRow("file without execute permission") << R"({d}/plain -h "a")"
                                                     << "" << none;
    QTest::newRow("quoted program has no shorter fallback") << R"("{d}/Program Files/missing" -h)"
                                                            << "" << none;
    // The current folder holds "enc", but a bare name is looked up on PATH only.
    QTest::newRow("bare name in the current folder only") << "enc -h"
                                                          << "" << none;
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
