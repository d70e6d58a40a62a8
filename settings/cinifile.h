// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/replacefile.h"

#include <QString>

#include <functional>

namespace settings {

// The settings file, one key at a time. Holds only the file's path: every read
// and every write goes to the file at once.
class Cinifile {
public:
    // Sets the path to the drive part and directory part joined by one separator.
    // Does not touch the disk.
    void CreateIni(const QString &strDrv, const QString &strDir);

    // Writes one entry at once. False when the file could not be written; the
    // listener below hears of it too.
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

    // Hears of every write that did not reach its file for a reason the user
    // should know of: the system failed it (a full disk, a quota, an I/O error),
    // or the file is a link that another user made. A refusal by the file's or
    // its folder's permissions is the owner's choice and stays unannounced. One
    // listener for the whole program; none by default.
    using FailedWriteListener = std::function<void(const QString &path, const platform::FileWrite &result)>;
    static void setFailedWriteListener(FailedWriteListener listener);

private:
    static QString MakePath(QString strDrv, QString strDir);

    QString m_path;
};

} // namespace settings
