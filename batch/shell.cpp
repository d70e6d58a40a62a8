#include "batch/shell.h"

#include "batch/encoderoutput.h"
#include "batch/mainview.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <utility>

namespace batch {

namespace {

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
    result.errorTail = encoderoutput::messageLines(process.errorOutput(), process.errorOutputCut());
}

} // namespace

EncoderRun::EncoderRun(QString strCommandLine, QString strOutFile)
    : m_command(std::move(strCommandLine)), m_out(std::move(strOutFile)), m_before(platform::fileStamp(m_out))
{
}

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
    const bool namesProgram = !m_command.isEmpty() && !m_command.front().isSpace();
    if (!namesProgram || !m_process.start(m_command)) {
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
        view.setProgressText(kbytesCaption(QFileInfo(m_out).size()));

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

bool EncoderRun::wroteMp3() const
{
    const platform::FileStamp after = platform::fileStamp(m_out);
    return after.exists && after != m_before;
}

std::optional<audiocheck::Failure> EncoderRun::checkEncoded(const QString &source, bool rawInput) const
{
    return audiocheck::checkEncoded(source, m_out, rawInput);
}

QString EncoderRun::removeWritten()
{
    if (!wroteMp3())
        return {};
    const QString written = platform::linkTarget(m_out);
    const QString what =
        written == m_out ? QStringLiteral("the MP3 file")
                         : QStringLiteral("the MP3 file %1 (the target of the link %2)").arg(written, m_out);
    return what
           + (QFile::remove(written) ? QStringLiteral(" was removed")
                                     : QStringLiteral(" could not be removed"));
}

} // namespace batch
