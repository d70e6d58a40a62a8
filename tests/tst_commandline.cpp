// SPDX-License-Identifier: GPL-3.0-or-later
// The text logic of a run: which preset the buttons choose, and the MP3 name of a row or why it gets none.
#include "batch/commandline.h"
#include "batch/mainview.h"

#include <QTest>

using namespace batch;

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(PresetButtons)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    // Each button that reads on gives its preset, in the order of the buttons: the last one is used.
    void presetsFollowTheButtonsOn_data()
    {
        QTest::addColumn<PresetButtons>("buttons");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("params"); // of the last, as they go into the command line
        QTest::newRow("no button on gives none") << PresetButtons{} << QStringList{} << QString();
        QTest::newRow("128 kbps") << PresetButtons{.opt128 = true} << QStringList{"1"} << u" -h "_s;
        QTest::newRow("VBR") << PresetButtons{.optVar = true} << QStringList{"2"}
                             << u" -V 1 -b 128 -h -m j -q1 "_s;
        QTest::newRow("256 kbps") << PresetButtons{.Opt256 = true} << QStringList{"3"} << u" -b 256 -h "_s;
        QTest::newRow("all on: custom last, its text framed by blanks")
            << PresetButtons{true, true, true, true} << QStringList{"1", "2", "3", "4"} << u"  -q 2 "_s;
    }
    void presetsFollowTheButtonsOn()
    {
        QFETCH(PresetButtons, buttons);
        QFETCH(QStringList, codes);
        QFETCH(QString, params);
        const QList<EncodePreset> presets = PresetsReadingOn(buttons.opt128, buttons.optVar, buttons.Opt256,
                                                             buttons.optCustom, " -q 2");
        QStringList codesOn;
        for (const EncodePreset &preset : presets)
            codesOn << preset.code;
        QCOMPARE(codesOn, codes);
        QCOMPARE(presets.isEmpty() ? QString() : presets.last().strParams, params);
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
        QTest::newRow("a relative folder and blanks are taken as they are")
            << u" out "_s << u"/m/a.wav"_s << u" out /a.mp3"_s << QString();
        QTest::newRow("the letters wav without a dot lose four characters")
            << QString() << u"/music/xwav"_s << u"/music/.mp3"_s << QString();
        QTest::newRow("an empty box puts it beside the source, in the root too")
            << QString() << u"/Song.WAV"_s << u"/Song.mp3"_s << QString();
        QTest::newRow("characters, not bytes, are counted")
            << u"/o"_s << u"/m\u00fas/\U0001F3B5\u00d1.wav"_s << u"/o/\U0001F3B5\u00d1.mp3"_s << QString();
        QTest::newRow("beside the source, the whole row is tested: refused")
            << QString() << u"/m/av"_s << QString() << u"/AV is not a valid extension."_s;
        QTest::newRow("a two-character name into a folder: refused")
            << u"/out"_s << u"/m/av"_s << QString() << u"AV is not a valid extension."_s;
        QTest::newRow("an empty row beside the source: refused")
            << QString() << QString() << QString() << u" is not a valid extension."_s;
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
        QTest::newRow("a zero character in the output folder: refused")
            << u"/o/notes.txt"_s + QChar(0) << u"/m/a.wav"_s << QString()
            << u"A path with a zero character cannot be passed to the encoder: /o/notes.txt\\0/"_s;
    }
    void rowIsNamedOrRefused()
    {
        QFETCH(QString, outBox);
        QFETCH(QString, row);
        QFETCH(QString, path);
        QFETCH(QString, message);
        const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
        QCOMPARE(naming.refusal ? naming.refusal->message : QString(), message);
        // A refused row has no name to leak into a command line.
        QCOMPARE(naming.strMp3Path, path);
        QCOMPARE(naming.strMp3Name, path.section('/', -1));
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
