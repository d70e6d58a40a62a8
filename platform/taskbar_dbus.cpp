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
    m_update.setSingleShot(true);
    QObject::connect(&m_update, &QTimer::timeout, &m_update, [this] { send(m_wantedPercent); });
}

// A bar still shown goes with the window, at once: no later update would come. A dock that hears this
// within its guard interval puts it off, but keeps it.
TaskbarEntry::~TaskbarEntry()
{
    if (m_sentPercent != kNoProgress)
        send(kNoProgress);
}

void TaskbarEntry::showProgress(double fraction)
{
    want(static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100)));
}

void TaskbarEntry::clearProgress() { want(kNoProgress); }

void TaskbarEntry::want(int percent)
{
    m_wantedPercent = percent;
    if (percent == m_sentPercent) {
        m_update.stop();
        return;
    }
    if (m_update.isActive())
        return;
    // From the event loop even when the interval has passed: what the caller changes next, before it
    // returns there, replaces this state instead of following it.
    const qint64 since = m_sinceSent.isValid() ? m_sinceSent.elapsed() : kGuardMilliseconds;
    m_update.start(static_cast<int>(std::max<qint64>(0, kGuardMilliseconds - since)));
}

void TaskbarEntry::send(int percent)
{
    m_update.stop();
    m_sentPercent = percent;
    m_sinceSent.start();
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
