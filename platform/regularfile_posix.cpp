// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/regularfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

OpenedFile openRegularFile(const QString &path, bool forWriting)
{
    const int flags = (forWriting ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int handle = ::open(QFile::encodeName(path).constData(), flags);
    if (handle < 0)
        return {-1, qt_error_string(errno)};
    struct stat status {};
    if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(handle);
        return {-1, QStringLiteral("not a regular file")};
    }
    // The flag means nothing to a regular file's reads and writes; cleared so that nobody wonders.
    ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) & ~O_NONBLOCK);
    return {handle, {}};
}

} // namespace platform
