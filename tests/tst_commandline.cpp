#include "batch/commandline.h"

#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void presetChoiceTakesLastButtonOn_data()
    {
        QTest::addColumn<QString>("buttons"); // opt128, optVar, Opt256, optCustom
        QTest::addColumn<QString>("chosen"); // "code | parameters"; empty when none is chosen
        QTest::newRow("no button on chooses nothing") << "0000" << "";
        QTest::newRow("128 kbps") << "1000" << "1 |  -h ";
        QTest::newRow("VBR") << "0100" << "2 |  -V 1 -b 128 -h -m j -q1 ";
        QTest::newRow("256 kbps") << "0010" << "3 |  -b 256 -h ";
        QTest::newRow("128 and custom on: custom wins, its text framed by blanks") << "1001" << "4 |   -q 2 ";
    }
    void presetChoiceTakesLastButtonOn()
    {
        QFETCH(QString, buttons);
        QFETCH(QString, chosen);
        auto on = [&](int i) { return buttons[i] == u'1'; };
        const std::optional<EncodePreset> preset = ChooseEncodePreset(on(0), on(1), on(2), on(3), " -q 2");
        QCOMPARE(preset ? preset->code + " | " + preset->strParams : QString(), chosen);
    }

    void rowIsNamedOrRefused_data()
    {
        QTest::addColumn<QString>("outBox");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("result"); // "name | path", or "refusal [tested characters]"
        QTest::newRow("into a folder") << "/out" << "/music/a.wav" << "a.mp3 | /out/a.mp3";
        QTest::newRow("folder with separator keeps one") << "/out/" << "/music/a.wav" << "a.mp3 | /out/a.mp3";
        QTest::newRow("relative folder and blanks taken as they are") << " out " << "/m/a.wav" << "a.mp3 |  out /a.mp3";
        QTest::newRow("letters wav without a dot lose four characters") << "" << "/music/xwav" << ".mp3 | /music/.mp3";
        QTest::newRow("empty box: beside the source, in the root") << "" << "/Song.WAV" << "Song.mp3 | /Song.mp3";
        QTest::newRow("characters, not bytes, are counted")
            << "/o" << "/m\u00fas/\U0001F3B5\u00d1.wav" << "\U0001F3B5\u00d1.mp3 | /o/\U0001F3B5\u00d1.mp3";
        QTest::newRow("beside the source the whole row is tested")
            << "" << "/m/av" << "/AV is not a valid extension. [/AV]";
        QTest::newRow("two-character name into a folder") << "/out" << "/m/av" << "AV is not a valid extension. [AV]";
        QTest::newRow("empty row beside the source") << "" << "" << " is not a valid extension. []";
        QTest::newRow("no separator") << "" << "a.wav" << "Not a full path to a file: a.wav []";
        QTest::newRow("only wav") << "" << "/m/wav" << "The file name wav has nothing before its extension. []";
        QTest::newRow("double quote in the file name") << "/out" << "/m/a\" --preset insane \".wav"
            << "A path with a double quote cannot be passed to the encoder: /m/a\" --preset insane \".wav []";
        QTest::newRow("double quote in the output folder") << "/o\"ut" << "/music/a.wav"
            << "An output folder with a double quote cannot be passed to the encoder: /o\"ut/ []";
    }
    void rowIsNamedOrRefused()
    {
        QFETCH(QString, outBox);
        QFETCH(QString, row);
        QFETCH(QString, result);
        const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
        QVERIFY(!naming.refusal || (naming.strMp3Name.isEmpty() && naming.strMp3Path.isEmpty()));
        QCOMPARE(naming.refusal ? naming.refusal->message + " [" + naming.refusal->characters + "]"
                                : naming.strMp3Name + " | " + naming.strMp3Path,
                 result);
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
