// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>
#include <optional>

class QEventLoop;
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

// The arguments of a text by the rules above, as the program started from it gets them.
QStringList splitArguments(QStringView text);

// What a file is at one moment, to tell whether a child process has created,
// replaced or written it since. Times are kept to the nanosecond the file system
// gives, but the kernel stamps them from a clock that moves in ticks of a few
// milliseconds: a file rewritten to the same size within one tick of an earlier
// look, in place, reads as unchanged.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0; // status change: also moves on a truncation to the same size

    bool operator==(const FileStamp &) const = default;
};

// The stamp of the file at path, following symbolic links; exists is false when
// there is none (or it cannot be looked at).
FileStamp fileStamp(const QString &path);

// One file however a path spells it (through links, "..", another case on a file
// system that ignores case): the device and inode of a file that exists, else
// the canonical folder and the name of a file that a write would create there.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    QString missing; // for a file that does not exist (yet)

    bool operator==(const FileIdentity &) const = default;
};

FileIdentity fileIdentity(const QString &path);

inline size_t qHash(const FileIdentity &id, size_t seed = 0)
{
    return qHashMulti(seed, id.device, id.inode, id.missing);
}

// The file that a write through path reaches: the end of its chain of symbolic
// links, made absolute; path itself when it is no link.
QString linkTarget(const QString &path);

// One child process. It is started directly (no shell), with standard input and
// output on the null device and the tail of standard error kept for failure
// reports, in the caller's environment and current folder.
//
// A process still running when this object goes away is killed and reaped.
class ChildProcess {
public:
    // The tail of standard error keeps at most this many bytes: enough for the
    // last screenful of a progress display and the message after it.
    static constexpr qsizetype kTailBytes = 4096;

    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Splits the command line and starts the program. False when no program is
    // found or it cannot be executed; the object is then finished with.
    bool start(const QString &commandLine);

    // Waits until the process has ended or msecs have passed, whichever comes
    // first, and lets events run meanwhile (a local event loop: no busy loop).
    // True once the process has ended, also when it ended earlier (for instance
    // while the caller let pending events run). A handler that runs during the
    // wait may end it early with interruptWait().
    bool waitForEnd(int msecs);

    // Ends a waitForEnd in progress at once. Nothing happens outside one.
    void interruptWait();

    bool isRunning() const;

    // Valid once waitForEnd has returned true. An exit by a signal gives
    // 128 + the signal's number, as a shell reports it.
    int exitCode() const;
    bool killedBySignal() const;

    // The last bytes the process wrote to standard error, as written (control
    // sequences and all). errorOutputCut() tells whether earlier bytes were
    // dropped, so that the first line may be incomplete.
    QByteArray errorOutput() const { return m_tail; }
    bool errorOutputCut() const { return m_tailCut; }

    // Kills the process (SIGKILL) and reaps it. Nothing happens when it has
    // already ended.
    void kill();

private:
    void drainErrorOutput();

    std::unique_ptr<QProcess> m_process;
    QEventLoop *m_waitLoop = nullptr; // the loop of the wait in progress
    bool m_interrupted = false;       // interruptWait() ended that loop
    bool m_started = false;
    QByteArray m_tail;
    bool m_tailCut = false; // bytes before m_tail were dropped
};

} // namespace platform
