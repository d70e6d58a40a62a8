#pragma once

#include <QString>

#include <functional>

namespace batch {

class MainView;

// How one encoder run ended.
struct ShellResult {
    enum class Outcome {
        Exited,        // the encoder ran and ended by itself (or by a signal)
        CouldNotStart, // no process was created
        Abandoned,     // the caller asked to abandon the run; the encoder was killed
    };
    Outcome outcome = Outcome::CouldNotStart;
    // The exit code. Nonzero for an encoder killed by a signal. 0 unless Exited.
    int exitCode = 0;
    bool killedBySignal = false;
    // The encoder's last message lines on its error output, for failure
    // reports; its progress display and other chatter left out.
    QString errorTail;

    bool succeeded() const { return outcome == Outcome::Exited && exitCode == 0; }
};

// Runs one encoder command line and waits for it, polling every 500 ms: at each
// poll it lets pending events run (doEvents), waits, shows the output file's size
// in kbytes on the progress line and blinks the Encoding lamp. Ends with "Done!"
// on the progress line. The wait ends as soon as the encoder does, and window
// events go on being handled during it, not only at the polls.
//
// abandonRequested is asked after every doEvents and every wait; when it answers
// true the encoder is killed and the call returns Abandoned at once.
ShellResult ShellAndWait(const QString &strCommandLine, const QString &strOutFile, MainView &view,
                         const std::function<void()> &doEvents,
                         const std::function<bool()> &abandonRequested = {});

// Ends the wait of the ShellAndWait call in progress at once, so that it asks
// abandonRequested now rather than at the end of its 500 ms. For a handler that
// runs during the wait; nothing happens when no call waits.
void InterruptShellWait();

} // namespace batch
