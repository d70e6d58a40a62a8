#include "batch/commandline.h"

#include <QTest>

Q_DECLARE_METATYPE(Mp3NameRefusal::Reason)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void presetChoiceTakesLastButtonOn_data();
    void presetChoiceTakesLastButtonOn();
    void everyButtonOnIsListedInTestOrder();
    void outFolderEndsInOneSeparator_data();
    void outFolderEndsInOneSeparator();
    void acceptedRowGetsMp3NameAndPath_data();
    void acceptedRowGetsMp3NameAndPath();
    void unusableRowIsRefused_data();
    void unusableRowIsRefused();
    void commandLineJoinsPiecesWithTheirBlanks_data();
    void commandLineJoinsPiecesWithTheirBlanks();
};

void TestCommandLine::presetChoiceTakesLastButtonOn_data()
{
    QTest::addColumn<bool>("opt128");
    QTest::addColumn<bool>("optVar");
    QTest::addColumn<bool>("Opt256");
    QTest::addColumn<bool>("optCustom");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<QString>("params");
    QTest::addColumn<QString>("code");

    QTest::newRow("no button on chooses nothing") << false << false << false << false << "-x" << false << "" << "";
    QTest::newRow("128 kbps") << true << false << false << false << "" << true << " -h " << "1";
    QTest::newRow("VBR") << false << true << false << false << "" << true << " -V 1 -b 128 -h -m j -q1 " << "2";
    QTest::newRow("256 kbps") << false << false << true << false << "" << true << " -b 256 -h " << "3";
    QTest::newRow("custom text framed by blanks") << false << false << false << true << "-b 64" << true << " -b 64 " << "4";
    QTest::newRow("custom text is not trimmed") << false << false << false << true << "  -q 2 " << true << "   -q 2  " << "4";
    QTest::newRow("empty custom box gives two blanks") << false << false << false << true << "" << true << "  " << "4";
    QTest::newRow("128 and custom both on: custom wins") << true << false << false << true << "-a" << true << " -a " << "4";
    QTest::newRow("VBR and 256 both on: 256 wins") << false << true << true << false << "" << true << " -b 256 -h " << "3";
}

void TestCommandLine::presetChoiceTakesLastButtonOn()
{
    QFETCH(bool, opt128);
    QFETCH(bool, optVar);
    QFETCH(bool, Opt256);
    QFETCH(bool, optCustom);
    QFETCH(QString, custom);
    QFETCH(bool, chosen);
    QFETCH(QString, params);
    QFETCH(QString, code);

    const std::optional<EncodePreset> preset = ChooseEncodePreset(opt128, optVar, Opt256, optCustom, custom);
    QCOMPARE(preset.has_value(), chosen);
    if (preset) {
        QCOMPARE(preset->strParams, params);
        QCOMPARE(preset->code, code);
    }
}

void TestCommandLine::everyButtonOnIsListedInTestOrder()
{
    const QList<EncodePreset> on = PresetsReadingOn(true, true, true, true, QStringLiteral("c"));
    QStringList codes;
    for (const EncodePreset &p : on)
        codes << p.code;
    QCOMPARE(codes, QStringList({"1", "2", "3", "4"}));
}

void TestCommandLine::outFolderEndsInOneSeparator_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("normalised");

    QTest::newRow("empty box means beside the source") << "" << "/";
    QTest::newRow("lone separator stays") << "/" << "/";
    QTest::newRow("folder gets a separator") << "/out" << "/out/";
    QTest::newRow("folder with separator keeps one") << "/out/" << "/out/";
    QTest::newRow("blank is taken as it is") << " " << " /";
    QTest::newRow("relative folder is taken as it is") << "out" << "out/";
    QTest::newRow("backslash is no separator here") << "out\\" << "out\\/";
}

void TestCommandLine::outFolderEndsInOneSeparator()
{
    QFETCH(QString, folder);
    QFETCH(QString, normalised);
    QCOMPARE(NormalizeOutFolder(folder), normalised);
}

