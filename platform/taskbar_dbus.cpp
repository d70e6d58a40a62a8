// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/taskbar.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace platform {

// The launcher-entry interface: a signal that any object of the program sends, naming its entry by the
// desktop file; the task managers and docks of the common desktops listen for it.
TaskbarEntry::TaskbarEntry(SessionBus &bus, const QString &desktopId)
    : m_bus(bus), m_appUri(QStringLiteral("application://%1.desktop").arg(desktopId))
{
}

TaskbarEntry::~TaskbarEntry() { clearProgress(); }

void TaskbarEntry::showProgress(double fraction)
{
    const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
    if (percent != m_shownPercent)
        send(percent);
}

void TaskbarEntry::clearProgress()
{
    if (m_shownPercent != kNoProgress)
        send(kNoProgress);
}

void TaskbarEntry::send(int percent)
{
    m_shownPercent = percent;
    const QString connection = m_bus.connectionName();
    if (connection.isEmpty())
        return;
    QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/org/example/Purlwave/TaskbarEntry"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    update << m_appUri
           << QVariantMap{{QStringLiteral("progress"), std::max(percent, 0) / 100.0},
                          {QStringLiteral("progress-visible"), percent != kNoProgress}};
    QDBusConnection(connection).send(update);
}

} // namespace platform
