// The text logic of a run: which preset the buttons choose, and the MP3 name of a row or why it gets none.
#include "batch/commandline.h"
#include "batch/mainview.h"

#include <QTest>

using namespace batch;

using namespace Qt::StringLiterals;
using Reason = Mp3NameRefusal::Reason;

Q_DECLARE_METATYPE(PresetButtons)
Q_DECLARE_METATYPE(Mp3NameRefusal::Reason)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void presetChoiceTakesLastButtonOn_data()
    {
        QTest::addColumn<PresetButtons>("buttons");
        QTest::addColumn<QString>("code");   // empty when none is chosen
        QTest::addColumn<QString>("params"); // as they go into the command line

        QTest::newRow("no button on chooses nothing") << PresetButtons{} << QString() << QString();
        QTest::newRow("128 kbps") << PresetButtons{.opt128 = true} << u"1"_s << u" -h "_s;
        QTest::newRow("VBR") << PresetButtons{.optVar = true} << u"2"_s << u" -V 1 -b 128 -h -m j -q1 "_s;
        QTest::newRow("256 kbps") << PresetButtons{.Opt256 = true} << u"3"_s << u" -b 256 -h "_s;
        QTest::newRow("128 and custom on: custom wins, its text framed by blanks")
            << PresetButtons{.opt128 = true, .optCustom = true} << u"4"_s << u"  -q 2 "_s;
    }

    void presetChoiceTakesLastButtonOn()
    {
        QFETCH(PresetButtons, buttons);
        QFETCH(QString, code);
        QFETCH(QString, params);
        const std::optional<EncodePreset> preset = ChooseEncodePreset(
            buttons.opt128, buttons.optVar, buttons.Opt256, buttons.optCustom, " -q 2");
        QCOMPARE(preset ? preset->code : QString(), code);
        QCOMPARE(preset ? preset->strParams : QString(), params);
    }

    void rowIsNamed_data()
    {
        QTest::addColumn<QString>("outBox");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");

        QTest::newRow("into a folder") << u"/out"_s << u"/music/a.wav"_s << u"a.mp3"_s << u"/out/a.mp3"_s;
        QTest::newRow("a folder ending in a separator keeps one")
            << u"/out/"_s << u"/music/a.wav"_s << u"a.mp3"_s << u"/out/a.mp3"_s;
        QTest::newRow("a relative folder and blanks are taken as they are")
            << u" out "_s << u"/m/a.wav"_s << u"a.mp3"_s << u" out /a.mp3"_s;
        QTest::newRow("the letters wav without a dot lose four characters")
            << QString() << u"/music/xwav"_s << u".mp3"_s << u"/music/.mp3"_s;
        QTest::newRow("an empty box puts it beside the source, in the root too")
            << QString() << u"/Song.WAV"_s << u"Song.mp3"_s << u"/Song.mp3"_s;
        QTest::newRow("characters, not bytes, are counted")
            << u"/o"_s << u"/m\u00fas/\U0001F3B5\u00d1.wav"_s << u"\U0001F3B5\u00d1.mp3"_s
            << u"/o/\U0001F3B5\u00d1.mp3"_s;
    }

    void rowIsNamed()
    {
        QFETCH(QString, outBox);
        QFETCH(QString, row);
        QFETCH(QString, name);
        QFETCH(QString, path);
        const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
        QVERIFY2(!naming.refusal, qPrintable(naming.refusal ? naming.refusal->message : QString()));
        QCOMPARE(naming.strMp3Name, name);
        QCOMPARE(naming.strMp3Path, path);
    }

    void rowIsRefused_data()
    {
        QTest::addColumn<QString>("outBox");
        QTest::addColumn<QString>("row");
        QTest::addColumn<Reason>("reason");
        QTest::addColumn<QString>("characters"); // the tested ones, for a refused extension
        QTest::addColumn<QString>("message");

        QTest::newRow("beside the source, the whole row is tested")
            << QString() << u"/m/av"_s << Reason::Extension << u"/AV"_s << u"/AV is not a valid extension."_s;
        QTest::newRow("a two-character name into a folder")
            << u"/out"_s << u"/m/av"_s << Reason::Extension << u"AV"_s << u"AV is not a valid extension."_s;
        QTest::newRow("an empty row beside the source")
            << QString() << QString() << Reason::Extension << QString() << u" is not a valid extension."_s;
        QTest::newRow("no separator") << QString() << u"a.wav"_s << Reason::NoSeparator << QString()
                                      << u"Not a full path to a file: a.wav"_s;
        QTest::newRow("only wav") << QString() << u"/m/wav"_s << Reason::NameIsOnlyWav << QString()
                                  << u"The file name wav has nothing before its extension."_s;
        QTest::newRow("a double quote in the file name")
            << u"/out"_s << u"/m/a\" --preset insane \".wav"_s << Reason::QuoteInPath << QString()
            << u"A path with a double quote cannot be passed to the encoder: /m/a\" --preset insane \".wav"_s;
        QTest::newRow("a double quote in the output folder")
            << u"/o\"ut"_s << u"/music/a.wav"_s << Reason::QuoteInPath << QString()
            << u"An output folder with a double quote cannot be passed to the encoder: /o\"ut/"_s;
    }

    void rowIsRefused()
    {
        QFETCH(QString, outBox);
        QFETCH(QString, row);
        QFETCH(Reason, reason);
        QFETCH(QString, characters);
        QFETCH(QString, message);
        const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
        QVERIFY(naming.refusal);
        QCOMPARE(naming.refusal->reason, reason);
        QCOMPARE(naming.refusal->characters, characters);
        QCOMPARE(naming.refusal->message, message);
        // A refused row has no name to leak into a command line.
        QVERIFY(naming.strMp3Name.isEmpty() && naming.strMp3Path.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"