void TestCommandLine::acceptedRowGetsMp3NameAndPath_data()
{
    QTest::addColumn<QString>("outBox");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("mp3Name");
    QTest::addColumn<QString>("mp3Path");

    QTest::newRow("empty box: beside the source, upper-case WAV")
        << "" << "/music/Song.WAV" << "Song.mp3" << "/music/Song.mp3";
    QTest::newRow("box holding only a separator: beside the source")
        << "/" << "/music/Song.WAV" << "Song.mp3" << "/music/Song.mp3";
    QTest::newRow("folder without separator")
        << "/out" << "/music/a.wav" << "a.mp3" << "/out/a.mp3";
    QTest::newRow("folder with separator gets no second one")
        << "/out/" << "/music/a.wav" << "a.mp3" << "/out/a.mp3";
    QTest::newRow("mixed-case extension") << "" << "/music/b.Wav" << "b.mp3" << "/music/b.mp3";
    QTest::newRow("letters wav without a dot lose four characters")
        << "" << "/music/xwav" << ".mp3" << "/music/.mp3";
    QTest::newRow("letters wav without a dot, into a folder")
        << "/out" << "/music/xwav" << ".mp3" << "/out/.mp3";
    QTest::newRow("doubled leading separator") << "/out" << "//server/share/a.wav" << "a.mp3" << "/out/a.mp3";
    QTest::newRow("file in the root folder") << "" << "/a.wav" << "a.mp3" << "/a.mp3";
    QTest::newRow("blanks in folder and name")
        << "/my out" << "/my music/a b.wav" << "a b.mp3" << "/my out/a b.mp3";
    QTest::newRow("characters, not bytes, are counted")
        << "" << QString::fromUtf8("/m\u00fasica/\u00d1and\u00fa.wav")
        << QString::fromUtf8("\u00d1and\u00fa.mp3") << QString::fromUtf8("/m\u00fasica/\u00d1and\u00fa.mp3");
    QTest::newRow("character outside the basic plane in the name")
        << "/out" << QString::fromUtf8("/m/\U0001F3B5.wav") << QString::fromUtf8("\U0001F3B5.mp3")
        << QString::fromUtf8("/out/\U0001F3B5.mp3");
}

void TestCommandLine::acceptedRowGetsMp3NameAndPath()
{
    QFETCH(QString, outBox);
    QFETCH(QString, row);
    QFETCH(QString, mp3Name);
    QFETCH(QString, mp3Path);

    const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
    QVERIFY2(!naming.refused(), qPrintable(naming.refusal ? naming.refusal->message : QString()));
    QCOMPARE(naming.strMp3Name, mp3Name);
    QCOMPARE(naming.strMp3Path, mp3Path);
}

void TestCommandLine::unusableRowIsRefused_data()
{
    using R = Mp3NameRefusal::Reason;
    QTest::addColumn<QString>("outBox");
    QTest::addColumn<QString>("row");
    QTest::addColumn<R>("reason");
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QString>("message");

    QTest::newRow("mp3 into a folder") << "/out" << "/music/a.mp3" << R::Extension << "MP3"
                                       << "MP3 is not a valid extension.";
    QTest::newRow("wave extension") << "/out" << "/music/a.wave" << R::Extension << "AVE"
                                    << "AVE is not a valid extension.";
    QTest::newRow("mp3 beside the source") << "" << "/music/a.mp3" << R::Extension << "MP3"
                                           << "MP3 is not a valid extension.";
    QTest::newRow("beside the source tests the whole row, separator included")
        << "" << "/music/av" << R::Extension << "/AV" << "/AV is not a valid extension.";
    QTest::newRow("two-character name into a folder") << "/out" << "/music/av" << R::Extension << "AV"
                                                      << "AV is not a valid extension.";
    QTest::newRow("row ending in a separator, into a folder")
        << "/out" << "/music/" << R::Extension << "" << " is not a valid extension.";
    QTest::newRow("row ending in a separator, beside the source")
        << "" << "/music/" << R::Extension << "IC/" << "IC/ is not a valid extension.";
    QTest::newRow("empty row beside the source") << "" << "" << R::Extension << ""
                                                 << " is not a valid extension.";
    QTest::newRow("empty row into a folder") << "/out" << "" << R::NoSeparator << ""
                                             << "Not a full path to a file: ";
    QTest::newRow("bare file name beside the source")
        << "" << "a.wav" << R::NoSeparator << "" << "Not a full path to a file: a.wav";
    QTest::newRow("bare letters wav into a folder")
        << "/out" << "wav" << R::NoSeparator << "" << "Not a full path to a file: wav";
    QTest::newRow("file named only wav") << "" << "/music/wav" << R::NameIsOnlyWav << ""
                                         << "The file name wav has nothing before its extension.";
    QTest::newRow("file named only WaV, into a folder")
        << "/out" << "/music/WaV" << R::NameIsOnlyWav << ""
        << "The file name WaV has nothing before its extension.";
    QTest::newRow("double quote in the file name")
        << "/out" << "/music/a\" --preset insane \".wav" << R::QuoteInPath << ""
        << "A path with a double quote cannot be passed to the encoder: /music/a\" --preset insane \".wav";
    QTest::newRow("double quote in the source folder, beside the source")
        << "" << "/mu\"sic/a.wav" << R::QuoteInPath << ""
        << "A path with a double quote cannot be passed to the encoder: /mu\"sic/a.wav";
    QTest::newRow("double quote in the output folder")
        << "/o\"ut" << "/music/a.wav" << R::QuoteInPath << ""
        << "An output folder with a double quote cannot be passed to the encoder: /o\"ut/";
}

