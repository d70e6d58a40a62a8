#include "batch/batchrun.h"

#include "batch/commandline.h"
#include "batch/configview.h"
#include "batch/mainview.h"
#include "settings/cinifile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

constexpr qint32 StopRequested = 10;

// intTrack is 16-bit, so a run covers at most this many rows. The list refuses
// more at the drop; this only keeps the index from wrapping.
constexpr int MaxRows = std::numeric_limits<qint16>::max();

const QString kErrorTitle = QStringLiteral("Error!");

// A box taller than the screen is no use: past this many the rest are counted.
constexpr qsizetype MaxListedFailures = 20;

} // namespace

QString BatchRun::titleStopped() { return QStringLiteral("Purlwave v1.3 - by the Purlwave developers"); }

QString BatchRun::titleCompleted() { return QStringLiteral("Purlwave v1.1 - made by the Purlwave team"); }

BatchRun::BatchRun(MainView &view, ConfigView &config, Cinifile &settings, std::function<void()> doEvents)
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
    m_state.lngStopRequest = StopRequested;
    m_view.setCancelEnabled(false);
    m_view.setCaption(QStringLiteral("User requested stop, please wait while finishing current track..."));
}

void BatchRun::abandon()
{
    if (m_running)
        m_abandoned = true;
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
    for (const EncodePreset &preset : PresetsReadingOn(buttons.opt128, buttons.optVar, buttons.Opt256,
                                                       buttons.optCustom, customText)) {
        s.strParams = preset.strParams;
        m_settings.WriteFile(QStringLiteral("SETTINGS"), QStringLiteral("Default Encoding"), preset.code);
    }

    s.strCommandBase = s.strLamePath + s.strParams;

    m_view.setCaption(QStringLiteral("Encoding in process, please wait..."));

    const int rowsAtStart = m_view.rowCount();
    const QString strTrackCount = QString::number(rowsAtStart);
    m_lastIndex = std::min(rowsAtStart, MaxRows) - 1;
    s.intTrack = 0;

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

        m_view.setActivityColour(colours::TextWorking);
        m_view.setActivityText(QStringLiteral("Encoding track ") + s.strMp3Name + QStringLiteral(" (")
                               + QString::number(s.intTrack + 1 + m_removedBefore) + QLatin1Char('/')
                               + strTrackCount + QLatin1Char(')'));
        m_view.setProgressColour(colours::TextWorking);

        letEventsRun();
        if (m_abandoned)
            return;

        const ShellResult result = ShellAndWait(s.strCommand, s.strMp3Path, m_view, m_doEvents,
                                                [this] { return m_abandoned; });
        if (m_abandoned) {
            // The encoder was killed half-way: what it wrote is no MP3 file.
            if (result.outcome == ShellResult::Outcome::Abandoned)
                QFile::remove(s.strMp3Path);
            return;
        }

        m_view.setProgressColour(colours::TextIdle);

        if (result.outcome == ShellResult::Outcome::CouldNotStart) {
            endEncoderNotStarted();
            return;
        }
        ++m_filesTried;
        noteFailure(rowText, result);

        if (s.lngStopRequest == StopRequested) {
            endStopped();
            return;
        }
        ++s.intTrack;
    }
}

void BatchRun::noteFailure(const QString &row, const ShellResult &result)
{
    QString why;
    if (result.killedBySignal) {
        why = QStringLiteral("ended by a signal (exit code %1)").arg(result.exitCode);
    } else if (result.exitCode != 0) {
        why = QStringLiteral("exit code %1").arg(result.exitCode);
    } else {
        const QFileInfo mp3(m_state.strMp3Path);
        if (!mp3.exists())
            why = QStringLiteral("exit code 0, but no MP3 file was written");
        else if (mp3.size() == 0)
            why = QStringLiteral("exit code 0, but the MP3 file is empty");
    }
    if (!why.isEmpty())
        m_failures.append({row, why, result.errorTail});
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
}

void BatchRun::endRefusedRow(const QString &message)
{
    m_view.messageBox(message, std::nullopt);
    if (m_abandoned)
        return;
    returnToIdle();
    m_view.setActivityText(QStringLiteral("Ready"));
    m_view.setCaption(QStringLiteral("Action Cancelled"));
    reportFailures();
}

void BatchRun::endEncoderNotStarted()
{
    // A Cancel pressed just before the start would otherwise stop the next run.
    m_state.lngStopRequest = 0;
    const QString path = m_state.strLamePath.isEmpty() ? QStringLiteral("(no path is set)") : m_state.strLamePath;
    m_view.messageBox(QStringLiteral("The encoder could not be started:\n%1\n\n"
                                     "The path to the encoder can be set with Config.")
                          .arg(path),
                      kErrorTitle);
    if (m_abandoned)
        return;
    returnToIdle();
    m_view.setActivityText(QStringLiteral("Ready"));
    m_view.setCaption(QStringLiteral("Encoding failed."));
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
    reportFailures();
}

void BatchRun::endCompleted()
{
    if (m_failures.isEmpty()) {
        m_view.setActivityColour(colours::TextIdle);
        m_view.setActivityText(QStringLiteral("Done!"));
    } else {
        m_view.setActivityColour(colours::TextWorking);
        m_view.setActivityText(QStringLiteral("%1 of %2 %3 failed.")
                                   .arg(m_failures.size())
                                   .arg(m_filesTried)
                                   .arg(m_filesTried == 1 ? QStringLiteral("file") : QStringLiteral("files")));
    }
    m_view.setEncodeEnabled(true);
    m_view.setCancelEnabled(false);
    m_view.setCaption(titleCompleted());
    setLampsIdle();
    m_config.unloadAndRelease();
    reportFailures();
}

// The last step of any end after which a file has failed: one box that names
// every failed file, why, and what the encoder last wrote to its error output.
void BatchRun::reportFailures()
{
    if (m_failures.isEmpty())
        return;
    QString text = QStringLiteral("%1 of %2 %3 could not be encoded:\n")
                       .arg(m_failures.size())
                       .arg(m_filesTried)
                       .arg(m_filesTried == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    const qsizetype listed = std::min<qsizetype>(m_failures.size(), MaxListedFailures);
    for (qsizetype i = 0; i < listed; ++i) {
        const FailedFile &failed = m_failures.at(i);
        text += QLatin1Char('\n') + failed.row + QStringLiteral(": ") + failed.why + QLatin1Char('\n');
        const QStringList tail = failed.errorTail.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : tail)
            text += QStringLiteral("    ") + line + QLatin1Char('\n');
    }
    if (listed < m_failures.size())
        text += QStringLiteral("\n...and %1 more.").arg(m_failures.size() - listed);
    m_failures.clear();
    m_view.messageBox(text.trimmed(), QStringLiteral("Encoding errors"));
}
