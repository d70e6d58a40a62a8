#pragma once

#include "batch/audiocheck.h"
#include "batch/encoderoutput.h"
#include "platform/process.h"
#include "platform/stagedfile.h"

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
    // The last bytes of the encoder's error output, as it wrote them.
    QByteArray errorOutput;
    bool errorOutputCut = false; // its beginning was dropped

    bool succeeded() const { return outcome == Outcome::Exited && exitCode == 0; }
    // The encoder's last message lines on its error output, for failure reports;
    // its progress display and other chatter left out. Taken apart only for a
    // report: a file that succeeds never pays for it.
    QString errorTail() const { return encoderoutput::messageLines(errorOutput, errorOutputCut); }
};

// The run of the encoder on one file: its child process, the new MP3 file it
// writes, the checks after the run, and the new file put in place of the MP3 file
// or removed. The encoder writes a file of its own beside the MP3 file (beside the
// file a link there leads to, so that the link stays), which replaces the MP3
// file whole only when it is good: until then an MP3 file that was there stays as
// it was, whatever ends the run, a kill of the program included. An MP3 path that
// names a named pipe or a device is written directly, as the user asked: nothing
// may be put in its place, and what went there cannot be read back.
class EncoderRun {
public:
    // Nothing is made or started yet. The first three as BuildCommandLine takes them.
    EncoderRun(QString strCommandBase, QString source, QString strMp3Path);

    // The folder of the new file, where stage() makes it.
    QString folder() const;
    // Makes the new, empty MP3 file. False, with the reason for the report, when
    // the folder takes no new file; nothing is to be run then.
    bool stage(QString *why);
    QString newMp3Path() const { return m_direct ? m_out : m_staged.path(); }
    // The command line the encoder runs: the one the batch builds, with the new
    // file in the place of the MP3 file.
    QString commandLine() const;

    // Runs the command line and waits for it, polling every 500 ms: at each poll
    // it lets pending events run (doEvents), waits, shows the new file's size in
    // kbytes on the progress line and blinks the Encoding lamp. Ends with "Done!"
    // on the progress line. The wait ends as soon as the encoder does, and window
    // events go on being handled during it, not only at the polls. At each poll
    // fileShare hears how much of its file the encoder says it has done, 0 to 1 (0
    // while it says nothing).
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

    // After the run: whether the encoder wrote the new file (opened it to write, at least).
    bool wroteMp3() const;
    // For the report, of a new file committed though a check failed.
    QString keptNote() const;
    std::optional<audiocheck::Failure> checkEncoded(bool rawInput) const;
    // Puts the new file in the place of the MP3 file. False, with the reason for
    // the report, when it could not be; the new file is then still to discard().
    bool commit(QString *why);
    // Removes the new file. What became of the files, for the report ("the
    // earlier MP3 file was kept"); empty when there was no MP3 file and the
    // encoder wrote none.
    QString discard();

private:
    bool abandoned(const std::function<bool()> &abandonRequested, ShellResult &result);

    QString m_commandBase;
    QString m_source;
    QString m_out;
    QString m_target; // the file a write through m_out reaches
    bool m_hadEarlier = false;
    bool m_direct = false; // the MP3 path names no regular file, nor a folder, nor nothing
    platform::StagedFile m_staged;
    platform::ChildProcess m_process;
    bool m_abandon = false;
};

} // namespace batch
