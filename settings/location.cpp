// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace settings {

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

// Whether the folder takes a new file, tried with a temporary file of another
// name: one named like the settings file, left empty by a kill before its
// removal, would be taken as the user's settings at the next start. Where the
// system offers it the file has no name at all, and a kill leaves nothing.
bool takesNewFile(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/purlwave-write-test-XXXXXX"));
    return probe.open();
}

bool isSeparator(QChar c) { return c == u'/' || c == QDir::separator(); }

// Where an installed program keeps its shared files: share/purlwave/ beside its
// "bin" folder.
QString installedDataFolder() { return QDir(programFolder()).filePath(QStringLiteral("../share/purlwave")); }

// True when the program runs from an installed layout: its folder is a "bin"
// folder beside which share/purlwave/ exists.
bool runsFromInstalledLayout()
{
    return QDir(programFolder()).dirName() == QLatin1String("bin")
           && QFileInfo(installedDataFolder()).isDir();
}
} // namespace

QString programFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void setProgramFolderForTesting(const QString &folder) { programFolderOverride() = folder; }

QString besideProgram(const QString &name) { return programFolder() + QDir::separator() + name; }

QString settingsFileName() { return QStringLiteral("purlwave.ini"); }

SettingsLocation settingsLocation()
{
    const SettingsLocation beside{programFolder(), besideProgram(settingsFileName())};
    const QFileInfo there(beside.path);
    // A settings file beside the program is the user's, whatever its permissions:
    // it is read, and a write it refuses fails without a word. Taking a fresh
    // per-user file instead would seem to lose every saved choice. Anything else
    // of that name (a folder, a dangling link) is no settings file, and the folder
    // cannot take one.
    if (there.isFile())
        return beside;
    // An installed program's folder is shared by every user, and a privileged
    // user could write into it; only a portable folder takes a settings file.
    if (!there.exists() && !there.isSymLink() && !runsFromInstalledLayout() && takesNewFile(beside.folder))
        return beside;

    const QString userFolder = QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    if (userFolder.isEmpty())
        return beside; // nowhere better: writes fail without a word, as they always did
    QDir().mkpath(userFolder);
    return {userFolder, userFolder + QDir::separator() + settingsFileName()};
}

QString settingsFilePath() { return settingsLocation().path; }

QString helpFilePath()
{
    const QString name = QStringLiteral("purlwave.chm");
    const QString beside = besideProgram(name);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(installedDataFolder() + QLatin1Char('/') + name);
    // When neither is there, the place beside the program is the one to name.
    return QFileInfo::exists(installed) ? QDir::toNativeSeparators(installed) : beside;
}

RootSplit splitAtRoot(const QString &folder)
{
    qsizetype rootLength = 0;
    if (folder.size() >= 2 && isSeparator(folder[0]) && isSeparator(folder[1])) {
        // A network share: the root runs to the separator after the share's name.
        qsizetype pos = 2;
        for (int part = 0; part < 2 && pos <= folder.size(); ++part) {
            while (pos < folder.size() && !isSeparator(folder[pos]))
                ++pos;
            ++pos;
        }
        rootLength = qMin(pos, folder.size());
    } else if (folder.size() >= 3 && folder[0].isLetter() && folder[1] == u':' && isSeparator(folder[2])) {
        rootLength = 3;
    } else if (!folder.isEmpty() && isSeparator(folder[0])) {
        rootLength = 1;
    }
    return {folder.left(rootLength), folder.mid(rootLength)};
}

} // namespace settings
