// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/replacefile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace platform {

QString finalFile(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

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
    const QString target = finalFile(path);
    const QFileInfo existing(target);
    QTemporaryFile temporary(target + kInterruptedWriteInfix + QStringLiteral("XXXXXX"));
    if (!temporary.open())
        return existing.isFile() && writeInPlace(target, data);
    const QFileDevice::Permissions permissions = existing.exists()
                                                     ? QFile::permissions(target)
                                                     : QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                           | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (!temporary.setPermissions(permissions) || temporary.write(data) != data.size() || !temporary.flush()
        || ::fdatasync(temporary.handle()) != 0)
        return false;
    // A rename replaces the old file in one step; the temporary name is gone after it.
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target).constData())
        != 0)
        return false;
    temporary.setAutoRemove(false);
    return true;
}

} // namespace platform
