// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/regularfile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

ReadableFile openForReading(const QString &path)
{
    using Kind = ReadableFile::Kind;
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    if (name.isEmpty() || ::stat(name.constData(), &before) != 0)
        return {};
    if (S_ISDIR(before.st_mode))
        return {Kind::Folder};
    if (!S_ISREG(before.st_mode))
        return {Kind::Special};
    // O_NONBLOCK: a named pipe put in the file's place since the look opens at
    // once; on a regular file it changes nothing.
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return {Kind::Unreadable};
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(descriptor);
        return {Kind::Special};
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return {Kind::Unreadable};
    }
    return {Kind::Regular, std::move(file)};
}

WritableFile openForWriting(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    if (::stat(name.constData(), &before) != 0)
        return {-1, qt_error_string(errno)};
    if (!S_ISREG(before.st_mode))
        return {-1, QStringLiteral("not a regular file")};
    const int handle = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0)
        return {-1, qt_error_string(errno)};
    struct stat opened {};
    if (::fstat(handle, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(handle);
        return {-1, QStringLiteral("not a regular file")};
    }
    return {handle, {}};
}

} // namespace platform
