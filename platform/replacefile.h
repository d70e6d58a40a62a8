// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Rewriting a small file as a whole, so that a failure leaves the old file whole
// and a kill part way leaves the old file or the new one.
namespace platform {

struct FileWrite {
    enum Outcome {
        Written,     // the file holds the new bytes (or held them already)
        Refused,     // the file or its folder may not be written: no permission, a
                     // file without any write bit, a read-only file system, not a file
        ForeignLink, // the name is a symbolic link that another user made to a file
                     // not of theirs: nothing is written through it
        Failed,      // the system failed the write; error holds its errno
    };
    Outcome outcome = Written;
    int error = 0;
    explicit operator bool() const { return outcome == Written; }
};

// Reads the file at path (empty when there is none), hands its bytes to edit
// and puts what edit gives back in its place; nothing is written when the bytes
// are the same.
//
// A symbolic link is followed only where its owner is the writer or the owner of
// the file it leads to (as the kernel's protected_symlinks does in shared
// folders), judged on the file actually opened, so that a link swapped meanwhile
// changes nothing. A link kept with the user's other dotfiles stays a link: the
// new file goes beside the file it leads to.
//
// The new bytes go into a new file beside the old one, which gets the old one's
// owner, group, mode, access control list and user attributes, is synced and
// renamed over it. Where the folder takes no new file, or the new file cannot
// keep the old one's owner or attributes (a user writing another user's file
// that they may write), the file is written in place instead, and only once the
// space for the new bytes is known to be there. Either way a failed write leaves
// the old bytes as they were. A kill leaves the old file or the new one whole,
// except part way through a write in place.
//
// A kill before the rename leaves the new file under a hidden name of the file's
// own (".purlwave.ini.saving-" and six letters or digits). Each later write in
// that folder removes such copies that no living writer holds (see
// replacefile_posix.cpp); files of other names are never touched.
FileWrite replaceFile(const QString &path, const std::function<QByteArray(const QByteArray &old)> &edit);

} // namespace platform
