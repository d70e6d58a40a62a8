// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Where the program and its files live.
namespace settings {

// The folder that holds the program file, with no trailing separator except at
// the root. Tests point it at a temporary folder.
QString programFolder();
void setProgramFolderForTesting(const QString &folder); // empty: back to the real one

// The program folder, one separator and the name, by plain concatenation: at the
// root this gives a doubled separator, which names the same file.
QString besideProgram(const QString &name);

// "purlwave.ini", the settings file's name wherever it lives.
QString settingsFileName();

// The settings file and the folder that holds it. A settings file in the program
// folder is always the one, whatever its permissions. Without one, a new one goes
// there when the program is not installed and the folder takes it; otherwise the
// file lives under the same name in the per-user configuration folder, which is
// created as needed. Found afresh at every call: the main window asks at its
// load, the configuration window at each of its loads, and each keeps the
// answer. So the two windows can name different files when the program folder
// changes while the program runs: a settings file appears in it or goes from
// it, or it is made writable or read-only.
struct SettingsLocation {
    QString folder;
    QString path;
};
SettingsLocation settingsLocation();

// The settings file as a window's load finds it: settingsLocation().path.
QString settingsFilePath();

// The help file: beside the program, or else in ../share/purlwave/ relative to
// the program folder; the one beside the program when neither exists.
QString helpFilePath();

// A folder cut after its root ("/", a drive root like "C:/", or a network share
// "//server/share/"), so that root + separator + rest names the folder again.
// A folder without a root (a relative path) gives an empty root.
struct RootSplit {
    QString root;
    QString rest;
};
RootSplit splitAtRoot(const QString &folder);

} // namespace settings
