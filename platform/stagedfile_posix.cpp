// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/stagedfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Leaves room for the rest of the name within the 255 bytes a file name may have.
constexpr qsizetype kMaxBaseBytes = 200;

QByteArray proof(const QByteArray &random, const struct stat &file)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData("purlwave staged file\n" + random + '\n' + QByteArray::number(quint64(file.st_dev)) + '\n'
                 + QByteArray::number(quint64(file.st_ino)));
    return hash.result().left(8).toHex();
}

QByteArray stagedName(const QString &target, const QByteArray &random, const struct stat &file)
{
    QString base = target;
    while (QFile::encodeName(base).size() > kMaxBaseBytes)
        base.chop(base.size() > 1 && base.back().isLowSurrogate() ? 2 : 1);
    return '.' + QFile::encodeName(base) + ".purlwave-" + random + '-' + proof(random, file) + ".part";
}

bool failed(QString *error)
{
    if (error)
        *error = qt_error_string(errno);
    return false;
}

} // namespace

StagedFile::~StagedFile()
{
    if (!m_done)
        remove(nullptr);
    close();
}

void StagedFile::close()
{
    // Closing the file also gives up its lock.
    if (m_file >= 0)
        ::close(m_file);
    if (m_dir >= 0)
        ::close(m_dir);
    m_file = m_dir = -1;
}

bool StagedFile::create(const QString &target, QString *error)
{
    const QFileInfo info(target);
    m_folder = info.path();
    m_target = info.fileName();
    m_dir = ::open(QFile::encodeName(m_folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_dir < 0)
        return failed(error);
    const QByteArray random =
        QByteArray::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');

    // The file needs its inode number before its name. Made without a name, it
    // never stands in the folder without its proof.
    struct stat made {};
    const auto adopt = [&](int file) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, {0, 0}};
        // The modification time stands at 0 until the encoder opens the file to
        // write it, so that an encoder that never did can be told from one that
        // wrote nothing.
        return flock(file, LOCK_EX | LOCK_NB) == 0 && futimens(file, times) == 0 && fstat(file, &made) == 0;
    };
    m_file = ::openat(m_dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (m_file >= 0 && adopt(m_file)) {
        const QByteArray name = stagedName(m_target, random, made);
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_file);
        if (::linkat(AT_FDCWD, self.constData(), m_dir, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
            m_name = QFile::decodeName(name);
            return true;
        }
    }
    if (m_file >= 0)
        ::close(m_file);

    const QByteArray named = '.' + QFile::encodeName(m_target).left(kMaxBaseBytes) + ".purlwave-" + random
                             + ".new";
    m_file = ::openat(m_dir, named.constData(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (m_file < 0)
        return failed(error);
    const QByteArray name = adopt(m_file) ? stagedName(m_target, random, made) : QByteArray();
    if (name.isEmpty() || ::renameat(m_dir, named.constData(), m_dir, name.constData()) != 0) {
        const bool result = failed(error);
        ::unlinkat(m_dir, named.constData(), 0);
        return result;
    }
    m_name = QFile::decodeName(name);
    return true;
}

QString StagedFile::path() const { return m_folder + QLatin1Char('/') + m_name; }

bool StagedFile::written() const
{
    struct stat now {};
    struct stat made {};
    return m_file >= 0
           && ::fstatat(m_dir, QFile::encodeName(m_name).constData(), &now, AT_SYMLINK_NOFOLLOW) == 0
           && ::fstat(m_file, &made) == 0
           && (now.st_ino != made.st_ino || now.st_dev != made.st_dev || now.st_size != 0
               || now.st_mtim.tv_sec != 0 || now.st_mtim.tv_nsec != 0);
}

bool StagedFile::commit(QString *error)
{
    const QByteArray name = QFile::encodeName(m_name), target = QFile::encodeName(m_target);
    const int file = ::openat(m_dir, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return failed(error);
    struct stat old {};
    struct stat now {};
    bool ok = ::fstat(file, &now) == 0;
    if (ok && ::fstatat(m_dir, target.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode)) {
        if (old.st_uid != now.st_uid || old.st_gid != now.st_gid) {
            // Only root may give a file away, and a user only to a group of theirs:
            // otherwise the new file is the user's, as one the encoder made would be.
            if (::fchown(file, old.st_uid, old.st_gid) != 0 && ::fchown(file, uid_t(-1), old.st_gid) != 0) {
            }
        }
        ok = ::fchmod(file, old.st_mode & 07777) == 0;
    }
    ok = ok && ::renameat(m_dir, name.constData(), m_dir, target.constData()) == 0;
    const int why = errno;
    ::close(file);
    if (!ok) {
        errno = why;
        return failed(error);
    }
    m_done = true;
    close();
    return true;
}

bool StagedFile::remove(QString *error)
{
    if (m_dir < 0 || m_done || m_name.isEmpty())
        return true;
    if (::unlinkat(m_dir, QFile::encodeName(m_name).constData(), 0) != 0 && errno != ENOENT)
        return failed(error);
    m_done = true;
    close();
    return true;
}

void StagedFile::removeLeftovers(const QString &folder)
{
    static const QRegularExpression kLeftover(
        QStringLiteral(R"(^\..*\.purlwave-([0-9a-f]{8})-([0-9a-f]{16})\.part$)"));
    const int dir = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.purlwave-*.part")},
                                                     QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = kLeftover.match(name);
        const QByteArray file = QFile::encodeName(name);
        struct stat named {};
        struct stat opened {};
        if (!match.hasMatch() || ::fstatat(dir, file.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISREG(named.st_mode) || named.st_uid != ::geteuid()
            || proof(match.captured(1).toLatin1(), named) != match.captured(2).toLatin1())
            continue;
        // A run under way holds its file's lock; only the lock's end at the
        // process's end lets the file go.
        const int fd = ::openat(dir, file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::fstat(fd, &opened) == 0 && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev
            && flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dir, file.constData(), 0);
        ::close(fd);
    }
    ::close(dir);
}

} // namespace platform
