#include "batch/shell.h"

#include "batch/mainview.h"
#include "platform/process.h"

#include <QFileInfo>

#include <cmath>

namespace {

// How often the window is let to answer, the label updated and the lamp blinked.
constexpr int PollMilliseconds = 500;

// Bytes in kbytes of 1000, to the nearest whole number, a tie going to the even
// neighbour (the default rounding mode).
QString kbytesCaption(qint64 bytes)
{
    const auto kbytes = static_cast<qint64>(std::nearbyint(static_cast<double>(bytes) / 1000.0));
    return QString::number(kbytes) + QStringLiteral("kbytes");
}

} // namespace

ShellResult ShellAndWait(const QString &strCommandLine, const QString &strOutFile, MainView &view,
                         const std::function<void()> &doEvents,
                         const std::function<bool()> &abandonRequested)
{
    ShellResult result;
    platform::ChildProcess process;
    // The encoder's path stands first. A line that begins with a blank has none
    // (an empty path): the first word of the parameters must not be taken for a
    // program and run.
    const bool namesProgram = !strCommandLine.isEmpty() && !strCommandLine.front().isSpace();
    if (!namesProgram || !process.start(strCommandLine)) {
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
        if (abandonRequested && abandonRequested()) {
            // The window is going away: end the encoder now and leave the view alone.
            // An encoder that had ended by itself during the pending events has
            // finished its file, which is then no incomplete output.
            process.kill();
            result.outcome = process.killedBySignal() ? ShellResult::Outcome::Abandoned
                                                      : ShellResult::Outcome::Exited;
            result.exitCode = process.exitCode();
            result.killedBySignal = process.killedBySignal();
            result.errorTail = process.errorTail();
            return result;
        }

        ended = process.waitForEnd(PollMilliseconds);

        // A missing file (not created yet, or never) has size 0.
        view.setProgressText(kbytesCaption(QFileInfo(strOutFile).size()));

        if (blink == 1) {
            view.setLampColour(Lamp::shpRecord, colours::RecordLit);
            blink = 0;
        } else {
            view.setLampColour(Lamp::shpRecord, colours::RecordDim);
            blink = 1;
        }
    }

    result.outcome = ShellResult::Outcome::Exited;
    result.exitCode = process.exitCode();
    result.killedBySignal = process.killedBySignal();
    result.errorTail = process.errorTail();

    view.setProgressText(QStringLiteral("Done!"));
    return result;
}
