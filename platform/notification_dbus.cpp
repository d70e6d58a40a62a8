// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace platform {

DesktopNotification::DesktopNotification(SessionBus &bus, const QString &appName, const QString &desktopId)
    : m_bus(bus), m_appName(appName), m_desktopId(desktopId)
{
}

void DesktopNotification::notify(const QString &summary)
{
    const QString connection = m_bus.connectionName();
    if (connection.isEmpty())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Application name, no note to replace, icon, summary, no body, no actions, hints, the server's own
    // display time. The desktop entry lets the notification area group the note under the program.
    call << m_appName << 0u << m_desktopId << summary << QString() << QStringList()
         << QVariantMap{{QStringLiteral("desktop-entry"), m_desktopId}} << -1;
    // The answer (the note's number, or an error where no service runs) is of no use and is not awaited.
    QDBusConnection(connection).call(call, QDBus::NoBlock);
}

} // namespace platform
