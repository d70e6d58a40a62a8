// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/replacefile.h"

#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <ctime>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kMostLinks = 40; // the kernel's own limit on a chain of links
constexpr int kCopyLetters = 6;
// An empty copy younger than this may be a living writer's, between making it
// and locking it (only where the file system has no unnamed files).
constexpr time_t kEmptyCopySeconds = 60;
const char *const kAccessList = "system.posix_acl_access";

// An open file, closed when it goes out of scope. close() is for where the
// result counts: a network file system may report a failed write only there.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

FileWrite failed(int error) { return {FileWrite::Failed, error}; }

// What permissions or a read-only mount say no to, as opposed to a failure.
FileWrite refusedOr(int error)
{
    const bool refusal = error == EACCES || error == EPERM || error == EROFS || error == EISDIR
                         || error == ETXTBSY;
    return refusal ? FileWrite{FileWrite::Refused, error} : failed(error);
}

// The file a write goes to: its folder, held open so that every later step
// happens in the same folder, its name there, and the file itself.
struct Target {
    Fd folder;
    QByteArray name;
    Fd file; // open for reading and writing; none while there is no file
    struct stat st {};
};

// Follows the links on the way to the file, each read from the link itself (a
// link's text never changes), and opens the file at the end without following
// a link there, so that what is judged is what is written.
FileWrite openTarget(QByteArray path, Target &t)
{
    QList<uid_t> linkOwners;
    for (int step = 0;; ++step) {
        if (step > kMostLinks)
            return failed(ELOOP);
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder = slash < 0    ? QByteArray(".")
                                  : slash == 0 ? QByteArray("/")
                                               : path.first(slash);
        t.name = path.sliced(slash + 1);
        if (t.name.isEmpty())
            return {FileWrite::Refused};
        t.folder.reset(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!t.folder)
            return refusedOr(errno);
        t.file.reset(::openat(t.folder.get(), t.name.constData(),
                              O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (t.file || errno == ENOENT)
            break;
        if (errno != ELOOP)
            return refusedOr(errno);
        const Fd link(::openat(t.folder.get(), t.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat linkStat {};
        if (!link || ::fstat(link.get(), &linkStat) != 0)
            return failed(errno);
        if (!S_ISLNK(linkStat.st_mode))
            continue; // a file took the link's place meanwhile: look again
        QByteArray text(PATH_MAX, '\0');
        const ssize_t length = ::readlinkat(link.get(), "", text.data(), text.size());
        if (length < 0)
            return failed(errno);
        text.truncate(length);
        linkOwners.append(linkStat.st_uid);
        path = text.startsWith('/') ? text : folder + '/' + text;
    }
    if (t.file && ::fstat(t.file.get(), &t.st) != 0)
        return failed(errno);
    if (t.file && !S_ISREG(t.st.st_mode))
        return {FileWrite::Refused};
    // A link is followed only when it is the writer's own or its owner owns the
    // file at its end (a new file counts as the writer's): another user's link, in
    // a folder of theirs, could send the writer's bytes into any file the writer
    // may write.
    const uid_t writer = ::geteuid();
    const uid_t fileOwner = t.file ? t.st.st_uid : writer;
    for (const uid_t owner : linkOwners) {
        if (owner != writer && owner != fileOwner)
            return {FileWrite::ForeignLink};
    }
    // A file without any write bit is read-only for everyone, root included.
    if (t.file && !(t.st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        return {FileWrite::Refused};
    return {};
}

bool readAll(int fd, QByteArray &data)
{
    constexpr qsizetype kChunk = 1 << 16;
    data.clear();
    for (;;) {
        const qsizetype at = data.size();
        data.resize(at + kChunk);
        const ssize_t got = ::pread(fd, data.data() + at, kChunk, at);
        data.resize(at + qMax<ssize_t>(got, 0));
        if (got == 0)
            return true;
        if (got < 0 && errno != EINTR)
            return false;
    }
}

bool writeAll(int fd, QByteArrayView bytes, off_t at)
{
    while (!bytes.isEmpty()) {
        const ssize_t put = ::pwrite(fd, bytes.data(), bytes.size(), at);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = EIO;
            return false;
        }
        bytes = bytes.sliced(put);
        at += put;
    }
    return true;
}

QByteArray copyPrefix(const QByteArray &name) { return '.' + name + ".saving-"; }

QByteArray newCopyName(const QByteArray &name)
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray copyName = copyPrefix(name);
    for (int i = 0; i < kCopyLetters; ++i)
        copyName += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
    return copyName;
}

// Removes the copies that killed writers left of the file. A copy is taken for
// ours, and its writer for gone, only when all of this holds: its name is the
// file's name with our marker and six letters; it is a regular file of the
// writer's or of the file's owner; no lock is held on it (each writer locks its
// copy before the copy has its name and keeps the lock until the name is gone,
// and the system drops the lock when the writer dies, whatever pid namespace or
// machine it ran in); and it is not empty, or else a minute old (a writer
// without unnamed files has its copy empty and unlocked for a moment). Where the
// file system has no such locks, nothing is removed.
void removeLeftCopies(int folder, const QByteArray &name, uid_t fileOwner)
{
    const QByteArray prefix = copyPrefix(name);
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *const dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return; // copies stay until a later write; nothing is lost
    }
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView entryName(entry->d_name);
        if (entryName.size() != prefix.size() + kCopyLetters || !entryName.startsWith(prefix))
            continue;
        const Fd copy(::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {
        }, again{};
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (!copy || ::fstat(copy.get(), &st) != 0 || !S_ISREG(st.st_mode)
            || (st.st_uid != ::geteuid() && st.st_uid != fileOwner)
            || ::fcntl(copy.get(), F_OFD_GETLK, &lock) != 0 || lock.l_type != F_UNLCK
            || (st.st_size == 0 && now - st.st_mtime < kEmptyCopySeconds))
            continue;
        // Still the file judged above: a failed removal only leaves one copy more.
        if (::fstatat(folder, entry->d_name, &again, AT_SYMLINK_NOFOLLOW) == 0 && again.st_dev == st.st_dev
            && again.st_ino == st.st_ino)
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

// The old file's access control list and user attributes, onto the copy; a
// copy made in a folder with a default list loses the one it got there, when
// the old file had none. False where the copy does not take one of them: the
// file is then written in place, which keeps them. Only a refusal that the old
// file never met (a security module's) would cause that: the copy lies on the
// same file system, and already has the old file's owner.
bool copyAttributes(int from, int to)
{
    ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size < 0)
        return errno == ENOTSUP; // a file system without attributes
    QByteArray names(size, '\0');
    size = ::flistxattr(from, names.data(), names.size());
    if (size < 0)
        return false;
    names.truncate(size);
    bool hadList = false;
    for (const QByteArray &attribute : names.split('\0')) {
        if (attribute != kAccessList && !attribute.startsWith("user."))
            continue;
        hadList = hadList || attribute == kAccessList;
        const ssize_t length = ::fgetxattr(from, attribute.constData(), nullptr, 0);
        if (length < 0)
            return false;
        QByteArray value(length, '\0');
        if (::fgetxattr(from, attribute.constData(), value.data(), value.size()) != length
            || ::fsetxattr(to, attribute.constData(), value.constData(), value.size(), 0) != 0)
            return false;
    }
    return hadList || ::fremovexattr(to, kAccessList) == 0 || errno == ENODATA || errno == ENOTSUP;
}

// The old file's owner and group onto the copy. False where the copy cannot
// have them, a user writing another user's file: the file is then written in
// place, which keeps them.
bool takeOwner(const Target &t, int copy)
{
    struct stat st {};
    return ::fstat(copy, &st) == 0
           && ((st.st_uid == t.st.st_uid && st.st_gid == t.st.st_gid)
               || ::fchown(copy, t.st.st_uid, t.st.st_gid) == 0);
}

// Gives an unnamed copy a name of its own in the folder.
bool nameCopy(int folder, int copy, const QByteArray &name, QByteArray &copyName)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(copy);
    for (int attempt = 0; attempt < 100; ++attempt) {
        copyName = newCopyName(name);
        if (::linkat(AT_FDCWD, self.constData(), folder, copyName.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    copyName.clear();
    return false;
}

// What to try when a copy cannot be made (or named) the way asked.
enum class Instead { Nothing, NamedCopy, InPlace };

// Writes data into a copy beside the file and renames it over the file. Where
// the file system offers unnamed files, the copy is locked before it has a name
// and named only when it is whole and synced, so that a kill leaves either
// nothing or a whole copy that the next write removes.
FileWrite writeCopy(Target &t, const QByteArray &data, bool unnamed, Instead &instead)
{
    const int folder = t.folder.get();
    QByteArray copyName;
    Fd copy;
    // Only the writer may read a copy of a file until it has the file's mode.
    const mode_t mode = t.file ? 0600 : 0666;
    if (unnamed) {
        copy.reset(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
    } else {
        for (int attempt = 0; attempt < 100 && !copy; ++attempt) {
            copyName = newCopyName(t.name);
            copy.reset(::openat(folder, copyName.constData(),
                                O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!copy && errno != EEXIST)
                break;
        }
    }
    if (!copy) {
        instead = unnamed                                         ? Instead::NamedCopy
                  : t.file && (errno == EACCES || errno == EPERM) ? Instead::InPlace
                                                                  : Instead::Nothing;
        return refusedOr(errno);
    }
    // The proof for other writers that this copy's writer lives (removeLeftCopies);
    // without locks on this file system the copy of a killed writer stays.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ::fcntl(copy.get(), F_OFD_SETLKW, &lock);

    const auto discard = [&](int error) {
        if (!copyName.isEmpty())
            ::unlinkat(folder, copyName.constData(), 0); // a failure leaves a copy for a later write
        return failed(error);
    };
    // The bytes go in before the mode and the attributes, so that a named copy is
    // empty only for the few calls after its making. The mode comes before the
    // attributes: a list of named users sets the mode's group bits.
    const auto inPlace = [&] {
        discard(0);
        instead = Instead::InPlace;
        return FileWrite{};
    };
    if (t.file && !takeOwner(t, copy.get()))
        return inPlace();
    if (!writeAll(copy.get(), data, 0))
        return discard(errno);
    if (t.file
        && (::fchmod(copy.get(), t.st.st_mode & 07777) != 0 || !copyAttributes(t.file.get(), copy.get())))
        return inPlace();
    if (::fsync(copy.get()) != 0)
        return discard(errno);
    if (unnamed && !nameCopy(folder, copy.get(), t.name, copyName)) {
        instead = Instead::NamedCopy;
        return {};
    }
    if (::renameat(folder, copyName.constData(), folder, t.name.constData()) != 0)
        return discard(errno);
    // Closed only after the rename, so that the lock lasts as long as the copy's
    // name; its bytes are synced already.
    if (!copy.close())
        return failed(errno);
    if (::fsync(folder) != 0 && errno != EINVAL)
        return failed(errno);
    return {};
}

// Writes over the old bytes, in this order. First the room for the new length
// is made sure of: reserved past the end without changing the file, or where the
// file system cannot reserve, taken by writing the part past the old end first
// and syncing it (a failure cuts that part off again). Only then are the new
// bytes written from the start, padded with line ends to the old length when
// they are shorter, and synced; and only then is the file cut to the new length.
// So a full disk or quota fails before any old byte changes, and the overwrite
// needs no new room. Its limits: a kill during the overwrite leaves old and new
// bytes mixed; a file system that writes every change to a new place (btrfs,
// ZFS) may run out of room even there. A kill before the cut leaves the new
// entries followed by blank lines, which read the same.
FileWrite writeInPlace(Target &t, const QByteArray &data)
{
    const int fd = t.file.get();
    const off_t oldLength = t.st.st_size;
    if (data.size() > oldLength && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, data.size()) != 0) {
        if (errno != EOPNOTSUPP)
            return failed(errno);
        if (!writeAll(fd, QByteArrayView(data).sliced(oldLength), oldLength) || ::fdatasync(fd) != 0) {
            const int error = errno;
            // Should the cut fail too, the old bytes still come first, whole.
            [[maybe_unused]] const bool cut = ::ftruncate(fd, oldLength) == 0;
            return failed(error);
        }
    }
    QByteArray padded = data;
    if (padded.size() < oldLength)
        padded.append(oldLength - padded.size(), '\n');
    if (!writeAll(fd, padded, 0) || ::fdatasync(fd) != 0)
        return failed(errno);
    if (data.size() < oldLength && (::ftruncate(fd, data.size()) != 0 || ::fdatasync(fd) != 0))
        return failed(errno);
    if (!t.file.close())
        return failed(errno);
    return {};
}

} // namespace

FileWrite replaceFile(const QString &path, const std::function<QByteArray(const QByteArray &old)> &edit)
{
    if (path.isEmpty())
        return {FileWrite::Refused};
    Target t;
    if (const FileWrite opened = openTarget(QFile::encodeName(path), t); !opened)
        return opened;
    QByteArray old;
    if (t.file && !readAll(t.file.get(), old))
        return failed(errno);
    const QByteArray data = edit(old);
    if (t.file && data == old)
        return {};

    removeLeftCopies(t.folder.get(), t.name, t.file ? t.st.st_uid : ::geteuid());
    Instead instead = Instead::Nothing;
    FileWrite written = writeCopy(t, data, true, instead);
    if (instead == Instead::NamedCopy) {
        instead = Instead::Nothing;
        written = writeCopy(t, data, false, instead);
    }
    return instead == Instead::InPlace ? writeInPlace(t, data) : written;
}

} // namespace platform
