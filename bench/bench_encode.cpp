// SPDX-License-Identifier: GPL-3.0-or-later
// How much the batch costs on top of the encoder: 20 one-second WAV files are
// encoded with the real encoder through the batch run (against a window that
// draws nothing), and the same 20 command lines in a bare start-and-wait loop.
// The two alternate over several rounds; the medians and their ratio are printed,
// and the CPU time a file of the program itself and of its children (the encoder)
// in each: what the batch costs beyond the bare loop's starting and reaping is
// its own. The batch makes each new MP3 file itself, which in the bare loop the
// encoder does.
// During the batch a timer asks to run every 10 ms, as a window's events would:
// the longest gap between its ticks is how long the window can go unanswered.
// The same is measured at the end over one file of 60 seconds, whose encoding
// spans several of the runner's 500 ms polls. The checks after each file are
// timed apart, over the 20 files and over one source of 10 minutes.
//
//   bench_encode [rounds] [encoder]     (defaults: 5, /usr/bin/lame)
#include "batch/audiocheck.h"
#include "batch/batchrun.h"
#include "batch/commandline.h"
#include "batch/configview.h"
#include "batch/mainview.h"
#include "batch/tags.h"
#include "settings/cinifile.h"

#include "benchsupport.h"
#include "encodesupport.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

using namespace batch;
using namespace settings;

namespace {

constexpr int kFiles = 20;
constexpr int kTickMilliseconds = 10;

class SilentView : public MainView {
public:
    QStringList rows;
    QString outPath;
    int selected = -1;

    void setCaption(const QString &) override {}
    void setLampColour(Lamp, quint32) override {}
    void setActivityText(const QString &) override {}
    void setActivityColour(quint32) override {}
    void setProgressText(const QString &) override {}
    void setProgressColour(quint32) override {}
    void setEncodeEnabled(bool) override {}
    void setCancelEnabled(bool) override {}
    int rowCount() const override { return int(rows.size()); }
    void selectRow(int row) override { selected = row; }
    QString selectedRowText() const override { return selected >= 0 ? rows.at(selected) : QString(); }
    QString rowText(int row) const override { return rows.value(row); }
    QString outPathText() const override { return outPath; }
    QString customText() const override { return {}; }
    PresetButtons presetButtons() const override { return {.opt128 = true}; }
    void messageBox(const QString &text, const std::optional<QString> &) override
    {
        std::fprintf(stderr, "box: %s\n", qPrintable(text));
    }
};

class FixedConfig : public ConfigView {
public:
    explicit FixedConfig(QString path) : m_path(std::move(path)) {}
    QString lamePath() override { return m_path; }
    void unloadAndRelease() override {}

private:
    QString m_path;
};

// What carrying a WAV file's tags into its MP3 file costs: an INFO list, a bext
// chunk and a picture of 100 kbytes in an id3 chunk, carried into the MP3 file of
// a four-minute song (3.8 Mbytes, whose audio then moves behind the tag). Each
// round tags a fresh copy of the encoder's output; only the carry is timed.
void printTagCost(const QString &folder, const QString &encoder, int rounds)
{
    using testsupport::chunk;
    // An ID3v2.3 tag of one picture frame: its header, then encoding, type, front cover, no description.
    const QByteArray apic = QByteArray("\0image/jpeg\0\x03\0", 14) + QByteArray(100000, 'p');
    QByteArray tag = "ID3\x03" + QByteArray(6, '\0') + "APIC" + QByteArray(6, '\0') + apic;
    qToBigEndian<quint32>(quint32(apic.size()), tag.data() + 14);
    const quint32 size = quint32(tag.size() - 10);
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = char(size >> (21 - 7 * i) & 0x7F);
    const QByteArray info = chunk("LIST", "INFO" + chunk("INAM", "A title\0") + chunk("IART", "An artist\0")
                                              + chunk("IPRD", "An album\0") + chunk("ICRD", "2024-05-06\0"));
    const QByteArray bext = chunk("bext", QByteArray("A description").leftJustified(602, '\0'));
    const QString wav = folder + QStringLiteral("/song.wav"), encoded = folder + QStringLiteral("/song.mp3"),
                  mp3 = folder + QStringLiteral("/tagged.mp3");
    if (!testsupport::writeFile(
            wav, testsupport::wavFile({.seconds = 240, .chunksBefore = info + bext + chunk("id3 ", tag)}))
        || QProcess::execute(encoder, {QStringLiteral("--quiet"), QStringLiteral("-h"), wav, encoded}) != 0)
        return;
    QList<double> ms;
    for (int round = 0; round < std::max(rounds, 11); ++round) {
        QFile::remove(mp3);
        if (!QFile::copy(encoded, mp3))
            return;
        QElapsedTimer timer;
        timer.start();
        const QString report = tags::carryTags(wav, mp3, kParam128);
        ms << timer.nsecsElapsed() / 1e6;
        if (!report.isEmpty())
            std::fprintf(stderr, "tags: %s\n", qPrintable(report));
    }
    std::printf(
        "tags carried into an MP3 file of %.1f Mbytes: median %.2f ms, fastest %.2f ms (goal: a few ms)\n",
        QFileInfo(encoded).size() / 1e6, testsupport::median(ms), testsupport::fastest(ms));
}

} // namespace

