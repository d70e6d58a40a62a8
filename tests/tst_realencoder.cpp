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
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sndfile.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using namespace batch;
using namespace settings;

namespace {

using namespace Qt::Literals::StringLiterals;
using testsupport::chunk;
using testsupport::soundFile;
using testsupport::wavFile;

const QByteArray kEarlierMp3 = "an MP3 file from an earlier run";
const QString kKept = QStringLiteral("; the earlier MP3 file was kept");
const QString kNoise = QStringLiteral(
    "not a sound file the encoder can read (it was encoded as noise; a sound editor can save it as WAV)");

const QString kCut = QStringLiteral("cut short: the MP3 holds %1 (the file ends early; encode a complete "
                                    "copy); the new MP3 file was kept in place of the earlier one");

// One row, in.wav, encoded with the real encoder beside its source, in a fresh folder.
struct Rig : ConfigView {
    QTemporaryDir dir;
    QString sub;                      // the files' folder inside dir, ending in "/"
    QProcess feeder;                  // what writes a named pipe
    std::function<bool()> stillWaits; // the feeder waits as it did before the run
    QString mounted;                  // a small file system for the row
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
    ~Rig() override
    {
        feeder.kill();
        feeder.waitForFinished();
        if (!mounted.isEmpty())
            QProcess::execute("umount", {mounted});
    }
    QString lamePath() override { return encoder; }
    void unloadAndRelease() override {}
    QString path(const QString &name) const { return dir.filePath(sub + name); }

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
        return QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// Makes the encoder fail on the row through the rig (encoder, output folder).
using Setup = std::function<void(Rig &)>;

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

