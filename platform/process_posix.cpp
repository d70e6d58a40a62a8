// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/process.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <sys/stat.h>

namespace platform {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

bool isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// A bare name is looked up on PATH only. Empty entries (which a shell reads as
// the current folder) are skipped, so a file dropped into the working folder is
// never run by accident.
QString findOnPath(const QString &name)
{
    QStringList folders;
    const QStringList entries = qEnvironmentVariable("PATH").split(QDir::listSeparator());
    for (const QString &entry : entries) {
        if (!entry.isEmpty())
            folders.append(entry);
    }
    if (folders.isEmpty())
        return {};
    return QStandardPaths::findExecutable(name, folders);
}

QString resolveProgram(const QString &candidate)
{
    if (candidate.isEmpty())
        return {};
    if (!candidate.contains(u'/'))
        return findOnPath(candidate);
    return isExecutableFile(candidate) ? candidate : QString();
}

} // namespace

// The C runtime's reading of an argument string.
QStringList splitArguments(QStringView text)
{
    QStringList arguments;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (true) {
        while (i < n && isBlank(text[i]))
            ++i;
        if (i >= n)
            break;

        QString argument;
        bool inQuotes = false;
        while (i < n && (inQuotes || !isBlank(text[i]))) {
            qsizetype backslashes = 0;
            while (i < n && text[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && text[i] == u'"') {
                argument.append(QString(backslashes / 2, u'\\'));
                if (backslashes % 2 == 1) {
                    argument.append(u'"');
                    ++i;
                } else if (inQuotes && i + 1 < n && text[i + 1] == u'"') {
                    argument.append(u'"');
                    i += 2;
                } else {
                    inQuotes = !inQuotes;
                    ++i;
                }
            } else if (backslashes > 0) {
                argument.append(QString(backslashes, u'\\'));
            } else {
                argument.append(text[i]);
                ++i;
            }
        }
        arguments.append(argument);
    }
    return arguments;
}

std::optional<SplitCommand> splitCommandLine(const QString &commandLine)
{
    qsizetype start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start]))
        ++start;
    const QStringView text = QStringView(commandLine).mid(start);
    if (text.isEmpty())
        return std::nullopt;

    if (text.front() == u'"') {
        const qsizetype close = text.indexOf(u'"', 1);
        const QStringView name = close < 0 ? text.mid(1) : text.mid(1, close - 1);
        const QString program = resolveProgram(name.toString());
        if (program.isEmpty())
            return std::nullopt;
        const QStringView rest = close < 0 ? QStringView() : text.mid(close + 1);
        return SplitCommand{program, splitArguments(rest)};
    }

    // Where the program may end: before each run of blanks that comes before the
    // first double quote, and at the end of a text that holds none.
    const qsizetype quote = text.indexOf(u'"');
    const qsizetype searchEnd = quote < 0 ? text.size() : quote;
    QList<qsizetype> ends;
    for (qsizetype i = 1; i < searchEnd; ++i) {
        if (isBlank(text[i]) && !isBlank(text[i - 1]))
            ends.append(i);
    }
    if (quote < 0)
        ends.append(text.size());

    for (auto it = ends.crbegin(); it != ends.crend(); ++it) {
        const QString program = resolveProgram(text.left(*it).toString());
        if (!program.isEmpty())
            return SplitCommand{program, splitArguments(text.mid(*it))};
    }
    return std::nullopt;
}

FileStamp fileStamp(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    constexpr qint64 kNsPerSecond = 1000000000;
    return FileStamp{.exists = true,
                     .device = static_cast<quint64>(info.st_dev),
                     .inode = static_cast<quint64>(info.st_ino),
                     .size = static_cast<qint64>(info.st_size),
                     .modifiedNs = info.st_mtim.tv_sec * kNsPerSecond + info.st_mtim.tv_nsec,
                     .changedNs = info.st_ctim.tv_sec * kNsPerSecond + info.st_ctim.tv_nsec};
}