using testsupport::Cost;
using testsupport::cpuMs;
using testsupport::median;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rounds = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 5;
    const QString encoder = args.size() > 2 ? args.at(2) : QStringLiteral("/usr/bin/lame");
    if (!QFileInfo(encoder).isExecutable()) {
        std::fprintf(stderr, "no encoder at %s\n", qPrintable(encoder));
        return 1;
    }

    QTemporaryDir dir;
    const QString outFolder = dir.filePath(QStringLiteral("out"));
    if (!dir.isValid() || !QDir().mkpath(outFolder))
        return 1;

    SilentView view;
    view.outPath = outFolder;
    for (int i = 0; i < kFiles; ++i) {
        const QString wav = dir.filePath(QStringLiteral("tone%1.wav").arg(i, 2, 10, QLatin1Char('0')));
        if (!testsupport::writeToneWav(wav, 1.0))
            return 1;
        view.rows << wav;
    }
    FixedConfig config(encoder);
    Cinifile settings;
    settings.setInifile(dir.filePath(QStringLiteral("purlwave.ini")));
    BatchRun batch(view, config, settings, [] { QCoreApplication::processEvents(); });

    auto throughBatch = [&] { batch.cmdEncode_Click(); };
    // The longest gap between the ticks of a 10 ms timer during one batch, kept
    // out of the timed rounds, whose batch it would burden alone.
    auto longestGapMs = [&] {
        QElapsedTimer sinceTick;
        double longest = 0;
        QTimer ticks;
        ticks.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
            sinceTick.start();
        });
        sinceTick.start();
        ticks.start(kTickMilliseconds);
        batch.cmdEncode_Click();
        return longest;
    };
    auto bareLoop = [&] { testsupport::bareLoop(view.rows, outFolder, encoder); };
    bool complete = true;
    auto timed = [&](const auto &work) {
        return testsupport::timedEncoding(outFolder, kFiles, &complete, work, [] {});
    };

    testsupport::compareWithBareLoop(
        "batch", rounds, kFiles, [&] { return timed(throughBatch); }, [&] { return timed(bareLoop); });

    // The checks after each file: their share of a file's time.
    QElapsedTimer checks;
    checks.start();
    for (const QString &wav : std::as_const(view.rows))
        (void)audiocheck::checkEncoded(wav, MakeMp3Name(wav, NormalizeOutFolder(outFolder)).strMp3Path);
    std::printf("checks of the %d encoded files: %.3f ms a file\n", kFiles,
                checks.nsecsElapsed() / 1e6 / kFiles);

    // The checks of one 10-minute source: its MP3 as the encoder writes it by
    // default, whose information frame gives its length, and one written with
    // -t, whose frames are counted. Fast mode (-f) only shortens the set-up.
    const QString tenMinutes = dir.filePath(QStringLiteral("ten.wav"));
    if (testsupport::writeToneWav(tenMinutes, 600.0)) {
        for (const QString &option : {QStringLiteral("-f"), QStringLiteral("-t")}) {
            const QString mp3 = dir.filePath(QStringLiteral("ten%1.mp3").arg(option));
            QProcess lame;
            lame.setStandardOutputFile(QProcess::nullDevice());
            lame.setStandardErrorFile(QProcess::nullDevice());
            lame.start(encoder, {QStringLiteral("-f"), option, tenMinutes, mp3});
            if (!lame.waitForFinished(-1) || lame.exitCode() != 0)
                return 1;
            QList<double> ms;
            for (int i = 0; i < 7; ++i) {
                QElapsedTimer once;
                once.start();
                (void)audiocheck::checkEncoded(tenMinutes, mp3);
                ms << once.nsecsElapsed() / 1e6;
            }
            std::printf("check of a 10-minute source, MP3 %s: median %.3f ms, fastest %.3f ms (7 runs)\n",
                        option == QLatin1String("-t") ? "without an information frame (-t)"
                                                      : "with its information frame",
                        median(ms), testsupport::fastest(ms));
        }
        QFile::remove(tenMinutes);
    }

    std::printf("longest gap between %d ms timer ticks: during a batch %.1f ms", kTickMilliseconds,
                longestGapMs());
    const QString longWav = dir.filePath(QStringLiteral("long.wav"));
    if (testsupport::writeToneWav(longWav, 60.0)) {
        view.rows = {longWav};
        std::printf(", during one file of 60 s %.1f ms", longestGapMs());
    }
    std::printf("\n");
    printTagCost(dir.path(), encoder, rounds);
    return complete ? 0 : 1;
}
