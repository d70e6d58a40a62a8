// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Replacing a small file as a whole, so that a failure or a kill part way leaves
// the old file.
namespace platform {

// What a temporary file's name adds to the name of the file it replaces,
// followed by six letters or digits: ".interrupted-write.Ab12Cd". Distinct
// enough that what a kill leaves behind can be told from the user's own files.
inline constexpr QLatin1String kInterruptedWriteInfix(".interrupted-write.");

// The file that a write to path replaces: the end of a chain of symbolic links
// (a user's settings kept with their other dotfiles stays a link), or the path
// itself when the chain is broken or endless.
QString finalFile(const QString &path);

// Writes data to a temporary file beside path (beside the file a link points
// to), syncs it and renames it over the file, which keeps its permissions; a new
// file gets read and write for its owner and read for everyone else. Only where
// the folder refuses a new file is the file written in place. False when the
// file could not be written; it is then as it was, unless only the write in
// place was possible.
bool replaceFile(const QString &path, const QByteArray &data);

} // namespace platform
