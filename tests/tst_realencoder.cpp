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

// One row encoded with the real encoder beside its source, in a fresh folder.
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
    }
    QString lamePath() override { return encoder; }
    void unloadAndRelease() override {}
    QString path(const QString &name) const { return dir.filePath(name); }

    // "Done!" for a run that ended so without a report, else the report's text.
    QString run(const QString &row, const QString &custom)
    {
        view.ops.clear();
        view.rows = {path(row)};
        view.custom = custom;
        batch.cmdEncode_Click();
        const QStringList boxes = view.ops.filter(QRegularExpression("^box"));
        if (boxes.isEmpty() && view.ops.contains("activity: Done!"))
            return QStringLiteral("Done!");
        return boxes.isEmpty() ? view.ops.join(u'\n') : boxes.join(u'\n').section(QStringLiteral("]: "), 1);
    }
};

// The report of a run of one row that failed.
QString report(const QString &row, const QString &why)
{
    return QStringLiteral("1 of 1 file could not be encoded:\n\n") + row + QStringLiteral(": ") + why;
}

// An AIFF file with no sample frames.
QByteArray emptyAiff()
{
    QByteArray comm = QByteArray::fromHex("0002000000000010") + QByteArray::fromHex("400EAC44000000000000");
    QByteArray ssnd = QByteArray(8, '\0');
    QByteArray body = "AIFFCOMM" + QByteArray::fromHex("00000012") + comm;
    body += "SSND" + QByteArray::fromHex("00000008") + ssnd;
    QByteArray size(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), size.data());
    return "FORM" + size + body;
}

