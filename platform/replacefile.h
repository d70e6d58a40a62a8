// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Replacing a small file as a whole, so that a failure or a kill part way leaves
// the old file.
namespace platform {

// Writes data to a new file beside path (beside the file a symbolic link points
// to, so that a user's settings kept with their other dotfiles stay a link),
// syncs it and renames it over the file. The file keeps its permissions, its
// owner and its group; a new file gets the permissions the user's file mode mask
// leaves of read and write for everyone. A kill part way leaves the old file and
// at most, in the moment before the rename, a whole copy of the new one named
// like the file, a dot and six letters or digits; it cannot be told from the
// user's own files and is left alone. The file is written in place, and so a
// kill can cut it short, only where the folder refuses a new file or the new
// file could not be given the old one's owner and group (a user other than root
// writing another user's file). False when the file could not be written; it is
// then as it was, unless only the write in place was possible.
bool replaceFile(const QString &path, const QByteArray &data);

} // namespace platform
