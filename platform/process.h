#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QProcess;

// Child processes started from one command-line string, the way the encoder
// command line is built: program path first, unquoted, then the arguments.
namespace platform {

// A command line taken apart into the program to start and its arguments.
struct SplitCommand {
    QString program; // path of an executable file (found on PATH for a bare name)
    QStringList arguments;

    bool operator==(const SplitCommand &) const = default;
};

// Splits a command line the way the Windows loader and C runtime read one, so the
// program path need not be quoted even when it holds blanks.
//
// Program: a quoted program is taken whole, up to the next double quote. An
// unquoted one may contain blanks: every prefix that ends before a blank (and
// before the first double quote), or the whole text if it holds no double quote,
// is tried from the longest to the shortest, and the first that names an
// executable file wins. Longest first, so that "/opt/Program Files/enc" is never
// shadowed by an executable "/opt/Program". A name with no "/" is looked up on
// PATH only (never in the current folder).
//
// Arguments: blanks and tabs separate them; double quotes group and are removed;
// 2n backslashes before a double quote give n backslashes, 2n+1 give n and a
// literal quote; "" inside quotes gives a literal quote; other backslashes are
// literal. An unbalanced quote runs to the end of the text.
//
// nullopt when no program is found. File names that end in a blank cannot be
// named unquoted.
std::optional<SplitCommand> splitCommandLine(const QString &commandLine);

// One child process. It is started directly (no shell), with standard input and
// output on the null device and standard error kept as a short tail for failure
// reports, in the caller's environment and current folder.
//
// A process still running when this object goes away is killed and reaped.
class ChildProcess {
public:
    // The tail of standard error keeps at most this many bytes...
    static constexpr qsizetype TailBytes = 2048;
    // ...and errorTail() gives at most this many of its last lines.
    static constexpr int TailLines = 5;

    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Splits the command line and starts the program. False when no program is
    // found or it cannot be executed; the object is then finished with.
    bool start(const QString &commandLine);

    // Blocks until the process has ended or msecs have passed, whichever comes
    // first. True once the process has ended, also when it ended earlier (for
    // instance while the caller let pending events run).
    bool waitForEnd(int msecs);

    bool isRunning() const;

    // Valid once waitForEnd has returned true. An exit by a signal gives
    // 128 + the signal's number, as a shell reports it.
    int exitCode() const;
    bool killedBySignal() const;

    // The last lines the process wrote to standard error. A line that was
    // overwritten with carriage returns (a progress display) counts only with its
    // last text; blank lines are left out.
    QString errorTail() const;

    // Kills the process (SIGKILL) and reaps it. Nothing happens when it has
    // already ended.
    void kill();

private:
    void drainErrorOutput();

    std::unique_ptr<QProcess> m_process;
    bool m_started = false;
    QByteArray m_tail;
    bool m_tailCut = false; // bytes before m_tail were dropped
};

} // namespace platform
