#include "settings/savedchoices.h"

#include "platform/profile.h"
#include "settings/cinifile.h"
#include "settings/location.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScopedValueRollback>
#include <QStandardPaths>

namespace settings {

namespace {
const QString kPaths = QStringLiteral("PATHS");
const QString kSettings = QStringLiteral("SETTINGS");
const QString kCustom = QStringLiteral("CUSTOM");
const QString kDestination = QStringLiteral("Destination Path");
const QString kParameters = QStringLiteral("Parameters");

// Far beyond the 99 bytes that the settings object reads: enough to tell a
// value that was cut from one that was not, whatever its last character's size.
constexpr int kWideRead = 4096;
} // namespace

SavedChoices::SavedChoices(Cinifile &settings) : m_settings(settings) {}

StartKind SavedChoices::restoreOrCreate(ChoicesView &view)
{
    const SettingsLocation location = settingsLocation();
    const QFileInfo file(location.path);
    m_found = file.isFile() ? file.fileName() : QString();
    if (!m_found.isEmpty()) {
        restore(view, location.path);
        return StartKind::Restored;
    }
    createWithDefaults(view, location.folder, location.path);
    return StartKind::FirstRun;
}

void SavedChoices::restore(ChoicesView &view, const QString &path)
{
    m_settings.setInifile(path);

    const QString outPath = m_settings.GetFile(kPaths, kDestination);
    {
        const QScopedValueRollback keep(m_keepStoredOutPath, readWasCut(kPaths, kDestination, outPath));
        view.setOutPathText(outPath);
    }
    const QString custom = m_settings.GetFile(kCustom, kParameters);
    {
        const QScopedValueRollback keep(m_keepStoredCustom, readWasCut(kCustom, kParameters, custom));
        view.setCustomText(custom);
    }
    if (const int code = presetCodeFromText(m_settings.GetFile(kSettings, QStringLiteral("Default Encoding"))))
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
    m_settings.WriteFile(kPaths, QStringLiteral("Source Path"), program);
    m_settings.WriteFile(kPaths, kDestination, program);
    m_settings.WriteFile(kSettings, QStringLiteral("Default Encoding"), QStringLiteral("1"));
    m_settings.WriteFile(kPaths, QStringLiteral("LAME"), defaultLamePath());
    view.setPresetButton(1);
    view.setOutPathText(program);
}

bool SavedChoices::readWasCut(const QString &section, const QString &key, const QString &value) const
{
    return platform::GetPrivateProfileString(section, key, QString(), kWideRead, m_settings.inifile()) != value;
}

void SavedChoices::txtOutPath_Change(const QString &text)
{
    if (m_keepStoredOutPath)
        return;
    if (m_settings.inifile().isEmpty()) // a change before the load named the file
        m_settings.setInifile(settingsFilePath());
    m_settings.WriteFile(kPaths, kDestination, text);
}

void SavedChoices::txtCustom_Change(const QString &text)
{
    if (m_keepStoredCustom)
        return;
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