// Makes the encoder fail on the row: through the rig (encoder, output folder, files) or the custom text.
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
        const QByteArray list = chunk("LIST", "INFOISFT\x05\0\0\0abcd\0"), fact = chunk("fact", "\x10\0\0\0");
        QTest::newRow("16-bit stereo 44.1 kHz") << wavFile({}) << "-h";
        QTest::newRow("8-bit mono 8 kHz") << wavFile({.sampleRate = 8000, .channels = 1, .bits = 8}) << "-h";
        QTest::newRow("24-bit stereo 96 kHz") << wavFile({.sampleRate = 96000, .bits = 24}) << "-h";
        QTest::newRow("32-bit integer stereo 48 kHz") << wavFile({.sampleRate = 48000, .bits = 32}) << "-h";
        QTest::newRow("32-bit float mono 22.05 kHz")
            << wavFile({.sampleRate = 22050, .channels = 1, .bits = 32, .floatSamples = true}) << "-h";
        QTest::newRow("extensible 24-bit stereo") << wavFile({.bits = 24, .extensible = true}) << "-h";
        QTest::newRow("extensible 32-bit float mono")
            << wavFile({.channels = 1, .bits = 32, .floatSamples = true, .extensible = true}) << "-h";
        QTest::newRow("odd-sized data and chunks, LIST and fact before the data, LIST after")
            << wavFile({.seconds = 0.30009, .sampleRate = 11025, .channels = 1, .bits = 8,
                        .chunksBefore = list + chunk("fact", "\1\0\0"), .chunksAfter = chunk("LIST", "odd")})
            << "-h";
        QTest::newRow("fact before the data, LIST after")
            << wavFile({.chunksBefore = fact, .chunksAfter = list}) << "-V 1 -b 128 -h -m j -q1";
        QTest::newRow("RF64") << wavFile({.rf64 = true}) << "-h";
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
        QCOMPARE(rig.run("in.wav", custom), "Done!");
        QVERIFY(QFileInfo(rig.path("in.mp3")).size() > 0);
    }

    void inputGivingNoUsableMp3Fails_data()
    {
        QTest::addColumn<QByteArray>("source"); // null: a folder
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QString>("why");
        QTest::addColumn<bool>("mp3Kept");
        const QString removed = QStringLiteral("; the MP3 file was removed");
        const QString raw = "not a WAV file (the encoder read its bytes as raw samples)" + removed;
        QByteArray noise(20000, '\0');
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>((i * 7919 + 13) % 251);
        QTest::newRow("0-byte file") << QByteArray("") << "-h" << "not a WAV file (the file is empty)" + removed
                                     << false;
        QTest::newRow("text named .wav") << QByteArray("Shopping list:\nmilk\neggs\n").repeated(40) << "-h" << raw
                                         << false;
        QTest::newRow("random bytes named .wav") << noise << "-h" << raw << false;
        QTest::newRow("RIFF file of another form") << wavFile({}).replace("WAVEfmt ", "AVI fmt ") << "-h" << raw
                                                   << false;
        QTest::newRow("folder named .wav")
            << QByteArray() << "-h" << "not a WAV file (it is a folder)" + removed << false;
        QTest::newRow("header and no samples") << wavFile({.seconds = 0}) << "-h" << "holds no audio" + removed
                                               << false;
        QTest::newRow("header and no samples, no information frame either")
            << wavFile({.seconds = 0}) << "-t" << "holds no audio" + removed << false;
        QTest::newRow("samples after a data chunk that declares none")
            << wavFile({.declaredDataBytes = 0}) << "-h" << "holds no audio" + removed << false;
        QTest::newRow("AIFF without samples: the MP3 holds only the information frame")
            << emptyAiff() << "-h" << "the encoder wrote no audio" + removed << false;
        QTest::newRow("cut short: 10 s of 60 s, the MP3 kept")
            << wavFile({.seconds = 10, .sampleRate = 8000, .channels = 1, .bits = 8,
                        .declaredDataBytes = 60 * 8000})
            << "-h" << "cut short: the MP3 holds 10.0 s of 60.0 s; the MP3 file was kept" << true;
    }
    void inputGivingNoUsableMp3Fails()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, custom);
        QFETCH(QString, why);
        QFETCH(bool, mp3Kept);
        Rig rig;
        const QString wav = rig.path("in.wav");
        QVERIFY(source.isNull() ? QDir().mkdir(wav) : testsupport::writeFile(wav, source));
        QCOMPARE(rig.run("in.wav", custom), report(wav, why));
        QCOMPARE(QFile::exists(rig.path("in.mp3")), mp3Kept);
        QVERIFY(rig.view.ops.contains("activity: 1 of 1 file failed."));
    }

    void reportShowsOnlyTheEncodersErrorLines_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("why"); // "{d}" stands for the folder of the files
        QTest::addColumn<bool>("earlierMp3Stays");
        QTest::newRow("missing output folder") << Setup([](Rig &rig, QString &) {
            rig.view.outPath = rig.path("missing");
        }) << "exit code 255\n    Can't init outfile '{d}/missing/in.mp3'" << true;
        // The encoder runs as an unprivileged user, who may not read the file.
        QTest::newRow("unreadable input: the earlier MP3 stays") << Setup([](Rig &rig, QString &) {
            QVERIFY(QFile::setPermissions(rig.path("in.wav"), {}));
            if (geteuid() != 0)
                return;
            const QString setpriv = QStandardPaths::findExecutable("setpriv");
            QVERIFY2(!setpriv.isEmpty(), "setpriv is needed to run the encoder as nobody");
            rig.encoder = rig.path("lame-as-nobody");
            QVERIFY(testsupport::writeFile(rig.encoder, "#!/bin/sh\nexec " + setpriv.toUtf8()
                                           + " --reuid=nobody --regid=nogroup --clear-groups "
                                           + testsupport::realLame().toUtf8() + " \"$@\"\n"));
            QVERIFY(QFile::setPermissions(rig.encoder, QFile::ReadOwner | QFile::ExeOwner | QFile::ExeOther
                                                           | QFile::ReadOther));
        }) << "exit code 255\n    System error.\n    Could not open sound file \"{d}/in.wav\".\n"
              "    Could not find \"{d}/in.wav\".\n    Can't init infile '{d}/in.wav'"
           << true;
        QTest::newRow("unknown option in the custom text: the earlier MP3 stays")
            << Setup([](Rig &, QString &custom) { custom = "--bogus"; })
            << "exit code 1\n    " + testsupport::realLame() + ": unrecognized option --bogus" << true;
        // Recorded once from lame writing onto a full 64 kbyte file system.
        QTest::newRow("full disk, recorded") << Setup([](Rig &rig, QString &custom) {
            rig.encoder = testsupport::standinEncoder();
            custom = "--bytes 8192 --exit 1 --stderr-file \"" PURLWAVE_SOURCE_DIR
                     "/tests/data/lame-disk-full.stderr\"";
        }) << "exit code 1; the MP3 file was removed\n    Error writing mp3 output" << false;
    }
    void reportShowsOnlyTheEncodersErrorLines()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, why);
        QFETCH(bool, earlierMp3Stays);
        Rig rig;
        QVERIFY(testsupport::writeFile(rig.path("in.wav"), wavFile({})));
        QVERIFY(testsupport::writeFile(rig.path("in.mp3"), "an MP3 file from an earlier run"));
        QString custom = QStringLiteral("-h");
        setup(rig, custom);
        QCOMPARE(rig.run("in.wav", custom), report(rig.path("in.wav"), why.replace("{d}", rig.dir.path())));
        QFile earlier(rig.path("in.mp3"));
        QCOMPARE(earlier.open(QIODevice::ReadOnly) && earlier.readAll() == "an MP3 file from an earlier run",
                 earlierMp3Stays);
    }
};

QTEST_GUILESS_MAIN(TestRealEncoder)
#include "tst_realencoder.moc"