QString linkTarget(const QString &path)
{
    QString target = path;
    // A chain longer than the system follows is left where it stands.
    for (int hops = 0; hops < 40 && QFileInfo(target).isSymLink(); ++hops)
        target = QFileInfo(target).symLinkTarget();
    return target;
}

FileIdentity fileIdentity(const QString &path)
{
    const FileStamp stamp = fileStamp(path);
    if (stamp.exists)
        return FileIdentity{.device = stamp.device, .inode = stamp.inode, .missing = {}};
    const QFileInfo file(linkTarget(QFileInfo(path).absoluteFilePath()));
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return FileIdentity{.missing = (folder.isEmpty() ? QDir::cleanPath(file.absolutePath()) : folder)
                                   + QLatin1Char('/') + file.fileName()};
}

ChildProcess::ChildProcess() = default;

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::start(const QString &commandLine)
{
    if (m_process)
        return false;
    const std::optional<SplitCommand> command = splitCommandLine(commandLine);
    if (!command)
        return false;

    m_process = std::make_unique<QProcess>();
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    // Take standard error as it arrives, so that a chatty process never holds
    // more than the tail in memory, wherever the event loop happens to run.
    QObject::connect(m_process.get(), &QProcess::readyReadStandardError, m_process.get(),
                     [this] { drainErrorOutput(); });
    m_process->start(command->program, command->arguments, QIODevice::ReadOnly);
    m_started = m_process->waitForStarted(-1);
    return m_started;
}

bool ChildProcess::waitForEnd(int msecs)
{
    if (!m_started)
        return true;
    // The process may have ended already (while pending events ran); the state
    // decides. A wait is never nested in another wait on the same process.
    if (m_process->state() != QProcess::NotRunning && !m_waitLoop) {
        // The window goes on answering while the process runs; the loop ends at
        // the process's end or at the time-out, whichever comes first. A precise
        // timer, so that the polls keep their rhythm.
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        timeout.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(m_process.get(), &QProcess::finished, &loop, &QEventLoop::quit);
        timeout.start(msecs);
        m_waitLoop = &loop;
        m_interrupted = false;
        loop.exec();
        m_waitLoop = nullptr;
        // Once the application has been told to quit, an event loop returns at
        // once: the rest of the wait then blocks, so that the caller's polls do
        // not turn into a busy loop.
        if (!m_interrupted && timeout.isActive() && m_process->state() != QProcess::NotRunning)
            m_process->waitForFinished(timeout.remainingTime());
    }
    drainErrorOutput();
    return m_process->state() == QProcess::NotRunning;
}

bool ChildProcess::isRunning() const { return m_started && m_process->state() != QProcess::NotRunning; }

int ChildProcess::exitCode() const
{
    if (!m_started)
        return 0;
    if (m_process->exitStatus() == QProcess::CrashExit)
        return 128 + m_process->exitCode(); // the signal's number
    return m_process->exitCode();
}

bool ChildProcess::killedBySignal() const
{
    return m_started && m_process->state() == QProcess::NotRunning
           && m_process->exitStatus() == QProcess::CrashExit;
}

void ChildProcess::interruptWait()
{
    if (m_waitLoop) {
        m_interrupted = true;
        m_waitLoop->quit();
    }
}

void ChildProcess::kill()
{
    if (!isRunning())
        return;
    m_process->kill();
    m_process->waitForFinished(-1);
    drainErrorOutput();
}

void ChildProcess::drainErrorOutput()
{
    if (!m_process)
        return;
    m_tail.append(m_process->readAllStandardError());
    // A cut may fall inside a character: a cut tail is read byte by byte, or as lines from its first line
    // ending on (errorOutputCut()).
    if (m_tail.size() > kTailBytes) {
        m_tail.remove(0, m_tail.size() - kTailBytes);
        m_tailCut = true;
    }
}

} // namespace platform
