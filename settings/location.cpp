#include "settings/location.h"

#include <QCoreApplication>
#include <QDir>

namespace settings {

namespace {
QString &programFolderOverride()
{
    static QString folder;
    return folder;
}

// Plain concatenation, as the file names have always been formed: at the root
// this gives a doubled separator, which names the same file.
QString besideProgram(const QString &name)
{
    return programFolder() + QDir::separator() + name;
}
} // namespace

QString programFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void setProgramFolderForTesting(const QString &folder) { programFolderOverride() = folder; }

QString settingsFilePath() { return besideProgram(QStringLiteral("purlwave.ini")); }

QString helpFilePath() { return besideProgram(QStringLiteral("purlwave.chm")); }

} // namespace settings
