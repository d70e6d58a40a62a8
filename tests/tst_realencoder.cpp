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

#include <functional>

#include <unistd.h>

using namespace batch;
using namespace settings;

namespace {

using testsupport::chunk;
using testsupport::wavFile;

const QByteArray kEarlierMp3 = "an MP3 file from an earlier run";

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

// An AIFF file with no sample frames: the encoder writes only its information frame.
QByteArray emptyAiff()
{
    const QByteArray body = "AIFFCOMM" + QByteArray::fromHex("000000120002000000000010400EAC44000000000000")
                            + "SSND" + QByteArray::fromHex("000000080000000000000000");
    QByteArray size(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), size.data());
    return "FORM" + size + body;
}

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

    void wavOfEveryCommonLayoutIsDone_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("custom");
        QTest::newRow("8-bit mono, odd-sized data and chunks, LIST and fact before the data, LIST after")
            << wavFile({.seconds = 0.30009,
                        .sampleRate = 11025,
                        .channels = 1,
                        .bits = 8,
                        .chunksBefore = chunk("LIST", "INFOISFT\x05\0\0\0abcd\0") + chunk("fact", "\1\0\0"),
                        .chunksAfter = chunk("LIST", "odd")})
            << "-h";
        QTest::newRow("extensible 24-bit stereo 96 kHz")
            << wavFile({.sampleRate = 96000, .bits = 24, .extensible = true}) << "-h";
        QTest::newRow("32-bit float mono 22.05 kHz")
            << wavFile({.sampleRate = 22050, .channels = 1, .bits = 32, .floatSamples = true}) << "-h";
        QTest::newRow("RF64") << wavFile({.rf64 = true}) << "-h";
        QTest::newRow("more small chunks before the data than the check walks: not judged")
            << wavFile({.chunksBefore = chunk("junk", {}).repeated(5000)}) << "-h";
        QTest::newRow("data size not given, as written while recording")
            << wavFile({.declaredDataBytes = 0xFFFFFFFF}) << "-h";
        QTest::newRow("resampled to 22.05 kHz mono, no information frame")
            << wavFile({}) << "--resample 22.05 -m m -t";
        QTest::newRow("lowest bitrate, MPEG-2.5 frames") << wavFile({.sampleRate = 8000}) << "-b 8";
        QTest::newRow("raw samples asked for") << wavFile({}).mid(44) << "-r";
    }
    void wavOfEveryCommonLayoutIsDone()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, custom);
        Rig rig;
        QVERIFY(testsupport::writeFile(rig.path("in.wav"), source));
        QCOMPARE(rig.run(custom), "Done!");
        QVERIFY(!rig.mp3().isEmpty());
    }

    // An MP3 file from an earlier run is replaced by the encoder, or stays where the encoder never wrote.
    void runWithoutAUsableMp3Fails_data()
    {
        QTest::addColumn<QByteArray>("source"); // null: a folder
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("why"); // "{d}" stands for the folder of the files
        const QString removed = QStringLiteral("; the MP3 file was removed");
        const Setup none = [](Rig &, QString &) {};
        QTest::newRow("0-byte file") << QByteArray("") << none
                                     << "not a WAV file (the file is empty)" + removed;
        QTest::newRow("text named .wav")
            << QByteArray("Shopping list:\nmilk\neggs\n").repeated(40) << none
            << "not a WAV file (the encoder read its bytes as raw samples)" + removed;
        QTest::newRow("folder named .wav")
            << QByteArray() << none << "not a WAV file (it is a folder)" + removed;
        QTest::newRow("header and no samples")
            << wavFile({.seconds = 0}) << none << "holds no audio" + removed;
        QTest::newRow("AIFF without samples: the MP3 holds only the information frame")
            << emptyAiff() << none << "the encoder wrote no audio" + removed;
        QTest::newRow("cut short: 10 s of 60 s, the MP3 kept")
            << wavFile({.seconds = 10,
                        .sampleRate = 8000,
                        .channels = 1,
                        .bits = 8,
                        .declaredDataBytes = 60 * 8000})
            << none << "cut short: the MP3 holds 10.0 s of 60.0 s; the MP3 file was kept";
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
        QTest::newRow("unknown option in the custom text: only the encoder's error line reported")
            << wavFile({}) << Setup([](Rig &, QString &custom) { custom = "--bogus"; })
            << "exit code 1\n    " + testsupport::realLame() + ": unrecognized option --bogus";
        // Recorded once from lame writing onto a full 64 kbyte file system.
        QTest::newRow("full disk, recorded: only the encoder's error line reported")
            << wavFile({}) << Setup([](Rig &rig, QString &custom) {
                   rig.encoder = testsupport::standinEncoder();
                   custom = "--bytes 8192 --exit 1 --stderr-file \"" PURLWAVE_SOURCE_DIR
                            "/tests/data/lame-disk-full.stderr\"";
               })
            << "exit code 1" + removed + "\n    Error writing mp3 output";
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
