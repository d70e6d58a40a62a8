// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace settings {

// The settings file, one key at a time. Holds only the file's path: every read
// and every write goes to the file at once.
class Cinifile {
public:
    // Sets the path to the drive part and directory part joined by one separator.
    // Does not touch the disk.
    void CreateIni(const QString &strDrv, const QString &strDir);

    // Writes one entry at once. The user is never told of a failure, but the
    // caller is: false when the file could not be written.
    bool WriteFile(const QString &strSection, const QString &strKey, const QString &strValue);

    // The entry's value (at most 99 bytes of it), or the empty text when the
    // file, the section or the key is missing.
    QString GetFile(const QString &strSection, const QString &strKey) const;

    // The entry's whole value, however long. For the windows' loads: a folder or
    // an encoder path cut to the read limit would be put into a box that the
    // next run uses, and be written back over the whole value at once.
    QString GetWholeValue(const QString &strSection, const QString &strKey) const;

    void setInifile(const QString &New_IniPath);
    QString inifile() const;

private:
    static QString MakePath(QString strDrv, QString strDir);

    QString m_path;
};

} // namespace settings
