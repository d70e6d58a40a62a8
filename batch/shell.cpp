#include "batch/shell.h"

#include "batch/commandline.h"
#include "batch/mainview.h"

#include <QFileInfo>

#include <cmath>
#include <utility>

namespace batch {

namespace {

const QString kEarlierKept = QStringLiteral("the earlier MP3 file was kept");

// How often the window is let to answer, the label updated and the lamp blinked.
constexpr int kPollMilliseconds = 500;

// Bytes in kbytes of 1000, to the nearest whole number, a tie going to the even
// neighbour (the default rounding mode).
QString kbytesCaption(qint64 bytes)
{
    const auto kbytes = static_cast<qint64>(std::nearbyint(static_cast<double>(bytes) / 1000.0));
    return QString::number(kbytes) + QStringLiteral("kbytes");
}

// The encoder redraws a progress line such as "   100/767    (13%)|" with
// carriage returns; the last percentage in parentheses counts. 0 without one.
double encodedShare(const QByteArray &errorOutput)
{
    for (qsizetype end = errorOutput.lastIndexOf("%)"); end > 0;
         end = errorOutput.lastIndexOf("%)", end - 1)) {
        qsizetype start = end;
        while (start > 0 && QChar::isDigit(errorOutput[start - 1]))
            --start;
        const qsizetype digits = end - start;
        qsizetype open = start;
        while (open > 0 && errorOutput[open - 1] == ' ')
            --open;
        if (digits > 0 && digits <= 3 && open > 0 && errorOutput[open - 1] == '(')
            return std::min(errorOutput.mid(start, digits).toInt(), 100) / 100.0;
    }
    return 0;
}

void takeEnd(ShellResult &result, const platform::ChildProcess &process)
{
    result.exitCode = process.exitCode();
    result.killedBySignal = process.killedBySignal();
    result.errorOutput = process.errorOutput();
    result.errorOutputCut = process.errorOutputCut();
}

} // namespace

EncoderRun::EncoderRun(QString strCommandBase, QString source, QString strMp3Path)
    : m_commandBase(std::move(strCommandBase)), m_source(std::move(source)), m_out(std::move(strMp3Path)),
      m_target(platform::linkTarget(m_out))
{
    const QFileInfo target(m_target);
    m_hadEarlier = target.isFile();
    m_direct = target.exists() && !target.isFile() && !target.isDir();
}

QString EncoderRun::folder() const { return QFileInfo(m_target).path(); }

bool EncoderRun::stage(QString *why)
{
    QString error;
    if (m_direct || m_staged.create(m_target, &error))
        return true;
    *why = QStringLiteral("no new MP3 file can be made in the folder %1 (%2); check that it exists and "
                          "that you may write to it")
               .arg(folder(), error)
           + (m_hadEarlier ? QStringLiteral("; ") + kEarlierKept : QString());
    return false;
}

QString EncoderRun::commandLine() const { return BuildCommandLine(m_commandBase, m_source, newMp3Path()); }

bool EncoderRun::abandoned(const std::function<bool()> &abandonRequested, ShellResult &result)
{
    if (!m_abandon && (!abandonRequested || !abandonRequested()))
        return false;
    // The window is going away: end the encoder now and leave the view alone. An
    // encoder that had ended by itself meanwhile has finished its file, which is
    // then no incomplete output.
    m_process.kill();
    result.outcome = m_process.killedBySignal() ? ShellResult::Outcome::Abandoned
                                                : ShellResult::Outcome::Exited;
    takeEnd(result, m_process);
    return true;
}

ShellResult EncoderRun::ShellAndWait(MainView &view, const std::function<void()> &doEvents,
                                     const std::function<bool()> &abandonRequested,
                                     const std::function<void(double)> &fileShare)
{
    ShellResult result;
    // The encoder's path stands first. A line that begins with a blank has none
    // (an empty path): the first word of the parameters must not be taken for a
    // program and run.
    const QString command = commandLine();
    const bool namesProgram = !command.isEmpty() && !command.front().isSpace();
    if (!namesProgram || !m_process.start(command)) {
        // Nothing ran: the lamp stays as it was, and the result says so, so that
        // the batch can tell this from an encoder that exited with 0.
        view.setProgressText(QStringLiteral("Done!"));
        result.outcome = ShellResult::Outcome::CouldNotStart;
        return result;
    }

    qint32 blink = 0; // every call starts dim
    bool ended = false;
    while (!ended) {
        if (doEvents)
            doEvents();
        if (abandoned(abandonRequested, result))
            return result;

        ended = m_process.waitForEnd(kPollMilliseconds);
        if (abandoned(abandonRequested, result))
            return result;

        // A missing file (not created yet, or never) has size 0.
        view.setProgressText(kbytesCaption(QFileInfo(newMp3Path()).size()));

        if (blink == 1) {
            view.setLampColour(Lamp::shpRecord, colours::RecordLit);
            blink = 0;
        } else {
            view.setLampColour(Lamp::shpRecord, colours::RecordDim);
            blink = 1;
        }
        if (fileShare)
            fileShare(encodedShare(m_process.errorOutput()));
    }

    result.outcome = ShellResult::Outcome::Exited;
    takeEnd(result, m_process);

    view.setProgressText(QStringLiteral("Done!"));
    return result;
}

void EncoderRun::abandon()
{
    m_abandon = true;
    m_process.interruptWait();
}

bool EncoderRun::wroteMp3() const { return m_direct || m_staged.written(); }

std::optional<audiocheck::Failure> EncoderRun::checkEncoded(bool rawInput) const
{
    if (!wroteMp3())
        return audiocheck::Failure{QStringLiteral("the encoder reported success but wrote no MP3 file")};
    return audiocheck::checkEncoded(m_source, newMp3Path(), rawInput);
}

bool EncoderRun::commit(QString *why)
{
    QString error;
    if (m_direct || m_staged.commit(&error))
        return true;
    *why = QStringLiteral("the new MP3 file could not be renamed to %1 (%2)").arg(m_target, error);
    return false;
}

QString EncoderRun::keptNote() const
{
    return m_direct       ? QStringLiteral("the MP3 file was kept")
           : m_hadEarlier ? QStringLiteral("the new MP3 file was kept in place of the earlier one")
                          : QStringLiteral("the new MP3 file was kept");
}

QString EncoderRun::discard()
{
    if (m_direct)
        return {};
    QString fate = m_hadEarlier ? kEarlierKept
                   : wroteMp3() ? QStringLiteral("the new MP3 file was removed")
                                : QString();
    if (QString error; !m_staged.remove(&error))
        fate += (fate.isEmpty() ? QString() : QStringLiteral("; "))
                + QStringLiteral("the new MP3 file %1 could not be removed (%2)").arg(newMp3Path(), error);
    return fate;
}

} // namespace batch
