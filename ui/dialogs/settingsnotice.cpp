// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/settingsnotice.h"

#include "settings/cinifile.h"
#include "ui/dialogs/messagebox.h"

#include <QApplication>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <utility>

namespace ui {

namespace {
QString notice(const QString &path, const platform::FileWrite &result)
{
    const bool link = result.outcome == platform::FileWrite::ForeignLink;
    const QString why = link ? QStringLiteral("it is a link that another user made, and Purlwave does not "
                                              "write through it")
                             : QString::fromLocal8Bit(std::strerror(result.error));
    const QString remedy = link ? QStringLiteral("Remove the link or put a file of your own in its place")
                           : result.error == ENOSPC || result.error == EDQUOT
                               ? QStringLiteral("Make room on that disk, or in your disk quota")
                               : QStringLiteral("Check that disk");
    return QStringLiteral(
               "Your choices are not being saved: the settings file %1 cannot be written (%2).\n\n"
               "Purlwave goes on with what you choose, but will not remember it at the next start. "
               "%3, then set your choices again.")
        .arg(path, why, remedy);
}
} // namespace

void announceFailedSettingsWrites()
{
    settings::Cinifile::setFailedWriteListener([told = false](const QString &path,
                                                              const platform::FileWrite &result) mutable {
        if (std::exchange(told, true))
            return;
        QTimer::singleShot(0, QCoreApplication::instance(), [text = notice(path, result)] {
            MessageBox::information(QApplication::activeWindow(), text, QStringLiteral("Settings not saved"));
        });
    });
}

} // namespace ui
