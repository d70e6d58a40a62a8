// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace platform {

// A regular file opened by its path without waiting: an ordinary open of a named
// pipe waits for a writer, and one of a device may wait for a medium. Such a file
// is opened without waiting, found to be no regular file and closed again.
struct OpenedFile {
    int handle = -1; // the caller's to close, e.g. QFile::open(handle, mode, QFileDevice::AutoCloseHandle)
    QString error;   // why there is no handle, in the system's words
};

OpenedFile openRegularFile(const QString &path, bool forWriting);

} // namespace platform
