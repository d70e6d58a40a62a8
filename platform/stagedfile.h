// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A new file made beside the file it is to replace and renamed over it when it is
// complete, so that the old file's name shows the old file whole or the new one
// whole, even when the program is killed part way.
namespace platform {

// The new file's name is hidden and its own: "." and the replaced file's name (cut
// to 200 bytes), ".purlwave-", 8 random hex digits, "-", 16 hex digits of a hash of
// those random digits with the new file's device and inode numbers, ".part". While
// this object lives it holds a lock on the file.
//
// A program killed part way leaves the file behind, and removeLeftovers() removes
// it at the next run in that folder. It removes a file only when it can prove the
// program made it: the name has that form, the hash matches the file's own device
// and inode (a copy, or a user's file of a like name, is another inode), it is a
// regular file of the user running the program, and nobody holds its lock (a run
// under way in that folder keeps its file). Where the file system cannot make a
// file without a name (FAT, some network file systems), the file is made under a
// name of the form ".NAME.purlwave-RANDOM.new" and renamed once its inode is known;
// a kill in that moment leaves an empty file of that name, which stays.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile(); // a file not put in place is removed
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    // Makes the new, empty file beside target. A link at target is not followed:
    // the caller passes the end of a chain of links. False, with the reason, when
    // the folder takes no new file.
    bool create(const QString &target, QString *error);
    QString path() const;
    // Whether anything has opened the new file to write it, or written it, since create().
    bool written() const;
    // Gives the file at path() the permissions of the file it replaces (and its
    // owner and group, where the user may give them) and renames it over target.
    // Reads the file by its name, so that a step that rewrote it under that name
    // counts. False, with the reason, when it could not be put in place; it then
    // stays until remove().
    bool commit(QString *error);
    // Removes the new file. False, with the reason, when it could not be removed.
    bool remove(QString *error);

    static void removeLeftovers(const QString &folder);

private:
    void close();

    int m_dir = -1;
    int m_file = -1;
    QString m_folder;
    QString m_name;
    QString m_target; // the name within the folder
    bool m_done = false;
};

} // namespace platform
