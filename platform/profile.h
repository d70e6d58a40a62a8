// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/replacefile.h"

#include <QString>

// Profile (INI) files, one entry at a time, in place of the platform calls that
// Windows offers for them. Texts are converted to the system's 8-bit encoding here.
//
// Section headers are "[name]", entries "key=value"; lines starting with ';' or '#'
// are comments. Names match without regard to case and blanks around names and
// values do not count. Only the first section of a name, and in it the first entry
// of a key, is seen by a read or changed by a write.
namespace platform {

// The value of section/key in the file, cut to at most bufferSize - 1 bytes at a
// character boundary, or defaultValue (cut the same way) when the file, section or
// key is missing.
QString GetPrivateProfileString(const QString &section, const QString &key, const QString &defaultValue,
                                int bufferSize, const QString &path);

// Writes section/key=value, creating the file, section or entry as needed; every
// other line of the file stays as it was, and the file is replaced as a whole
// (replaceFile). Not written, with the file untouched, when it could not be:
// Refused also when it has no write permission bit at all, and when a text would
// break the line structure (a line break in any text, an empty name, '=' in the
// key, ']' in the section).
FileWrite WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                                    const QString &path);

} // namespace platform
