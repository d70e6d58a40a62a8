// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace platform {

namespace {
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
} // namespace

DesktopNotification::DesktopNotification(SessionBus &bus, const QString &appName, const QString &desktopId)
    : m_bus(bus), m_appName(appName), m_desktopId(desktopId)
{
}

void DesktopNotification::notify(const QString &summary)
{
    const QString connection = m_bus.connectionName();
    if (connection.isEmpty())
        return;
    QDBusConnection bus(connection);
    if (!m_listening) {
        // Heard from any sender, so that no lookup of the service's owner holds up the window; the note's
        // number tells ours from other programs' notes.
        m_listening = bus.connect({}, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                                  SLOT(actionInvoked(uint, QString)))
                      && bus.connect({}, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                                     SLOT(closed(uint)));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kInterface, kPath, kInterface,
                                                       QStringLiteral("Notify"));
    // Application name, the note to replace, icon, summary, no body, the default action (a click on the note;
    // its label is what a reader of the note is told it does), hints, the server's own display time. The
    // desktop entry lets the notification area group the note under the program.
    call << m_appName << m_shownId << m_desktopId << summary << QString()
         << QStringList{kDefaultAction, QStringLiteral("Show ") + m_appName}
         << QVariantMap{{QStringLiteral("desktop-entry"), m_desktopId}} << -1;
    // The answer, the note's number, comes later; where no service runs, the error is of no use.
    bus.callWithCallback(call, this, SLOT(shown(uint)));
}

void DesktopNotification::shown(uint id) { m_shownId = id; }

void DesktopNotification::actionInvoked(uint id, const QString &action)
{
    if (id != 0 && id == m_shownId && action == kDefaultAction)
        emit activated();
}

// Closed by the user, by its time running out or by the service: a new note is a note of its own.
void DesktopNotification::closed(uint id)
{
    if (id == m_shownId)
        m_shownId = 0;
}

} // namespace platform
