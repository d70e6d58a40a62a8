// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

namespace ui {
// The program's start: shows the main window, whose load restores the saved
// choices or creates the settings file, then adds the files given to the program
// (its arguments as raw bytes, each a path or a file:// URL) to the list, as a
// drop of them would.
void Main(const QList<QByteArray> &arguments = {});

// The program's arguments after its name, as the bytes the system gave.
QList<QByteArray> programArguments(int argc, char *argv[]);
} // namespace ui
