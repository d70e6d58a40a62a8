#include "batch/commandline.h"

#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void presetChoiceTakesLastButtonOn_data()
    {
        // buttons: opt128, optVar, Opt256, optCustom; code "" means none chosen.
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QString>("params");
        QTest::addColumn<QString>("code");
        QTest::newRow("no button on chooses nothing") << "0000" << "" << "";
        QTest::newRow("128 kbps") << "1000" << " -h " << "1";
        QTest::newRow("VBR") << "0100" << " -V 1 -b 128 -h -m j -q1 " << "2";
        QTest::newRow("256 kbps") << "0010" << " -b 256 -h " << "3";
        QTest::newRow("custom text framed by blanks, not trimmed") << "0001" << "  -q 2 " << "4";
        QTest::newRow("128 and custom both on: custom wins") << "1001" << "  -q 2 " << "4";
    }
    void presetChoiceTakesLastButtonOn()
    {
        QFETCH(QString, buttons);
        QFETCH(QString, params);
        QFETCH(QString, code);
        auto on = [&](int i) { return buttons[i] == u'1'; };
        const std::optional<EncodePreset> preset = ChooseEncodePreset(on(0), on(1), on(2), on(3), " -q 2");
        QCOMPARE(preset ? preset->code : QString(), code);
        QCOMPARE(preset ? preset->strParams : QString(), params);
    }

    void rowIsNamedOrRefused_data()
    {
        // "name | path" for a row that is named; "refusal [tested characters]" for one that is not.
        QTest::addColumn<QString>("outBox");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("result");
        QTest::newRow("empty box: beside the source") << "" << "/music/Song.WAV" << "Song.mp3 | /music/Song.mp3";
        QTest::newRow("lone separator: beside the source") << "/" << "/music/a.Wav" << "a.mp3 | /music/a.mp3";
        QTest::newRow("into a folder") << "/out" << "/music/a.wav" << "a.mp3 | /out/a.mp3";
        QTest::newRow("folder with separator keeps one") << "/out/" << "/music/a.wav" << "a.mp3 | /out/a.mp3";
        QTest::newRow("relative folder and blanks taken as they are") << " out " << "/m/a.wav" << "a.mp3 |  out /a.mp3";
        QTest::newRow("letters wav without a dot lose four characters") << "" << "/music/xwav" << ".mp3 | /music/.mp3";
        QTest::newRow("file in the root folder") << "" << "/a.wav" << "a.mp3 | /a.mp3";
        QTest::newRow("characters, not bytes, are counted") << "/out" << "/m\u00fas/\U0001F3B5\u00d1.wav"
                                                            << "\U0001F3B5\u00d1.mp3 | /out/\U0001F3B5\u00d1.mp3";

        QTest::newRow("mp3 into a folder") << "/out" << "/music/a.mp3" << "MP3 is not a valid extension. [MP3]";
        QTest::newRow("beside the source the whole row is tested first")
            << "" << "/music/av" << "/AV is not a valid extension. [/AV]";
        QTest::newRow("two-character name into a folder") << "/out" << "/music/av" << "AV is not a valid extension. [AV]";
        QTest::newRow("empty row beside the source") << "" << "" << " is not a valid extension. []";
        QTest::newRow("no separator") << "" << "a.wav" << "Not a full path to a file: a.wav []";
        QTest::newRow("file named only wav") << "" << "/music/wav"
                                             << "The file name wav has nothing before its extension. []";
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
