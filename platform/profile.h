#pragma once

#include <QString>

// Profile (INI) files, one entry at a time, in place of the platform calls that
// Windows offers for them. Texts are converted to the system's 8-bit encoding here.
namespace platform {

// The value of section/key in the file, cut to at most bufferSize - 1 bytes at a
// character boundary, or defaultValue when the file, section or key is missing.
QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int bufferSize, const QString &path);

// Writes section/key=value, creating the file, section or entry as needed; every
// other line of the file stays as it was. False when the file could not be written.
bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &path);

} // namespace platform
