// SPDX-License-Identifier: GPL-3.0-or-later
// The tags of WAV files the tests write, carried into the MP3 files Debian's lame
// makes of them in the C locale, and read back with TagLib.
#include "batch/batchrun.h"
#include "batch/configview.h"
#include "batch/tags.h"
#include "recordingview.h"
#include "settings/cinifile.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::chunk;
using testsupport::fileBytes;
using Tags = QStringList; // "frame=text", sorted

// "ID=text" each.
QByteArray info(const QByteArrayList &fields)
{
    QByteArray body = "INFO";
    for (const QByteArray &field : fields)
        body += chunk(field.left(4), field.mid(5) + '\0');
    return chunk("LIST", body);
}

QByteArray bext(const QList<QByteArray> &texts)
{
    QByteArray body;
    for (int i = 0; i < 5; ++i)
        body += texts[i].leftJustified(QList{256, 32, 32, 10, 8}[i], '\0');
    return chunk("bext", body + QByteArray(264, '\0'));
}

// An ID3v2.4 tag in a chunk: a title, two pictures, a text of the user's, a date to the second and
// a mood, which version 2.3 has no frame for.
QByteArray id3(const QByteArray &id, const char *title)
{
    TagLib::ByteVectorStream stream({});
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    TagLib::ID3v2::Tag &tag = *file.ID3v2Tag(true);
    tag.setTitle(TagLib::String(title, TagLib::String::UTF8));
    for (const uint size : {3000, 2000}) { // two of one kind
        auto *picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setMimeType("image/png");
        picture->setDescription(size == 2000 ? "small" : "");
        picture->setPicture(TagLib::ByteVector(size, 'p'));
        tag.addFrame(picture);
    }
    tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame("Mood", {"Calm"}));
    for (const char *field : {"TDRC=2020-01-02T03:04:05", "TMOO=Calm"}) {
        auto *frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(field, 4));
        frame->setText(field + 5);
        tag.addFrame(frame);
    }
    const TagLib::ByteVector bytes = tag.render(TagLib::ID3v2::v4);
    return chunk(id, QByteArray(bytes.data(), bytes.size()));
}

// The file as RF64: its sizes in a ds64 chunk, and there only.
QByteArray rf64(QByteArray riff)
{
    const qsizetype data = riff.indexOf("data", 12);
    QByteArray ds64(28, '\0');
    qToLittleEndian<quint64>(riff.size() + 28, ds64.data());
    qToLittleEndian<quint64>(qFromLittleEndian<quint32>(riff.constData() + data + 4), ds64.data() + 8);
    qToLittleEndian<quint32>(0xFFFFFFFFu, riff.data() + data + 4);
    return "RF64" + QByteArray(4, '\xff') + "WAVE" + chunk("ds64", ds64) + riff.mid(12);
}

// The MP3's ID3v2.3 tag, "id=text" or "TXXX:description=text"; the encoder's own
// frames and the day and time frames that the library reads into the date left out.
Tags readTags(const QString &mp3)
{
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData(), false);
    Tags tags;
    if (!file.hasID3v2Tag())
        return tags;
    for (const TagLib::ID3v2::Frame *frame : file.ID3v2Tag()->frameList()) {
        QString key = QString::fromLatin1(frame->frameID().data(), frame->frameID().size());
        QString text = QString::fromStdString(frame->toString().to8Bit(true));
        if (const auto *user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(frame)) {
            key += ':' + QString::fromStdString(user->description().to8Bit(true));
            text = QString::fromStdString(user->fieldList().back().to8Bit(true));
        } else if (const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame)) {
            text = QString::fromLatin1(picture->mimeType().toCString()) + ' '
                   + QString::number(picture->picture().size());
        }
        if (key != "TSSE" && key != "TLEN" && !text.isEmpty())
            tags << key + '=' + text;
    }
    if (!tags.isEmpty() && file.ID3v2Tag()->header()->majorVersion() != 3)
        tags << "version=" + QString::number(file.ID3v2Tag()->header()->majorVersion());
    tags.sort();
    return tags;
}

// One row: in.wav encoded to in.mp3 in a fresh folder, then its tags carried, in
// this process or in a child that runs it as another user or within a file size limit.
struct Rig {
    QTemporaryDir dir;
    QString source = dir.filePath("in.wav"), mp3 = dir.filePath("in.mp3");
    QStringList child;

