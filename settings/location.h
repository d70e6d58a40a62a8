#pragma once

#include <QString>

// Where the program and its files live.
namespace settings {

// The folder that holds the program file, with no trailing separator except at
// the root. Tests point it at a temporary folder.
QString programFolder();
void setProgramFolderForTesting(const QString &folder); // empty: back to the real one

// The settings file that both windows use.
QString settingsFilePath();

// The help file beside the program.
QString helpFilePath();

} // namespace settings
