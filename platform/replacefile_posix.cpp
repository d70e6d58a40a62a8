// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/replacefile.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool writeInPlace(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size()
           && file.flush() && ::fdatasync(file.handle()) == 0;
}

} // namespace

bool replaceFile(const QString &path, const QByteArray &data)
{
    struct stat old {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &old) == 0 && S_ISREG(old.st_mode);
    // Qt's save file writes through a link, keeps the mode, uses an unnamed file
    // where the system offers one, and syncs it before the rename.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return exists && writeInPlace(path, data);
    // Root writing a user's file would otherwise make it root's: the user could
    // then neither read nor save their choices.
    struct stat created {};
    const bool ownerKept = !exists
                           || (::fstat(file.handle(), &created) == 0 && created.st_uid == old.st_uid
                               && created.st_gid == old.st_gid)
                           || ::fchown(file.handle(), old.st_uid, old.st_gid) == 0;
    if (!ownerKept) {
        // The file is not ours to give away; its mode lets us write it.
        file.cancelWriting();
        return writeInPlace(path, data);
    }
    return file.write(data) == data.size() && file.commit();
}

} // namespace platform