    QString carry(const QString &params)
    {
        if (child.isEmpty())
            return batch::tags::carryTags(source, mp3, params);
        QProcess process;
        process.start(
            child.takeFirst(),
            child + QStringList{QCoreApplication::applicationFilePath(), "--carry", source, mp3, params});
        return process.waitForFinished(60000) && process.exitCode() == 0
                   ? QString::fromUtf8(process.readAllStandardOutput())
                   : "child failed: " + process.readAllStandardError();
    }
};

// Where the audio starts: right behind the ID3v2 tag, or -1.
qint64 audioStart(const QString &mp3)
{
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData(), false);
    const qint64 start = file.firstFrameOffset();
    return !file.hasID3v2Tag() || file.ID3v2Tag()->header()->completeTagSize() == start ? start : -1;
}

const QString kTitle = QStringLiteral("Tïtle Ünïcode €");
const QString kNoMood = QStringLiteral(
    "tags not carried into the MP3 (TMOO): the MP3 file did not hold them when read back");

} // namespace

class TestTags : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!testsupport::realLame().isEmpty(), "Debian's lame is not installed");
        // The encoder and the carry in the C locale, in which lame cuts a title at its first letter that is
        // not ASCII.
        qputenv("LC_ALL", "C");
        qputenv("LANG", "C");
        std::setlocale(LC_ALL, "C");
    }

    void tagsArriveAsTheSourceHoldsThem_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("params");
        QTest::addColumn<Tags>("tags"); // none: the MP3 as the encoder wrote it
        QTest::addColumn<QString>("report");
        QTest::addColumn<std::function<void(Rig &)>>("after"); // after the encode
        const auto row = [](
                             const char *name, const QByteArray &source, const QString &params,
                             const Tags &tags, const QString &report = {},
                             std::function<void(Rig &)> then = [](Rig &) {}) {
            QTest::newRow(name) << source << params << tags << report << then;
        };
        const auto wav = [](const QByteArray &before, const QByteArray &after = {}) {
            return testsupport::wavFile({.chunksBefore = before, .chunksAfter = after});
        };
        const QByteArray title = wav(info({"INAM=Title"}));
        row("INFO before the data: each field in its frame, others in TXXX frames by name or id",
            wav(info({"INAM=Title", "IART=Artist", "IPRD=Album", "ICRD=2021-06-30", "ITRK=3/12", "IPRT=9",
                      "IGNR=Jazz", "ICMT=Comment", "ICOP=(c) Us", "ITCH=Tech", "IMED=Tape", "IENG=Eng",
                      "ISFT=Editor 2", "IWRI=Writer"})),
            "-h",
            {"TIT2=Title", "TPE1=Artist", "TALB=Album", "TDRC=2021-06-30", "TRCK=3/12", "TCON=Jazz",
             "COMM=Comment", "TCOP=(c) Us", "TENC=Tech", "TMED=Tape", "TXXX:Engineer=Eng",
             "TXXX:Software=Editor 2", "TXXX:IWRI=Writer"});
        row("RF64, INFO after the data in UTF-8: carried whole, a date in words as text",
            rf64(wav({}, info({"INAM=" + kTitle.toUtf8(), "ICRD=Spring"}))), "-h",
            {"TIT2=" + kTitle, "TXXX:Creation date=Spring"});
        row("INFO in Latin-1: read as Windows-1252, written in UTF-16, never in Latin-1",
            wav(info({"INAM=Caf\xe9 \x80 \x93q\x94", "IART=Caf\xe9"})), "-h",
            {"TIT2=Café € “q”", "TPE1=Café"});
        row("id3 chunk: its frames as they are, pictures included, the date to the minute",
            wav(id3("id3 ", "Chunk ü")), "-h",
            {"TIT2=Chunk ü", "APIC=image/png 3000", "APIC=image/png 2000", "TXXX:Mood=Calm",
             "TDRC=2020-01-02T03:04"},
            kNoMood);
        row("bext: each field by name, the description as comment and the origination as date",
            wav(bext({"Field recording", "Recorder 7", "REF123", "2019:05:06", "07-08-09"})), "-h",
            {"TXXX:BWF Description=Field recording", "TXXX:BWF Originator=Recorder 7",
             "TXXX:BWF Originator reference=REF123", "TXXX:BWF Origination date=2019:05:06",
             "TXXX:BWF Origination time=07-08-09", "COMM=Field recording", "TDRC=2019-05-06T07:08"});
        row("all together: the ID3 chunk before INFO before bext, the first INFO before a later one",
            wav(id3("ID3 ", "Chunk") + info({"INAM=Info", "IART=Artist", "ICMT=Note"})
                    + bext({"Desc", "", "", "2019-05-06", ""}),
                info({"IART=Later", "IPRD=Album"})),
            "-h",
            {"TIT2=Chunk", "APIC=image/png 3000", "APIC=image/png 2000", "TXXX:Mood=Calm",
             "TDRC=2020-01-02T03:04", "TPE1=Artist", "TALB=Album", "COMM=Note", "TXXX:BWF Description=Desc",
             "TXXX:BWF Origination date=2019-05-06"},
            kNoMood);
        row("tag options typed: the user's title and genre stay, the artist is carried",
            wav(info({"INAM=Info", "IART=Artist", "IGNR=Jazz"})),
            "--tt --id3v1-only --tg Rock --pad-id3v2-size 3000",
            {"TIT2=--id3v1-only", "TCON=Rock", "TPE1=Artist"});
        row("--id3v1-only: nothing carried", title, "--id3v1-only --tt \"User title\"", {});
        row("no tags: the MP3 as the encoder wrote it", wav({}), "-h", {});
        // Root reads and writes any file: the carry then runs as nobody.
        const auto denied = [](const char *whose) {
            return [whose](Rig &rig) {
                const bool mp3 = qstrcmp(whose, "mp3") == 0;
                QVERIFY(
                    QFile::setPermissions(mp3 ? rig.mp3 : rig.source,
                                          mp3 ? QFile::ReadOwner | QFile::ReadOther : QFile::Permissions()));
                if (::geteuid() == 0)
                    rig.child = QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                            "--"};
                QVERIFY(QFile::setPermissions(rig.dir.path(), QFile::ReadOwner | QFile::WriteOwner
                                                                  | QFile::ExeOwner | QFile::ExeOther));
            };
        };
        row("read-only MP3: nothing carried, said so", title, "-h", {},
            "tags not carried into the MP3 (title): the MP3 file cannot be written (Permission denied); it "
            "was kept without them",
            denied("mp3"));
        row("unreadable source: nothing carried, said so", title, "-h", {},
            "its tags were not read: the WAV file cannot be opened", denied("source"));
        row("no room for the tag, as on a full disk: nothing carried, said so", title, "-h", {},
            "tags not carried into the MP3 (title): the MP3 file could not be written (File too large); it "
            "was kept without them",
            [](Rig &rig) {
                rig.child = QStringList{"prlimit", "--fsize=" + QString::number(QFileInfo(rig.mp3).size()),
                                        "--"};
            });
        row("source is a named pipe: not waited on, nothing said", title, "-h", {}, {}, [](Rig &rig) {
            QVERIFY(::mkfifo(QFile::encodeName(rig.source = rig.dir.filePath("pipe.wav")).constData(), 0600)
                    == 0);
        });
        row("paths of 4,095 bytes", title, "-h", {"TIT2=Title"}, {}, [](Rig &rig) {
            QString folder = rig.dir.path();
            for (qsizetype left; (left = 4088 - folder.size()) > 0;)
                folder += '/' + QString(std::min<qsizetype>(200, left - (left == 202 ? 3 : 1)), 'd');
            QVERIFY(QDir().mkpath(folder) && QFile::rename(rig.source, folder + "/in.wav")
                    && QFile::rename(rig.mp3, folder + "/in.mp3"));
            rig.source = folder + "/in.wav";
            rig.mp3 = folder + "/in.mp3";
            QCOMPARE(QFile::encodeName(rig.mp3).size(), 4095);
        });
    }

    void tagsArriveAsTheSourceHoldsThem()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, params);
        QFETCH(Tags, tags);
        tags.sort();
        QFETCH(QString, report);
        QFETCH(std::function<void(Rig &)>, after);
        Rig rig;
        QVERIFY(testsupport::writeFile(rig.source, source));
        QProcess lame;
        lame.start(testsupport::realLame(),
                   QProcess::splitCommand(params) + QStringList{"--quiet", rig.source, rig.mp3});
        QVERIFY(lame.waitForFinished(60000) && lame.exitCode() == 0);
        after(rig);
        if (QTest::currentTestFailed())
            return;
        const QByteArray encoded = fileBytes(rig.mp3);
        QVERIFY(testsupport::writeFile(rig.dir.filePath("encoded.mp3"), encoded));
        QCOMPARE(rig.carry(params), report);
        QCOMPARE(readTags(rig.mp3), tags);
        QVERIFY(!fileBytes(rig.mp3).contains("Caf\xe9"));
        // Without tags, the MP3 as the encoder wrote it; else its audio, byte for byte, behind the tag.
        if (tags.isEmpty())
            QVERIFY(fileBytes(rig.mp3) == encoded);
        else
            QCOMPARE(fileBytes(rig.mp3).mid(audioStart(rig.mp3)),
                     encoded.mid(audioStart(rig.dir.filePath("encoded.mp3"))));
    }

    // Through the batch: the tags are in the MP3 file that takes the MP3's name, and one that cannot be
    // carried is a note beside "Done!", not a failure; beside a file that failed, in the same box.
    void theBatchCarriesTagsIntoTheMp3_data()
    {
        QTest::addColumn<QByteArray>("chunks");
        QTest::addColumn<bool>("failing"); // a text file named .wav follows in the list
        QTest::addColumn<Tags>("tags");
        QTest::addColumn<QString>("box"); // {s}: the source's path, {f}: the failing file's
        const QString note =
            "1 file was encoded, with a note:\n\n{s}: its id3 chunk was not carried: it holds "
            "no ID3v2 tag";
        QTest::newRow("INFO title: in the MP3, no box")
            << info({"INAM=" + kTitle.toUtf8()}) << false << Tags{"TIT2=" + kTitle} << QString();
        QTest::newRow("an id3 chunk without a tag: a note, the run done")
            << chunk("id3 ", "no tag here") << false << Tags{} << "box [Encoding notes]: " + note;
        QTest::newRow("the same beside a file that failed: one box of errors holds both")
            << chunk("id3 ", "no tag here") << true << Tags{}
            << "box [Encoding errors]: 1 of 2 files could not be encoded:\n\n{f}: not a sound file the "
               "encoder "
               "can read (it was encoded as noise; a sound editor can save it as WAV); the new MP3 file was "
               "removed\n\n"
                   + note;
    }
    void theBatchCarriesTagsIntoTheMp3()
    {
        QFETCH(QByteArray, chunks);
        QFETCH(bool, failing);
        QFETCH(Tags, tags);
        QFETCH(QString, box);
        struct Config : batch::ConfigView {
            QString lamePath() override { return testsupport::realLame(); }
            void unloadAndRelease() override {}
        } config;
        QTemporaryDir dir;
        RecordingView view;
        settings::Cinifile settings;
        settings.setInifile(dir.filePath("purlwave.ini"));
        view.buttons = {.optCustom = true};
        view.custom = "-h";
        view.rows = {dir.filePath("in.wav"), dir.filePath("text.wav")};
        QVERIFY(testsupport::writeFile(view.rows[0], testsupport::wavFile({.chunksBefore = chunks})));
        QVERIFY(!failing || testsupport::writeFile(view.rows[1], QByteArray("Not a sound\n").repeated(99)));
        view.rows.resize(failing ? 2 : 1);
        batch::BatchRun(view, config, settings, {}).cmdEncode_Click();
        QVERIFY2(view.ops.contains(failing ? "activity: 1 of 2 files failed." : "activity: Done!"),
                 qPrintable(view.ops.join('\n')));
        QCOMPARE(view.ops.filter("box"),
                 box.isEmpty()
                     ? QStringList()
                     : QStringList{box.replace("{s}", view.rows[0]).replace("{f}", view.rows.value(1))});
        QCOMPARE(readTags(dir.filePath("in.mp3")), tags);
    }
};

int main(int argc, char *argv[])
{
    // The carry in a child: its report on standard output.
    if (argc == 5 && qstrcmp(argv[1], "--carry") == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the size limit then fails as on a full disk
        std::fputs(batch::tags::carryTags(argv[2], argv[3], argv[4]).toUtf8().constData(), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestTags test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tags.moc"
