#include "batch/shell.h"

#include "batch/encoderoutput.h"
#include "batch/mainview.h"
#include "platform/process.h"

#include <QFileInfo>

#include <cmath>
#include <utility>

namespace batch {

namespace {

// How often the window is let to answer, the label updated and the lamp blinked.
constexpr int kPollMilliseconds = 500;

// The process whose end the call in progress waits for. The batch never runs two
// encoders at once, so there is at most one.
platform::ChildProcess *g_waiting = nullptr;

// Bytes in kbytes of 1000, to the nearest whole number, a tie going to the even
// neighbour (the default rounding mode).
QString kbytesCaption(qint64 bytes)
{
    const auto kbytes = static_cast<qint64>(std::nearbyint(static_cast<double>(bytes) / 1000.0));
    return QString::number(kbytes) + QStringLiteral("kbytes");
}

void takeEnd(ShellResult &result, const platform::ChildProcess &process)
{
    result.exitCode = process.exitCode();
    result.killedBySignal = process.killedBySignal();
    result.errorTail = encoderoutput::messageLines(process.errorOutput(), process.errorOutputCut());
}

} // namespace

ShellResult ShellAndWait(const QString &strCommandLine, const QString &strOutFile, MainView &view,
                         const std::function<void()> &doEvents, const std::function<bool()> &abandonRequested)
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

    platform::ChildProcess *const outerWait = std::exchange(g_waiting, &process);
    const auto abandoned = [&] {
        if (!abandonRequested || !abandonRequested())
            return false;
        // The window is going away: end the encoder now and leave the view alone.
        // An encoder that had ended by itself meanwhile has finished its file,
        // which is then no incomplete output.
        process.kill();
        result.outcome = process.killedBySignal() ? ShellResult::Outcome::Abandoned
                                                  : ShellResult::Outcome::Exited;
        takeEnd(result, process);
        g_waiting = outerWait;
        return true;
    };

    qint32 blink = 0; // every call starts dim
    bool ended = false;
    while (!ended) {
        if (doEvents)
            doEvents();
        if (abandoned())
            return result;

        ended = process.waitForEnd(kPollMilliseconds);
        if (abandoned())
            return result;

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

    g_waiting = outerWait;
    result.outcome = ShellResult::Outcome::Exited;
    takeEnd(result, process);

    view.setProgressText(QStringLiteral("Done!"));
    return result;
}

void InterruptShellWait()
{
    if (g_waiting)
        g_waiting->interruptWait();
}

} // namespace batch
