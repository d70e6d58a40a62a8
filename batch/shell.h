#pragma once

#include "batch/audiocheck.h"
#include "platform/process.h"

#include <QString>

#include <functional>
#include <optional>

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
    // The exit code: 0 when no process was created; nonzero for an encoder ended
    // by a signal, so 137 (the kill) for an abandoned one.
    int exitCode = 0;
    bool killedBySignal = false;
    // The encoder's last message lines on its error output, for failure
    // reports; its progress display and other chatter left out.
    QString errorTail;

    bool succeeded() const { return outcome == Outcome::Exited && exitCode == 0; }
};

// The run of the encoder on one file: its child process, the MP3 file as it was
// before, the checks after the run and the removal of what the encoder wrote.
class EncoderRun {
public:
    // Notes the MP3 file as it is now; nothing is started yet.
    EncoderRun(QString strCommandLine, QString strOutFile);

    // Runs the command line and waits for it, polling every 500 ms: at each poll
    // it lets pending events run (doEvents), waits, shows the output file's size
    // in kbytes on the progress line and blinks the Encoding lamp. Ends with
    // "Done!" on the progress line. The wait ends as soon as the encoder does, and
    // window events go on being handled during it, not only at the polls. At each
    // poll fileShare hears how much of its file the encoder says it has done, 0
    // to 1 (0 while it says nothing).
    //
    // The run is abandoned when abandon() was called or abandonRequested answers
    // true, which it is asked after every doEvents and every wait: the encoder is
    // killed and the call returns at once, Abandoned, or Exited when the encoder
    // had ended by itself before the kill.
    ShellResult ShellAndWait(MainView &view, const std::function<void()> &doEvents,
                             const std::function<bool()> &abandonRequested = {},
                             const std::function<void(double)> &fileShare = {});

    // For a handler that runs during the wait: ends the wait at once, and the
    // run is abandoned.
    void abandon();

    // After the run: whether the encoder created or changed the MP3 file.
    bool wroteMp3() const;
    std::optional<audiocheck::Failure> checkEncoded(const QString &source, bool rawInput) const;
    // Removes what the encoder wrote and no more: the MP3 file, or the file a
    // link there leads to (the encoder wrote through the link, which stays).
    // What happened, for the report ("the MP3 file was removed"); empty when the
    // encoder wrote nothing.
    QString removeWritten();

private:
    bool abandoned(const std::function<bool()> &abandonRequested, ShellResult &result);

    QString m_command;
    QString m_out;
    platform::FileStamp m_before;
    platform::ChildProcess m_process;
    bool m_abandon = false;
};

} // namespace batch
