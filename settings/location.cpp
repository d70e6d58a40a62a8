#include "settings/location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace settings {

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

// A file without any write bit is read-only for everyone, the profile writes
// included. Otherwise the bits say nothing for a privileged user, nor about a
// read-only file system: only an open for writing tells.
bool canWriteExisting(const QString &path)
{
    // WriteUser is left out: it reports what the current user may do, which for a
    // privileged user is everything.
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!(QFileInfo(path).permissions() & anyWrite))
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadWrite);
}

// Creates the file to see that it can be, and removes it again, so that the
// start-up's existence test still sees a first run.
bool canCreate(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    file.close();
    file.remove();
    return true;
}

bool isSeparator(QChar c) { return c == u'/' || c == QDir::separator(); }
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
    if (there.isFile() ? canWriteExisting(beside.path) : !there.exists() && canCreate(beside.path))
        return beside;

    const QString userFolder =
        QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    if (userFolder.isEmpty())
        return beside; // nowhere better: writes fail without a word, as they always did
    QDir().mkpath(userFolder);
    return {userFolder, userFolder + QDir::separator() + settingsFileName()};
}

QString settingsFilePath() { return settingsLocation().path; }

QString helpFilePath() { return besideProgram(QStringLiteral("purlwave.chm")); }

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
