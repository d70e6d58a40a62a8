// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QString>

#include <memory>

// Files opened on the GUI thread, where nothing may wait on another process.
namespace platform {

struct ReadableFile {
    enum class Kind {
        Missing, // nothing at the path, or it cannot be looked at
        Folder,
        Special,    // a named pipe, a device or a socket: never opened
        Unreadable, // a file this process may not open
        Regular,
    };
    Kind kind = Kind::Missing;
    // Regular only: open for reading at its start, read-only and unbuffered;
    // handle() gives its descriptor to libraries that read by descriptor.
    std::unique_ptr<QFile> file{};
};

// Opens path, following symbolic links, only if it is a regular file. The
// file's type is looked up first (which opens nothing), and a named pipe or a
// device is left alone: opening one may wait for a writer or act on the device.
// The open itself cannot wait either, should a pipe take the file's place in
// between. Opening by descriptor lifts the name limit of libraries that copy
// the name (1,024 bytes) to the system's (4,095).
ReadableFile openForReading(const QString &path);

// A regular file opened to be read and written in place, by the same rules; a
// handle of -1 with the reason, in the system's words, when it is none.
struct WritableFile {
    int handle = -1; // the caller's to close, e.g. QFile::open(handle, mode, QFileDevice::AutoCloseHandle)
    QString error;
};

WritableFile openForWriting(const QString &path);

} // namespace platform
