// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/savedchoices.h"

#include "settings/cinifile.h"
#include "settings/keys.h"
#include "settings/location.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace settings {

using namespace keys;

SavedChoices::SavedChoices(Cinifile &settings) : m_settings(settings) {}

StartKind SavedChoices::restoreOrCreate(ChoicesView &view)
{
    const SettingsLocation location = settingsLocation();
    const QFileInfo file(location.path);
    if (file.isFile()) {
        restore(view, location.path);
        return StartKind::Restored;
    }
    createWithDefaults(view, location.folder, location.path);
    return StartKind::FirstRun;
}

void SavedChoices::restore(ChoicesView &view, const QString &path)
{
    m_settings.setInifile(path);
    // Each box gets its whole stored text, which its change handler writes back
    // unchanged: a cut one would send the run's files to a folder that is not the
    // user's, or lose the end of the parameters, and overwrite the longer value.
    view.setOutPathText(m_settings.GetWholeValue(kPaths, kDestinationPath));
    view.setCustomText(m_settings.GetWholeValue(kCustom, kParameters));
    const QString preset = m_settings.GetFile(kSettings, kDefaultEncoding);
    if (const int code = presetCodeFromText(preset))
        view.setPresetButton(code);
}

void SavedChoices::createWithDefaults(ChoicesView &view, const QString &folder, const QString &path)
{
    // Cut at the root, whatever its length, so that the joined path is the very
    // file the existence test looked for.
    const RootSplit split = splitAtRoot(folder);
    if (split.root.isEmpty())
        m_settings.setInifile(path);
    else
        m_settings.CreateIni(split.root, split.rest + QDir::separator() + settingsFileName());

    // A refused write goes unreported, as every settings write does.
    const QString program = programFolder();
    // The MP3 files go into the program folder by default. Where that folder
    // refused the settings file it will refuse them too: they then go beside
    // their sources (an empty box).
    const bool besideTheProgram = path == besideProgram(settingsFileName());
    const QString destination = besideTheProgram ? program : QString();
    m_settings.WriteFile(kPaths, kSourcePath, program);
    m_settings.WriteFile(kPaths, kDestinationPath, destination);
    m_settings.WriteFile(kSettings, kDefaultEncoding, kCode128);
    m_settings.WriteFile(kPaths, kLame, defaultLamePath());
    view.setPresetButton(1);
    view.setOutPathText(destination);
}

void SavedChoices::txtOutPath_Change(const QString &text)
{
    if (m_settings.inifile().isEmpty()) // a change before the load named the file
        m_settings.setInifile(settingsFilePath());
    m_settings.WriteFile(kPaths, kDestinationPath, text);
}

void SavedChoices::txtCustom_Change(const QString &text)
{
    if (m_settings.inifile().isEmpty())
        m_settings.setInifile(settingsFilePath());
    m_settings.WriteFile(kCustom, kParameters, text);
}

int presetCodeFromText(const QString &text)
{
    bool ok = false;
    const double number = QLocale().toDouble(text, &ok);
    if (!ok)
        return 0;
    for (int code = 1; code <= 4; ++code) {
        if (number == code)
            return code;
    }
    return 0;
}

QString defaultLamePath()
{
    const QString own = besideProgram(QStringLiteral("lame"));
    if (QFileInfo(own).isFile())
        return own;
    const QString onSearchPath = QStandardPaths::findExecutable(QStringLiteral("lame"));
    return onSearchPath.isEmpty() ? own : QDir::toNativeSeparators(onSearchPath);
}

} // namespace settings
