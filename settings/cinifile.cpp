// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/cinifile.h"

#include "platform/profile.h"

#include <QDir>

#include <limits>

namespace settings {

namespace {
// A read gives back at most one byte less than this.
constexpr int kReadBufferSize = 100;
const QChar kSeparator = QDir::separator();

Cinifile::FailedWriteListener &failedWriteListener()
{
    static Cinifile::FailedWriteListener listener;
    return listener;
}
} // namespace

void Cinifile::CreateIni(const QString &strDrv, const QString &strDir) { m_path = MakePath(strDrv, strDir); }

bool Cinifile::WriteFile(const QString &strSection, const QString &strKey, const QString &strValue)
{
    const platform::FileWrite result = platform::WritePrivateProfileString(strSection, strKey, strValue,
                                                                           m_path);
    const bool told = result.outcome == platform::FileWrite::Failed
                      || result.outcome == platform::FileWrite::ForeignLink;
    if (told && failedWriteListener())
        failedWriteListener()(m_path, result);
    return bool(result);
}

void Cinifile::setFailedWriteListener(FailedWriteListener listener)
{
    failedWriteListener() = std::move(listener);
}

QString Cinifile::GetFile(const QString &strSection, const QString &strKey) const
{
    return platform::GetPrivateProfileString(strSection, strKey, QString(), kReadBufferSize, m_path);
}

QString Cinifile::GetWholeValue(const QString &strSection, const QString &strKey) const
{
    return platform::GetPrivateProfileString(strSection, strKey, QString(), std::numeric_limits<int>::max(),
                                             m_path);
}

void Cinifile::setInifile(const QString &New_IniPath) { m_path = New_IniPath; }

QString Cinifile::inifile() const { return m_path; }

// Exactly one separator between the parts, also when either part is empty.
QString Cinifile::MakePath(QString strDrv, QString strDir)
{
    while (strDrv.endsWith(kSeparator))
        strDrv.chop(1);
    while (strDir.startsWith(kSeparator))
        strDir.remove(0, 1);
    return strDrv + kSeparator + strDir;
}

} // namespace settings
