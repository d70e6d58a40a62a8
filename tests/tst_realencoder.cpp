// SPDX-License-Identifier: GPL-3.0-or-later
// Batch runs with Debian's lame on files the tests write: which inputs end in
// "Done!", which fail and why, what becomes of their MP3 files, and which of the
// encoder's lines reach the report.
#include "batch/batchrun.h"
#include "batch/configview.h"
#include "recordingview.h"
#include "settings/cinifile.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sndfile.h>

#include <functional>

#include <unistd.h>

using namespace batch;
using namespace settings;

namespace {

using testsupport::chunk;
using testsupport::soundFile;
using testsupport::wavFile;

const QByteArray kEarlierMp3 = "an MP3 file from an earlier run";
const QString kRemoved = QStringLiteral("; the MP3 file was removed");
const QString kNoise = QStringLiteral(
    "not a sound file the encoder can read (it was encoded as noise; a sound editor can save it as WAV)");
// An ID3v2 tag that names the title, as a player writes it before the MPEG frames.
const QByteArray kId3v2Tag = QByteArray::fromHex("4944330300000000000f") + "TIT2"
                             + QByteArray::fromHex("00000005000000") + "Tone";

QString cutShort(const QString &figures)
{
    return "cut short: the MP3 holds " + figures
           + " (the file ends early; encode a complete copy); the MP3 file was kept";
}

// A WAV file without the end of its sample data: lacking the given share of it, or bytes more.
QByteArray cutWav(const QByteArray &wav, double share, qsizetype bytes = 0)
{
    const qsizetype data = wav.indexOf("data") + 8;
    return wav.left(data + qFromLittleEndian<quint32>(wav.constData() + data - 4) * (1 - share) - bytes);
}

// One row, in.wav, encoded with the real encoder beside its source, in a fresh folder.
struct Rig : ConfigView {
    QTemporaryDir dir;
    RecordingView view;
    QString encoder = testsupport::realLame();
    Cinifile settings;
    BatchRun batch{view, *this, settings, [] { QCoreApplication::processEvents(); }};

    Rig()
    {
        settings.setInifile(path("purlwave.ini"));
        view.buttons = {.optCustom = true};
        view.rows = {path("in.wav")};
    }
    QString lamePath() override { return encoder; }
    void unloadAndRelease() override {}
    QString path(const QString &name) const { return dir.filePath(name); }

