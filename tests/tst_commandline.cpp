#include "batch/commandline.h"

#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void presetChoiceTakesLastButtonOn_data()
    {
        // buttons: opt128, optVar, Opt256, optCustom; code "" means none chosen.
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QString>("params");
        QTest::addColumn<QString>("code");
        QTest::newRow("no button on chooses nothing") << "0000" << "-x" << "" << "";
        QTest::newRow("128 kbps") << "1000" << "" << " -h " << "1";
        QTest::newRow("VBR") << "0100" << "" << " -V 1 -b 128 -h -m j -q1 " << "2";
        QTest::newRow("256 kbps") << "0010" << "" << " -b 256 -h " << "3";
        QTest::newRow("custom text framed by blanks, not trimmed") << "0001" << " -q 2" << "  -q 2 " << "4";
        QTest::newRow("empty custom box gives two blanks") << "0001" << "" << "  " << "4";
        QTest::newRow("128 and custom both on: custom wins") << "1001" << "-a" << " -a " << "4";
        QTest::newRow("VBR and 256 both on: 256 wins") << "0110" << "" << " -b 256 -h " << "3";
    }
    void presetChoiceTakesLastButtonOn()
    {
        QFETCH(QString, buttons);
        QFETCH(QString, custom);
        QFETCH(QString, params);
        QFETCH(QString, code);
        auto on = [&](int i) { return buttons[i] == u'1'; };
        const std::optional<EncodePreset> preset = ChooseEncodePreset(on(0), on(1), on(2), on(3), custom);
        QCOMPARE(preset ? preset->code : QString(), code);
        QCOMPARE(preset ? preset->strParams : QString(), params);
    }

    void outFolderEndsInOneSeparator_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("normalised");
        QTest::newRow("empty box means beside the source") << "" << "/";
        QTest::newRow("lone separator stays") << "/" << "/";
        QTest::newRow("folder gets a separator") << "/out" << "/out/";
        QTest::newRow("folder with separator keeps one") << "/out/" << "/out/";
        QTest::newRow("relative folder and blanks are taken as they are") << " out " << " out /";
    }
    void outFolderEndsInOneSeparator()
    {
        QFETCH(QString, folder);
        QFETCH(QString, normalised);
        QCOMPARE(NormalizeOutFolder(folder), normalised);
    }

    void rowIsNamedOrRefused_data()
    {
        // A refused row has no name and path; its refusal names the tested
        // characters for a wrong extension.
        QTest::addColumn<QString>("outBox");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("mp3Name");
        QTest::addColumn<QString>("mp3Path");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("characters");

        QTest::newRow("empty box: beside the source") << "" << "/music/Song.WAV" << "Song.mp3" << "/music/Song.mp3" << "" << "";
        QTest::newRow("lone separator: beside the source") << "/" << "/music/a.Wav" << "a.mp3" << "/music/a.mp3" << "" << "";
        QTest::newRow("into a folder") << "/out" << "/music/a.wav" << "a.mp3" << "/out/a.mp3" << "" << "";
        QTest::newRow("letters wav without a dot lose four characters") << "" << "/music/xwav" << ".mp3" << "/music/.mp3" << "" << "";
        QTest::newRow("doubled leading separator") << "/out" << "//server/share/a.wav" << "a.mp3" << "/out/a.mp3" << "" << "";
        QTest::newRow("file in the root folder") << "" << "/a.wav" << "a.mp3" << "/a.mp3" << "" << "";
        QTest::newRow("characters, not bytes, are counted")
            << "/out" << QString::fromUtf8("/m\u00fas/\U0001F3B5\u00d1.wav") << QString::fromUtf8("\U0001F3B5\u00d1.mp3")
            << QString::fromUtf8("/out/\U0001F3B5\u00d1.mp3") << "" << "";

        QTest::newRow("mp3 into a folder") << "/out" << "/music/a.mp3" << "" << "" << "MP3 is not a valid extension." << "MP3";
        QTest::newRow("wave extension") << "/out" << "/music/a.wave" << "" << "" << "AVE is not a valid extension." << "AVE";
        QTest::newRow("beside the source the whole row is tested first")
            << "" << "/music/av" << "" << "" << "/AV is not a valid extension." << "/AV";
        QTest::newRow("two-character name into a folder") << "/out" << "/music/av" << "" << "" << "AV is not a valid extension." << "AV";
        QTest::newRow("row ending in a separator") << "/out" << "/music/" << "" << "" << " is not a valid extension." << "";
        QTest::newRow("empty row beside the source") << "" << "" << "" << "" << " is not a valid extension." << "";
        QTest::newRow("no separator into a folder") << "/out" << "" << "" << "" << "Not a full path to a file: " << "";
        QTest::newRow("no separator beside the source") << "" << "a.wav" << "" << "" << "Not a full path to a file: a.wav" << "";
        QTest::newRow("file named only wav") << "" << "/music/wav" << "" << ""
                                             << "The file name wav has nothing before its extension." << "";
        QTest::newRow("file named only WaV, into a folder") << "/out" << "/music/WaV" << "" << ""
                                                            << "The file name WaV has nothing before its extension." << "";
        QTest::newRow("double quote in the file name")
            << "/out" << "/m/a\" --preset insane \".wav" << "" << ""
            << "A path with a double quote cannot be passed to the encoder: /m/a\" --preset insane \".wav" << "";
        QTest::newRow("double quote in the source folder") << "" << "/m\"/a.wav" << "" << ""
                                                           << "A path with a double quote cannot be passed to the encoder: /m\"/a.wav" << "";
        QTest::newRow("double quote in the output folder")
            << "/o\"ut" << "/music/a.wav" << "" << ""
            << "An output folder with a double quote cannot be passed to the encoder: /o\"ut/" << "";
    }
    void rowIsNamedOrRefused()
    {
        QFETCH(QString, outBox);
        QFETCH(QString, row);
        QFETCH(QString, mp3Name);
        QFETCH(QString, mp3Path);
        QFETCH(QString, refusal);
        QFETCH(QString, characters);
        const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
        QCOMPARE(naming.refusal ? naming.refusal->message : QString(), refusal);
        QCOMPARE(naming.refusal ? naming.refusal->characters : QString(), characters);
        QCOMPARE(naming.strMp3Name, mp3Name);
        QCOMPARE(naming.strMp3Path, mp3Path);
    }

    void commandLineJoinsPiecesWithTheirBlanks_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("command");
        QTest::newRow("128 kbps: two blanks before the input path") << "/enc/lame" + QString(kParam128)
                                                                    << "/enc/lame -h  \"/w/a b.wav\" \"/m/a b.mp3\"";
        QTest::newRow("empty custom box: three blanks after the encoder")
            << "/enc/lame" + MakeEncodePreset(EncodePreset::Kind::Custom, "").strParams
            << "/enc/lame   \"/w/a b.wav\" \"/m/a b.mp3\"";
        QTest::newRow("no parameters yet: one blank") << "/enc/lame" << "/enc/lame \"/w/a b.wav\" \"/m/a b.mp3\"";
        QTest::newRow("encoder path with blanks stays unquoted") << "/opt/My Tools/lame" + QString(kParam256)
                                                                 << "/opt/My Tools/lame -b 256 -h  \"/w/a b.wav\" \"/m/a b.mp3\"";
    }
    void commandLineJoinsPiecesWithTheirBlanks()
    {
        QFETCH(QString, base);
        QFETCH(QString, command);
        QCOMPARE(BuildCommandLine(base, "/w/a b.wav", "/m/a b.mp3"), command);
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
