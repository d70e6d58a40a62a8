// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/sessionbus.h"

#include <QString>

namespace platform {

// A short note in the desktop's notification area. It is sent without waiting for the desktop's answer;
// without a session bus, or with no notification service on it, nothing happens.
class DesktopNotification {
public:
    // desktopId: the program's desktop file id without ".desktop"; its icon has the same name.
    DesktopNotification(SessionBus &bus, const QString &appName, const QString &desktopId);

    void notify(const QString &summary);

private:
    SessionBus &m_bus;
    QString m_appName;
    QString m_desktopId;
};

} // namespace platform