    // "Done!" for a run that ended so without a report, else the reason given for in.wav in the report.
    QString run(const QString &custom)
    {
        view.custom = custom;
        batch.cmdEncode_Click();
        const QStringList boxes = view.ops.filter(QRegularExpression("^box"));
        if (boxes.isEmpty() && view.ops.contains("activity: Done!"))
            return QStringLiteral("Done!");
        const QString failed = "box [Encoding errors]: 1 of 1 file could not be encoded:\n\n" + path("in.wav")
                               + ": ";
        return boxes.size() == 1 && boxes[0].startsWith(failed) ? boxes[0].mid(failed.size())
                                                                : view.ops.join('\n');
    }
    QByteArray mp3() const
    {
        QFile file(path("in.mp3"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// Makes the encoder fail on the row: through the rig (encoder, output folder) or the custom text.
using Setup = std::function<void(Rig &, QString &custom)>;

} // namespace

Q_DECLARE_METATYPE(Setup)

class TestRealEncoder : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (testsupport::realLame().isEmpty())
            QSKIP("lame is not installed");
    }
    void cleanup() { QCOMPARE(childProcessCount(), 0); }

    void everyLayoutTheEncoderReadsIsDone_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("custom");
        const auto row = [](const char *name, const QByteArray &source, const QString &custom = "-h") {
            QTest::newRow(name) << source << custom;
        };
        row("8-bit mono 11.025 kHz, odd-sized data and LIST chunks before and after it",
            wavFile({.seconds = 0.30009,
                     .sampleRate = 11025,
                     .channels = 1,
                     .bits = 8,
                     .chunksBefore = chunk("junk", "odd"),
                     .chunksAfter = chunk("LIST", "odd")}));
        row("extensible 24-bit stereo 96 kHz",
            wavFile({.sampleRate = 96000, .bits = 24, .extensible = true}));
        row("32-bit float mono 22.05 kHz",
            wavFile({.sampleRate = 22050, .channels = 1, .bits = 32, .floatSamples = true}));
        row("32-bit integer PCM", wavFile({.bits = 32}));
        row("RF64", wavFile({.rf64 = true}));
        row("more small chunks before the data than the check walks: not judged",
            wavFile({.chunksBefore = chunk("junk", {}).repeated(5000)}));
        row("data size not given, as written while recording", wavFile({.declaredDataBytes = 0xFFFFFFFF}));
        row("resampled to 22.05 kHz mono, no information frame", wavFile({}), "--resample 22.05 -m m -t");
        row("lowest bitrate, MPEG-2.5 frames", wavFile({.sampleRate = 8000}), "-b 8");
        row("MS-ADPCM", soundFile(SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM));
        row("IMA-ADPCM, its last block padded", soundFile(SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM));
        row("GSM 6.10", soundFile(SF_FORMAT_WAV | SF_FORMAT_GSM610, 0.3, 8000, 1));
        row("Sun AU", soundFile(SF_FORMAT_AU | SF_FORMAT_PCM_16));
        row("big-endian RIFX", soundFile(SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_BIG));
        row("Wave64", soundFile(SF_FORMAT_W64 | SF_FORMAT_PCM_16));
        row("CAF", soundFile(SF_FORMAT_CAF | SF_FORMAT_PCM_16));
        row("VOC", soundFile(SF_FORMAT_VOC | SF_FORMAT_PCM_16, 0.3, 44100, 1));
        row("MP3 with an ID3v2 tag", kId3v2Tag + soundFile(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III));
        row("raw samples asked for", wavFile({}).mid(44), "-r");
        row("raw samples asked for in a cluster", wavFile({}).mid(44), "-hr");
        row("raw samples asked for first in a cluster", wavFile({}).mid(44), "-rh");
        row("raw samples asked for after a tab", wavFile({}).mid(44), "-h\t-r");
    }
    void everyLayoutTheEncoderReadsIsDone()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, custom);
        Rig rig;
        QVERIFY(!source.isEmpty() && testsupport::writeFile(rig.path("in.wav"), source));
        QCOMPARE(rig.run(custom), "Done!");
        QVERIFY(!rig.mp3().isEmpty());
    }

    // An MP3 file from an earlier run is replaced by the encoder, or stays where the encoder never wrote.
    void runWithoutAUsableMp3Fails_data()
    {
        QTest::addColumn<QByteArray>("source"); // null: a folder
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("why"); // "{d}" stands for the folder of the files
        const auto custom = [](const char *text) { return Setup([text](Rig &, QString &c) { c = text; }); };
        const Setup none = [](Rig &, QString &) {};
        const QByteArray msAdpcm = soundFile(SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 2);
        QTest::newRow("0-byte file") << QByteArray("") << none << "the file is empty (0 bytes)" + kRemoved;
        QTest::newRow("text named .wav; the encoder's warnings stay out of the report")
            << QByteArray("Shopping list:\nmilk\neggs\n").repeated(40) << custom("--lowpass -1 -k")
            << kNoise + kRemoved;
        QTest::newRow("WAV with an odd-sized fact chunk, which the encoder's reader refuses")
            << wavFile({.chunksBefore = chunk("fact", "\1\2\3")}) << none << kNoise + kRemoved;
        QTest::newRow("no header, and -m r sets a mode: no raw samples asked for")
            << wavFile({}).mid(44) << custom("-m r") << kNoise + kRemoved;
        QTest::newRow("folder named .wav")
            << QByteArray() << none << "this is a folder, not a sound file" + kRemoved;
        QTest::newRow("header and no samples")
            << wavFile({.seconds = 0}) << none << "the file holds no sound (its length is 0 s)" + kRemoved;
        QTest::newRow("one byte read as raw samples: the MP3 holds only its information frame")
            << QByteArray("x") << custom("-r") << "the encoder wrote an MP3 file without sound" + kRemoved;
        QTest::newRow("PCM cut at 99 %") << wavFile(
            {.seconds = 1.98, .sampleRate = 8000, .channels = 1, .bits = 8, .declaredDataBytes = 16000})
                                         << none << cutShort("1.98 s of 2.00 s");
        QTest::newRow("PCM short by one block") << wavFile(
            {.seconds = 1, .sampleRate = 8000, .channels = 1, .bits = 8, .declaredDataBytes = 8001})
                                                << none << cutShort("1.0000 s of 1.0001 s");
        QTest::newRow("RF64 cut in half") << wavFile({.rf64 = true, .declaredDataBytes = 2 * 13230 * 4})
                                          << none << cutShort("0.30 s of 0.60 s");
        QTest::newRow("MS-ADPCM cut in half") << cutWav(msAdpcm, 0.5) << none << cutShort("1.02 s of 2.00 s");
        QTest::newRow("MS-ADPCM short by one block")
            << cutWav(msAdpcm, 0, 2048) << none << cutShort("1.99 s of 2.00 s");
        QTest::newRow("IMA-ADPCM cut in half")
            << cutWav(soundFile(SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 2, 44100, 1), 0.5) << none
            << cutShort("1.02 s of 2.04 s");
        QTest::newRow("GSM 6.10 cut in half")
            << cutWav(soundFile(SF_FORMAT_WAV | SF_FORMAT_GSM610, 2, 8000, 1), 0.5) << none
            << cutShort("1.00 s of 2.00 s");
        QTest::newRow("missing output folder: only the encoder's error line reported")
            << wavFile({}) << Setup([](Rig &rig, QString &) { rig.view.outPath = rig.path("missing"); })
            << "exit code 255\n    Can't init outfile '{d}/missing/in.mp3'";
        // The tests run as root, who reads any file: the encoder then runs as nobody.
        QTest::newRow("unreadable input: only the encoder's error lines reported, the earlier MP3 kept")
            << wavFile({}) << Setup([](Rig &rig, QString &) {
                   QVERIFY(QFile::setPermissions(rig.path("in.wav"), {}));
                   if (geteuid() != 0)
                       return;
                   const QString setpriv = QStandardPaths::findExecutable("setpriv");
                   QVERIFY2(!setpriv.isEmpty(), "setpriv runs the encoder as nobody");
                   rig.encoder = rig.path("lame-as-nobody");
                   QVERIFY(testsupport::writeFile(rig.encoder,
                                                  "#!/bin/sh\nexec " + setpriv.toUtf8()
                                                      + " --reuid=nobody --regid=nogroup --clear-groups "
                                                      + testsupport::realLame().toUtf8() + " \"$@\"\n"));
                   QVERIFY(QFile::setPermissions(rig.encoder, QFile::ReadOwner | QFile::ExeOwner
                                                                  | QFile::ReadOther | QFile::ExeOther));
               })
            << "exit code 255\n    System error.\n    Could not open sound file \"{d}/in.wav\".\n"
               "    Could not find \"{d}/in.wav\".\n    Can't init infile '{d}/in.wav'";
        QTest::newRow("unknown option after warnings: only the encoder's error line reported")
            << wavFile({}) << custom("-r -k --bogus")
            << "exit code 1\n    " + testsupport::realLame() + ": unrecognized option --bogus";
        // Recorded once from lame writing onto a full 64 kbyte file system.
        QTest::newRow("full disk, recorded: only the encoder's error line reported")
            << wavFile({}) << Setup([](Rig &rig, QString &custom) {
                   rig.encoder = testsupport::standinEncoder();
                   custom = "--bytes 8192 --exit 1 --stderr-file \"" PURLWAVE_SOURCE_DIR
                            "/tests/data/lame-disk-full.stderr\"";
               })
            << "exit code 1" + kRemoved + "\n    Error writing mp3 output";
    }
    void runWithoutAUsableMp3Fails()
    {
        QFETCH(QByteArray, source);
        QFETCH(Setup, setup);
        QFETCH(QString, why);
        Rig rig;
        const QString wav = rig.path("in.wav");
        QVERIFY(source.isNull() ? QDir().mkdir(wav) : testsupport::writeFile(wav, source));
        QVERIFY(testsupport::writeFile(rig.path("in.mp3"), kEarlierMp3));
        QString custom = QStringLiteral("-h");
        setup(rig, custom);
        QCOMPARE(rig.run(custom), why.replace("{d}", rig.dir.path()));
        QVERIFY(rig.view.ops.contains("activity: 1 of 1 file failed."));
        QCOMPARE(QFile::exists(rig.path("in.mp3")), !why.contains("removed"));
        QCOMPARE(rig.mp3() == kEarlierMp3, !why.contains("removed") && !why.contains("kept"));
    }
};

QTEST_GUILESS_MAIN(TestRealEncoder)
#include "tst_realencoder.moc"
