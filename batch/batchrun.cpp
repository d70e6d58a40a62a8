#include "batch/batchrun.h"

#include "batch/audiocheck.h"
#include "batch/commandline.h"
#include "batch/configview.h"
#include "batch/mainview.h"
#include "batch/tags.h"
#include "platform/stagedfile.h"
#include "settings/cinifile.h"
#include "settings/keys.h"

#include <algorithm>
#include <limits>

namespace batch {

namespace {

constexpr qint32 kStopRequested = 10;

// intTrack is 16-bit, so a run covers at most this many rows. The list refuses
// more at the drop; this only keeps the index from wrapping.
constexpr int kMaxRows = std::numeric_limits<qint16>::max();

const QString kErrorTitle = QStringLiteral("Error!");

// A box taller than the screen is no use: past this many the rest are counted.
constexpr qsizetype kMaxListedFailures = 20;

} // namespace

QString BatchRun::titleStopped() { return QStringLiteral("Purlwave v1.3 - by the Purlwave developers"); }

QString BatchRun::titleCompleted() { return QStringLiteral("Purlwave v1.1 - made by the Purlwave team"); }

BatchRun::BatchRun(MainView &view, ConfigView &config, settings::Cinifile &settings,
                   std::function<void()> doEvents)
    : m_view(view), m_config(config), m_settings(settings), m_doEvents(std::move(doEvents))
{
}

void BatchRun::cmdEncode_Click()
{
    // Encode is disabled for the whole of a run; this holds even for a caller
    // that presses it programmatically.
    if (m_running)
        return;
    m_running = true;
    m_abandoned = false;
    m_lastIndex = -1;
    m_removedBefore = 0;
    m_filesTried = 0;
    m_failures.clear();
    m_notes.clear();
    m_written.clear();
    m_sources.clear();
    m_cleanedFolders.clear();

    run();

    if (m_abandoned)
        m_state.lngStopRequest = 0;
    m_running = false;
}

void BatchRun::cmdCancel_Click()
{
    // Outside a run a request would be left over and stop the next run after
    // its first file.
    if (!m_running || m_abandoned)
        return;
    m_state.lngStopRequest = kStopRequested;
    m_view.setCancelEnabled(false);
    m_view.setCaption(QStringLiteral("User requested stop, please wait while finishing current track..."));
}

void BatchRun::abandon()
{
    if (!m_running)
        return;
    m_abandoned = true;
    // The encoder is killed as soon as the runner sees the request, not at the
    // end of its wait.
    if (m_encoder)
        m_encoder->abandon();
}

void BatchRun::rowsRemoved(int first, int count)
{
    if (!m_inRows || count <= 0)
        return;
    const int last = first + count - 1;
    const int current = m_state.intTrack;
    // Rows up to the current one have been read already: the rows behind them
    // move up, and so must the index.
    const int atOrBefore = std::max(0, std::min(last, current) - first + 1);
    // Rows of this run not reached yet: the run gets that much shorter. Rows
    // beyond the last index were added during the run and do not count.
    const int ahead = std::max(0, std::min(last, m_lastIndex) - std::max(first, current + 1) + 1);
    m_state.intTrack = static_cast<qint16>(current - atOrBefore);
    m_removedBefore += atOrBefore;
    m_lastIndex -= atOrBefore + ahead;
}

void BatchRun::letEventsRun()
{
    if (m_doEvents)
        m_doEvents();
}

void BatchRun::run()
{
    BatchState &s = m_state;

    m_view.setCaption(QStringLiteral("Preparing to encode..."));
    m_view.setLampColour(Lamp::shpWait, colours::WaitLit);
    m_view.setLampColour(Lamp::shpReady, colours::ReadyDim);
    m_view.setCancelEnabled(true);
    m_view.setEncodeEnabled(false);

    const QString customText = m_view.customText();
    s.strParamVBR = kParamVBR;
    s.strParam128 = kParam128;
    s.strParam256 = kParam256;
    s.strParamCustom = MakeEncodePreset(EncodePreset::Kind::Custom, customText).strParams;

    s.strLamePath = m_config.lamePath();

    if (m_view.rowCount() == 0) {
        endEmptyList();
        return;
    }

    s.strOutFolder = NormalizeOutFolder(m_view.outPathText());

    // Each button that reads on saves its code at once; the last one wins, and
    // with none on the previous run's parameters stay.
    const PresetButtons buttons = m_view.presetButtons();
    const std::optional<EncodePreset> chosen = ChooseEncodePreset(
        buttons.opt128, buttons.optVar, buttons.Opt256, buttons.optCustom, customText,
        [this](const EncodePreset &preset) {
            m_settings.WriteFile(settings::keys::kSettings, settings::keys::kDefaultEncoding, preset.code);
        });
    if (chosen)
        s.strParams = chosen->strParams;

    s.strCommandBase = s.strLamePath + s.strParams;
    // Raw samples asked for: an input without a header is what the user meant.
    m_rawInput = asksForRawInput(s.strParams);

    m_view.setCaption(QStringLiteral("Encoding in process, please wait..."));

    const int rowsAtStart = m_view.rowCount();
    const QString strTrackCount = QString::number(rowsAtStart);
    m_lastIndex = std::min(rowsAtStart, kMaxRows) - 1;
    s.intTrack = 0;
    for (int row = 0; row <= m_lastIndex; ++row) {
        const QString text = m_view.rowText(row);
        m_sources.insert(platform::fileIdentity(text), text);
    }

    m_inRows = true;
    walkRows(strTrackCount);
    m_inRows = false;
}

void BatchRun::walkRows(const QString &strTrackCount)
{
    BatchState &s = m_state;
    for (;;) {
        // Rows removed during the run may have shortened the list below the
        // count taken at the start: never select past its end.
        const int rowsNow = m_view.rowCount();
        if (s.intTrack > m_lastIndex || s.intTrack > rowsNow - 1) {
            endCompleted();
            return;
        }

        s.strCommand = s.strCommandBase;
        m_view.selectRow(s.intTrack);
        const QString rowText = m_view.selectedRowText();

        const Mp3Naming naming = MakeMp3Name(rowText, s.strOutFolder);
        if (naming.refused()) {
            endRefusedRow(naming.refusal->message);
            return;
        }
        s.strMp3Name = naming.strMp3Name;
        s.strMp3Path = naming.strMp3Path;
        s.strCommand = BuildCommandLine(s.strCommandBase, rowText, s.strMp3Path);

        // The encoder writes a new file beside the MP3 file. The command line that
        // names it is the encoder's; strCommand names the MP3 file, as the user knows it.
        auto encoder = std::make_unique<EncoderRun>(s.strCommandBase, rowText, s.strMp3Path);
        QString refusal = overwriteRefusal(rowText);
        if (refusal.isEmpty()) {
            // What a program killed part way left there goes first, at the first row of the folder.
            if (!m_cleanedFolders.contains(encoder->folder()))
                platform::StagedFile::removeLeftovers(*m_cleanedFolders.insert(encoder->folder()));
            encoder->stage(&refusal);
        }
        if (!refusal.isEmpty()) {
            ++m_filesTried;
            m_failures.append({rowText, refusal, {}});
            ++s.intTrack; // no events ran since the last look at the stop request
            continue;
        }

        m_view.setActivityColour(colours::TextWorking);
        m_view.setActivityText(QStringLiteral("Encoding track ") + s.strMp3Name + QStringLiteral(" (")
                               + QString::number(s.intTrack + 1 + m_removedBefore) + QLatin1Char('/')
                               + strTrackCount + QLatin1Char(')'));
        m_view.setProgressColour(colours::TextWorking);
        showProgress(0);

        letEventsRun();
        if (m_abandoned)
            return; // the new file goes with the encoder's run; an earlier MP3 file stays

        m_encoder = std::move(encoder);
        const ShellResult result = m_encoder->ShellAndWait(
            m_view, m_doEvents, {}, [this](double fileShare) { showProgress(fileShare); });
        encoder = std::move(m_encoder);
        if (m_abandoned)
            return; // as above, also for a file the encoder had finished: it was not checked

        m_view.setProgressColour(colours::TextIdle);

        if (result.outcome == ShellResult::Outcome::CouldNotStart) {
            endEncoderNotStarted();
            return;
        }
        ++m_filesTried;
        judgeRow(rowText, result, *encoder);

        if (s.lngStopRequest == kStopRequested) {
            endStopped();
            return;
        }
        ++s.intTrack;
    }
}

// Why a row's MP3 file may not be written, or empty. Two sources of one name,
// encoded into one folder: the second would silently replace the first's MP3. An
// MP3 path that leads to a source of the run (through a link, or a name that
// differs in case only on a file system that ignores case) would destroy it. The
// same source again, however its path is spelt, gives the same file and is
// encoded again.
QString BatchRun::overwriteRefusal(const QString &row) const
{
    const QString &mp3 = m_state.strMp3Path;
    const platform::FileIdentity target = platform::fileIdentity(mp3);
    if (const auto source = m_sources.constFind(target); source != m_sources.cend())
        return QStringLiteral("would overwrite %1, which is the source file %2").arg(mp3, *source);
    const auto written = m_written.constFind(target);
    if (written != m_written.cend() && *written != platform::fileIdentity(row))
        return QStringLiteral("would overwrite %1, written earlier in this run").arg(mp3);
    return {};
}

// A row failed when its encoder did, or when the checks of its files find that
// exit code 0 gave no usable MP3. Only a good new MP3 file, or one that holds all
// the audio there was, replaces the MP3 file; else the new file goes and an MP3
// file that was there stays as it was. No other path is ever removed.
void BatchRun::judgeRow(const QString &row, const ShellResult &result, EncoderRun &encoder)
{
    QString why;
    bool keep = false;
    if (result.killedBySignal) {
        why = QStringLiteral("ended by a signal (exit code %1)").arg(result.exitCode);
    } else if (result.exitCode != 0) {
        why = QStringLiteral("exit code %1").arg(result.exitCode);
    } else if (const auto failure = encoder.checkEncoded(m_rawInput)) {
        why = failure->why;
        keep = failure->keepMp3;
    }
    const auto add = [&why](const QString &more) {
        why += (why.isEmpty() ? QString() : QStringLiteral("; ")) + more;
    };

    QString notCarried;
    if (why.isEmpty() || keep) {
        // The source's tags go into the new file before it is put in place: a
        // write that fails part way damages only that file, which then goes.
        bool damaged = false;
        notCarried = tags::carryTags(row, encoder.newMp3Path(), m_state.strParams, &damaged);
        if (damaged) {
            add(notCarried);
            keep = false;
        }
    }
    if (why.isEmpty() || keep) {
        QString notPlaced;
        if (encoder.commit(&notPlaced)) {
            m_written.insert(platform::fileIdentity(m_state.strMp3Path), platform::fileIdentity(row));
            if (why.isEmpty()) {
                if (!notCarried.isEmpty())
                    m_notes.append({row, notCarried, {}});
                return;
            }
            if (!notCarried.isEmpty())
                add(notCarried);
            add(encoder.keptNote());
            m_failures.append({row, why, result.errorTail()});
            return;
        }
        add(notPlaced);
    }
    if (const QString fate = encoder.discard(); !fate.isEmpty())
        add(fate);
    m_failures.append({row, why, result.errorTail()});
}

// The whole run's share done: the files finished and the current file's share, of
// those and the rows still to do, the current one among them (at least one). Rows
// removed behind the current one change neither; rows removed ahead make the rest
// a larger share. So the share never goes back within a run.
void BatchRun::showProgress(double fileShare)
{
    const int rowsLeft = m_lastIndex - m_state.intTrack + 1;
    m_view.showRunProgress((m_filesTried + fileShare) / (m_filesTried + rowsLeft));
}

void BatchRun::returnToIdle()
{
    m_view.setEncodeEnabled(true);
    m_view.setCancelEnabled(false);
    setLampsIdle();
}

void BatchRun::setLampsIdle()
{
    m_view.setLampColour(Lamp::shpWait, colours::WaitDim);
    m_view.setLampColour(Lamp::shpReady, colours::ReadyLit);
    m_view.setLampColour(Lamp::shpRecord, colours::RecordDim);
}

void BatchRun::endEmptyList()
{
    m_view.messageBox(QStringLiteral("No wav-files selected for encoding!"), kErrorTitle);
    if (m_abandoned)
        return;
    returnToIdle();
    m_view.setCaption(QStringLiteral("Encoding failed."));
    tellEnd(RunOutcome::End::Refused);
}

void BatchRun::endRefusedRow(const QString &message)
{
    m_view.messageBox(message, std::nullopt);
    if (m_abandoned)
        return;
    returnToIdle();
    m_view.setActivityText(QStringLiteral("Ready"));
    m_view.setCaption(QStringLiteral("Action Cancelled"));
    tellEnd(RunOutcome::End::Refused);
    reportFailures();
}

void BatchRun::endEncoderNotStarted()
{
    // A Cancel pressed just before the start would otherwise stop the next run.
    m_state.lngStopRequest = 0;
    const QString path = m_state.strLamePath.isEmpty() ? QStringLiteral("(no path is set)")
                                                       : m_state.strLamePath;
    m_view.messageBox(QStringLiteral("The encoder could not be started:\n%1\n\n"
                                     "The path to the encoder can be set with Config.")
                          .arg(path),
                      kErrorTitle);
    if (m_abandoned)
        return;
    returnToIdle();
    m_view.setActivityText(QStringLiteral("Ready"));
    m_view.setCaption(QStringLiteral("Encoding failed."));
    tellEnd(RunOutcome::End::Refused);
    reportFailures();
}

void BatchRun::endStopped()
{
    m_state.lngStopRequest = 0;
    m_view.setActivityColour(colours::TextWorking);
    m_view.setActivityText(QStringLiteral("User Requested Stop!"));
    m_view.setProgressColour(colours::TextIdle);
    m_view.setCaption(titleStopped());
    m_view.setEncodeEnabled(true);
    m_view.setCancelEnabled(false);
    tellEnd(RunOutcome::End::Stopped);
    reportFailures();
}

void BatchRun::endCompleted()
{
    if (m_failures.isEmpty()) {
        m_view.setActivityColour(colours::TextIdle);
        m_view.setActivityText(QStringLiteral("Done!"));
    } else {
        m_view.setActivityColour(colours::TextWorking);
        m_view.setActivityText(
            QStringLiteral("%1 of %2 %3 failed.")
                .arg(m_failures.size())
                .arg(m_filesTried)
                .arg(m_filesTried == 1 ? QStringLiteral("file") : QStringLiteral("files")));
    }
    m_view.setEncodeEnabled(true);
    m_view.setCancelEnabled(false);
    m_view.setCaption(titleCompleted());
    setLampsIdle();
    m_config.unloadAndRelease();
    tellEnd(RunOutcome::End::Completed);
    reportFailures();
}

void BatchRun::tellEnd(RunOutcome::End end)
{
    m_view.runEnded({.end = end, .tried = m_filesTried, .failed = static_cast<int>(m_failures.size())});
}

// The last step of any end after which a file has failed: one box that names
// every failed file, why, and what the encoder last wrote to its error output.
void BatchRun::reportFailures()
{
    if (m_failures.isEmpty() && m_notes.isEmpty())
        return;
    QString text;
    if (!m_failures.isEmpty())
        text = QStringLiteral("%1 of %2 %3 could not be encoded:\n")
                   .arg(m_failures.size())
                   .arg(m_filesTried)
                   .arg(m_filesTried == 1 ? QStringLiteral("file") : QStringLiteral("files"))
               + listed(m_failures);
    if (!m_notes.isEmpty())
        text = text.trimmed()
               + QStringLiteral("\n\n%1 encoded, with a note:\n")
                     .arg(m_notes.size() == 1 ? QStringLiteral("1 file was")
                                              : QStringLiteral("%1 files were").arg(m_notes.size()))
               + listed(m_notes);
    const QString title = m_failures.isEmpty() ? QStringLiteral("Encoding notes")
                                               : QStringLiteral("Encoding errors");
    m_failures.clear();
    m_notes.clear();
    m_view.messageBox(text.trimmed(), title);
}

// Each file with why, and what the encoder last wrote to its error output.
QString BatchRun::listed(const QList<FailedFile> &files)
{
    QString text;
    const qsizetype shown = std::min<qsizetype>(files.size(), kMaxListedFailures);
    for (qsizetype i = 0; i < shown; ++i) {
        const FailedFile &file = files.at(i);
        text += QLatin1Char('\n') + file.row + QStringLiteral(": ") + file.why + QLatin1Char('\n');
        const QStringList tail = file.errorTail.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : tail)
            text += QStringLiteral("    ") + line + QLatin1Char('\n');
    }
    if (shown < files.size())
        text += QStringLiteral("\n...and %1 more.").arg(files.size() - shown);
    return text;
}

} // namespace batch