    // An MP3 file from an earlier run is replaced by the encoder, or stays where the encoder never wrote.
    void eachInputEndsAsItsFilesShow_data()
    {
        QTest::addColumn<QByteArray>("source"); // null: a folder
        QTest::addColumn<QString>("why");       // "Done!", or the report's reason; "{d}" is the files' folder
        QTest::addColumn<QString>("custom");
        QTest::addColumn<Setup>("setup");
        const auto row = [](
                             const char *name, const QByteArray &source, const QString &why = "Done!",
                             const QString &custom = "-h", const Setup &setup = [](Rig &) {}) {
            QTest::newRow(name) << source << why << custom << setup;
        };
        const auto half = [](const QByteArray &file) { return file.left(file.size() / 2); };
        const auto sox = [](const char *options) { return testsupport::soxTone(options); };
        const QByteArray flac = sox("-t flac -r 44100 -c 2"), aiff = sox("-t aiff -r 44100 -c 2"),
                         wave64 = sox("-t w64 -r 44100 -c 2"), au = sox("-t au -r 44100 -c 2"),
                         rifx = sox("-t wav -B -b 16 -r 44100 -c 2"),
                         mpeg = soundFile(SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2),
                         msAdpcm = soundFile(SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM,
                                             2); // 44 blocks of 2048 bytes
        row("8-bit mono 11.025 kHz", soundFile(SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 0.3, 11025, 1));
        row("extensible 24-bit stereo 96 kHz, resampled",
            soundFile(SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 0.3, 96000));
        row("32-bit float mono 22.05 kHz", soundFile(SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.3, 22050, 1));
        row("32-bit integer", soundFile(SF_FORMAT_WAV | SF_FORMAT_PCM_32));
        row("RF64", soundFile(SF_FORMAT_RF64 | SF_FORMAT_PCM_16));
        QByteArray bigFact = msAdpcm; // its fact chunk counts more frames than its blocks hold
        qToLittleEndian<quint32>(200000, bigFact.data() + bigFact.indexOf("fact") + 8);
        row("MS-ADPCM, its fact chunk counting more than its blocks", bigFact);
        row("IMA-ADPCM, its last block padded", soundFile(SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM));
        row("GSM 6.10 as sox writes it: a pad byte after 25 blocks; resampled to 44.1 kHz",
            testsupport::soxTone("-t wav -r 8000 -c 1 -e gsm-full-rate", 1), "Done!", "--resample 44.1");
        // A chunk of 3 bytes, padded to 8, before the data of the Wave64 file.
        QByteArray oddWave64 = wave64, odd = "junk" + QByteArray::fromHex("f3ac11d38cd100c04f8edb8a");
        odd += QByteArray(8, '\0') + "odd" + QByteArray(5, '\0');
        qToLittleEndian<quint64>(27, odd.data() + 16);
        oddWave64.insert(oddWave64.indexOf("data", 40), odd);
        qToLittleEndian<quint64>(oddWave64.size(), oddWave64.data() + 16);
        row("FLAC", flac);
        row("AIFF", aiff);
        row("Sun AU", au);
        row("big-endian RIFX", rifx);
        row("Wave64", wave64);
        row("CAF", soundFile(SF_FORMAT_CAF | SF_FORMAT_PCM_16));
        row("VOC", soundFile(SF_FORMAT_VOC | SF_FORMAT_PCM_16, 0.3, 44100, 1));
        row("MP3 with an ID3v2 tag naming the title", "ID3\3\0\0\0\0\0\x0fTIT2\0\0\0\5\0\0\0Tone"_ba + mpeg);
        row("odd-sized chunks before and after the data",
            wavFile({.chunksBefore = chunk("junk", "odd"), .chunksAfter = chunk("LIST", "odd")}));
        row("more small chunks before the data than the check walks: not judged",
            wavFile({.chunksBefore = chunk("junk", {}).repeated(5000)}));
        row("data size 0x7FFFF000, as sox leaves it on a pipe",
            testsupport::soxTone("-t wav -b 16 -r 44100 -c 2", 2, true));
        row("AIFF as sox leaves it on a pipe", testsupport::soxTone("-t aiff -r 44100 -c 2", 2, true));
        row("data size 0x7FFFFFFF", wavFile({.declaredDataBytes = 0x7FFFFFFF}));
        row("data size 0xFFFFFFFF", wavFile({.declaredDataBytes = 0xFFFFFFFF}));
        row("wrong RIFF size, right data size", wavFile({.declaredRiffBytes = 0x7FFFFFFF}));
        row("PCM short by less than an MP3 frame",
            wavFile({.seconds = 1.98, .declaredDataBytes = 88200 * 4}));
        row("resampled to 22.05 kHz mono, no information frame, a tag of 5,000 bytes before", wavFile({}),
            "Done!", "--resample 22.05 -m m -t --pad-id3v2-size 5000");
        row("lowest bitrate, MPEG-2.5 frames, no information frame", wavFile({.sampleRate = 8000}), "Done!",
            "-b 8");
        row("MPEG-2.5 frames after an information frame",
            soundFile(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 8000, 1), "Done!", "-b 64");
        row("raw samples asked for in a cluster", wavFile({}).mid(44), "Done!", "-hr");
        row("path of 1,100 bytes, past libsndfile's limit for a name", wavFile({}), "Done!", "-h",
            [](Rig &rig) { // five folders of 200 letters, and one of what makes it 1,100 bytes
                QString sub;
                for (const char letter : {'a', 'b', 'c', 'd', 'e'})
                    sub += QString(200, letter) + '/';
                sub += QString(1100 - rig.path(sub + "/in.wav").size(), 'f') + '/';
                QVERIFY(QDir(rig.dir.path()).mkpath(sub));
                for (const QString name : {"in.wav", "in.mp3"})
                    QVERIFY(QFile::rename(rig.path(name), rig.path(sub + name)));
                rig.sub = sub;
                rig.view.rows = {rig.path("in.wav")};
                QCOMPARE(rig.path("in.wav").toUtf8().size(), 1100);
            });
        // Ten seconds on, the program at a pipe's other end opens it again: a check that waits on the pipe
        // is freed, and fails rather than hangs.
        row("named pipe fed by another program: the MP3 judged alone", wavFile({}), "Done!", "-h",
            [](Rig &rig) {
                QVERIFY(QFile::rename(rig.path("in.wav"), rig.path("feed.wav")));
                QCOMPARE(mkfifo(QFile::encodeName(rig.path("in.wav")).constData(), 0600), 0);
                rig.feeder.start("sh", {"-c", R"(cat "$0" > "$1"; sleep 10; exec 3<>"$1")",
                                        rig.path("feed.wav"), rig.path("in.wav")});
            });

        row("MP3 path naming a pipe that another program reads: kept, not opened", wavFile({}),
            "the MP3 path names a named pipe or a device, not a file: what the encoder wrote there cannot be "
            "checked; the MP3 file was kept\n    Writing LAME Tag...fatal error: can't update LAME-tag "
            "frame!",
            "-h", [](Rig &rig) {
                QVERIFY(QFile::remove(rig.path("in.mp3")));
                QCOMPARE(mkfifo(QFile::encodeName(rig.path("in.mp3")).constData(), 0600), 0);
                rig.feeder.start(
                    "sh", {"-c", R"(cat "$0" > /dev/null; sleep 10; exec 3<>"$0")", rig.path("in.mp3")});
            });
        // An information frame that counts no frames, 37 frames and half of one: neither the first nor the
        // half is counted. No MP3 was there before.
        row("MP3 of an information frame without counts and a last frame cut short", wavFile({.seconds = 1}),
            QString(kCut).arg("0.97 s of 1.00 s").remove(" in place of the earlier one"), "-b 320",
            [](Rig &rig) {
                rig.encoder = rig.path("lame-cut");
                const QByteArray script =
                    " \"$@\" || exit\nfor last; do :; done\nprintf '\\0\\0\\0\\0' | dd "
                    "of=\"$last\" bs=1 seek=40 conv=notrunc status=none\ntruncate -s 40200 "
                    "\"$last\"\n";
                QVERIFY(QFile::remove(rig.path("in.mp3"))
                        && testsupport::writeFile(rig.encoder,
                                                  "#!/bin/sh\n" + testsupport::realLame().toUtf8() + script));
                QVERIFY(QFile::setPermissions(rig.encoder, QFile::ReadOwner | QFile::ExeOwner));
            });
        // Nothing opens a named pipe whose writer waits for a reader, which the open would let go.
        row("named pipe whose writer waits: never opened", wavFile({}), "Done!", "--bytes 1500",
            [](Rig &rig) {
                rig.encoder = testsupport::standinEncoder(); // which reads nothing
                QVERIFY(QFile::remove(rig.path("in.wav"))
                        && mkfifo(QFile::encodeName(rig.path("in.wav")).constData(), 0600) == 0);
                rig.feeder.start("sh", {"-c", R"(exec 3>"$0")", rig.path("in.wav")});
                QVERIFY(rig.feeder.waitForStarted());
                rig.stillWaits = [&rig] { // in the open, for a reader
                    QFile wchan(QStringLiteral("/proc/%1/wchan").arg(rig.feeder.processId()));
                    return wchan.open(QIODevice::ReadOnly) && wchan.readAll() == "wait_for_partner";
                };
                QTRY_VERIFY(rig.stillWaits());
            });
        // On a full disk room for the tags is made at the end of the new file, but the encoder left 200,000
        // bytes of it unwritten (a hole), which take room as the audio moves into them: that fails part way.
        row("a cut file whose tags fail part way on a full disk: the damaged new MP3 dropped",
            wavFile(
                {.chunksBefore = chunk("LIST", "INFO" + chunk("INAM", "Title")), .declaredDataBytes = 88200}),
            "cut short: the MP3 holds 0.30 s of 0.50 s (the file ends early; encode a complete copy); tags "
            "not "
            "carried into the MP3 (title): writing them failed part way (No space left on device), which "
            "damaged the new MP3 file"
                + kKept,
            "-h", [](Rig &rig) {
                if (::geteuid() != 0)
                    return rig.encoder.clear(); // only root mounts one: the row is skipped
                rig.encoder = rig.path("lame-hole");
                QVERIFY(testsupport::writeFile(
                    rig.encoder,
                    "#!/bin/sh\n" + testsupport::realLame().toUtf8()
                        + " \"$@\" || exit\nfor last; do :; done\ntruncate -s +200000 \"$last\"\n"
                          "head -c 8192 /dev/zero > \"${last%/*}/spare\"\ncat /dev/zero > "
                          "\"${last%/*}/filler\" 2>/dev/null\nrm \"${last%/*}/spare\"\n"));
                QVERIFY(QFile::setPermissions(rig.encoder, QFile::ReadOwner | QFile::ExeOwner));
                QVERIFY(QDir(rig.dir.path()).mkdir("disk"));
                QCOMPARE(
                    QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", rig.path("disk")}),
                    0);
                rig.mounted = rig.path("disk");
                for (const QString name : {"in.wav", "in.mp3"})
                    QVERIFY(QFile::rename(rig.path(name), rig.path("disk/" + name)));
                rig.sub = "disk/";
                rig.view.rows = {rig.path("in.wav")};
            });
        row("0-byte file", "", "the file is empty (0 bytes)" + kKept);
        row("text named .wav; the encoder's warnings stay out of the report",
            QByteArray("Shopping list:\nmilk\neggs\n").repeated(40), kNoise + kKept, "--lowpass -1 -k");
        row("WAV whose odd-sized fact chunk the encoder's reader refuses",
            wavFile({.chunksBefore = chunk("fact", "odd")}), kNoise + kKept);
        row("folder named .wav", QByteArray(), "this is a folder, not a sound file" + kKept);
        row("header and no samples", wavFile({.seconds = 0}),
            "the file holds no sound (its length is 0 s)" + kKept);
        row("one byte read as raw samples: the MP3 holds only its information frame", "x",
            "the encoder wrote an MP3 file without sound" + kKept, "-r");
        row("PCM cut at 98 %, after an odd-sized chunk",
            wavFile({.seconds = 1.96, .chunksBefore = chunk("junk", "odd"), .declaredDataBytes = 88200 * 4}),
            kCut.arg("1.96 s of 2.00 s"));
        row("32-bit float cut in half", half(sox("-t wav -e float -b 32 -r 44100 -c 2")),
            kCut.arg("1.00 s of 2.00 s"));
        row("RF64 cut in half", soundFile(SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 0.6).chopped(13230 * 4),
            kCut.arg("0.30 s of 0.60 s"));
        row("Wave64 with a chunk of 3 bytes cut in half", half(oddWave64), kCut.arg("1.00 s of 2.00 s"));
        row("RIFX cut in half", half(rifx), kCut.arg("1.00 s of 2.00 s"));
        row("MS-ADPCM cut in half", msAdpcm.chopped(22 * 2048), kCut.arg("1.02 s of 2.00 s"));
        row("IMA-ADPCM cut inside a block, which the reader pads",
            soundFile(SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 2, 44100, 1).chopped(11 * 2048 - 1024),
            kCut.arg("1.11 s of 2.04 s"));
        row("GSM 6.10 cut in half, counted frame by frame",
            soundFile(SF_FORMAT_WAV | SF_FORMAT_GSM610, 2, 8000, 1).chopped(25 * 65),
            kCut.arg("1.15 s of 2.00 s"));
        row("8 kHz cut in half, MPEG-2.5 frames after an information frame",
            soundFile(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 8000, 1).chopped(16000),
            kCut.arg("1.00 s of 2.00 s"), "-b 64");
        row("FLAC cut in half", half(flac), kCut.arg("0.93 s of 2.00 s"));
        row("AIFF cut in half", half(aiff), kCut.arg("1.00 s of 2.00 s"));
        row("Sun AU cut in half", half(au), kCut.arg("1.00 s of 2.00 s"));
        row("MP3 named .wav cut in half", half(mpeg), kCut.arg("0.89 s of 2.00 s"));
        // The tests run as root, who reads any file: the encoder then runs as nobody.
        row("unreadable input: only the encoder's error lines reported, the earlier MP3 kept", wavFile({}),
            "exit code 255" + kKept
                + "\n    System error.\n    Could not open sound file \"{d}/in.wav\".\n"
                  "    Could not find \"{d}/in.wav\".\n    Can't init infile '{d}/in.wav'",
            "-h", [](Rig &rig) {
                const QString setpriv = QStandardPaths::findExecutable("setpriv");
                QVERIFY(QFile::setPermissions(rig.path("in.wav"), {}) && !setpriv.isEmpty());
                if (geteuid() != 0)
                    return;
                rig.encoder = rig.path("lame-as-nobody");
                QVERIFY(testsupport::writeFile(rig.encoder,
                                               "#!/bin/sh\nexec " + setpriv.toUtf8()
                                                   + " --reuid=nobody --regid=nogroup --clear-groups "
                                                   + testsupport::realLame().toUtf8() + " \"$@\"\n"));
                QVERIFY(QFile::setPermissions(rig.encoder, QFile::ReadOwner | QFile::ExeOwner));
            });
        row("unknown option after warnings: only the encoder's error line reported", wavFile({}),
            "exit code 1" + kKept + "\n    " + testsupport::realLame() + ": unrecognized option --bogus",
            "-r -k --bogus");
        // Recorded once from lame writing onto a full 64 kbyte file system.
        row("full disk, recorded: only the encoder's error line reported", wavFile({}),
            "exit code 1" + kKept + "\n    Error writing mp3 output",
            "--bytes 8192 --exit 1 --stderr-file \"" PURLWAVE_SOURCE_DIR
            "/tests/data/lame-disk-full.stderr\"",
            [](Rig &rig) { rig.encoder = testsupport::standinEncoder(); });
    }
    void eachInputEndsAsItsFilesShow()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, why);
        QFETCH(QString, custom);
        QFETCH(Setup, setup);
        Rig rig;
        const QString wav = rig.path("in.wav");
        QVERIFY(source.isNull() ? QDir().mkdir(wav) : testsupport::writeFile(wav, source));
        QVERIFY(testsupport::writeFile(rig.path("in.mp3"), kEarlierMp3));
        setup(rig);
        if (rig.encoder.isEmpty())
            QSKIP("needs root: mounts a small file system");
        QCOMPARE(rig.run(custom), why.replace("{d}", rig.dir.path()));
        QVERIFY2(!rig.feeder.waitForFinished(0) && (!rig.stillWaits || rig.stillWaits()),
                 "the program opened a named pipe, or waited on it");
        QVERIFY(why == "Done!" || rig.view.ops.contains("activity: 1 of 1 file failed."));
        QVERIFY(QFile::exists(rig.path("in.mp3")));
        QCOMPARE(rig.mp3() == kEarlierMp3, why.contains(kKept));
    }
};

QTEST_GUILESS_MAIN(TestRealEncoder)
#include "tst_realencoder.moc"