void TestCommandLine::unusableRowIsRefused()
{
    QFETCH(QString, outBox);
    QFETCH(QString, row);
    QFETCH(Mp3NameRefusal::Reason, reason);
    QFETCH(QString, characters);
    QFETCH(QString, message);

    const Mp3Naming naming = MakeMp3Name(row, NormalizeOutFolder(outBox));
    QVERIFY(naming.refused());
    QCOMPARE(naming.refusal->reason, reason);
    QCOMPARE(naming.refusal->characters, characters);
    QCOMPARE(naming.refusal->message, message);
}

void TestCommandLine::commandLineJoinsPiecesWithTheirBlanks_data()
{
    QTest::addColumn<QString>("encoder");
    QTest::addColumn<QString>("params");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("mp3Path");
    QTest::addColumn<QString>("command");

    QTest::newRow("128 kbps: two blanks before the input path")
        << "/enc/lame" << QString(kParam128) << "/w/a.wav" << "/m/a.mp3"
        << "/enc/lame -h  \"/w/a.wav\" \"/m/a.mp3\"";
    QTest::newRow("empty custom box: three blanks after the encoder")
        << "/enc/lame" << MakeEncodePreset(EncodePreset::Kind::Custom, "").strParams << "/w/a.wav"
        << "/m/a.mp3" << "/enc/lame   \"/w/a.wav\" \"/m/a.mp3\"";
    QTest::newRow("no parameters yet: one blank after the encoder")
        << "/enc/lame" << "" << "/w/a.wav" << "/w/a.mp3" << "/enc/lame \"/w/a.wav\" \"/w/a.mp3\"";
    QTest::newRow("encoder path with blanks stays unquoted")
        << "/opt/My Tools/lame" << QString(kParam256) << "/w/a.wav" << "/m/a.mp3"
        << "/opt/My Tools/lame -b 256 -h  \"/w/a.wav\" \"/m/a.mp3\"";
    QTest::newRow("paths with blanks and backslashes go in unescaped")
        << "lame" << QString(kParamVBR) << "/w/x\\y z.wav" << "/m/x\\y z.mp3"
        << "lame -V 1 -b 128 -h -m j -q1  \"/w/x\\y z.wav\" \"/m/x\\y z.mp3\"";
}

void TestCommandLine::commandLineJoinsPiecesWithTheirBlanks()
{
    QFETCH(QString, encoder);
    QFETCH(QString, params);
    QFETCH(QString, row);
    QFETCH(QString, mp3Path);
    QFETCH(QString, command);
    QCOMPARE(BuildCommandLine(encoder + params, row, mp3Path), command);
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
