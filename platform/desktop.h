// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the desktop knows about the applications that open files.
namespace platform {

enum class DesktopApplication {
    Found,   // an application is set up for the file's type
    None,    // the desktop has none for it
    Unknown, // the desktop could not be asked, or gave no usable answer
};

// Whether the desktop has an application that opens file, judged by the file's
// type (from its name and its content). Asking may block for about two seconds
// at most.
DesktopApplication desktopApplicationFor(const QString &file);

} // namespace platform
