// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/sessionbus.h"

#include <QObject>
#include <QString>

namespace platform {

// A short note in the desktop's notification area. It is sent without waiting for the desktop's answer;
// without a session bus, or with no notification service on it, nothing happens. A note takes the place of
// the one before it while that one still shows, and a click on it (its default action) is told by
// activated().
class DesktopNotification : public QObject {
    Q_OBJECT
public:
    // desktopId: the program's desktop file id without ".desktop"; its icon has the same name.
    DesktopNotification(SessionBus &bus, const QString &appName, const QString &desktopId);

    void notify(const QString &summary);

signals:
    void activated();

private slots: // the notification service's answer and signals
    void shown(uint id);
    void actionInvoked(uint id, const QString &action);
    void closed(uint id);

private:
    SessionBus &m_bus;
    QString m_appName;
    QString m_desktopId;
    bool m_listening = false;
    uint m_shownId = 0; // the note that shows, by the service's number; 0: none
};

} // namespace platform
