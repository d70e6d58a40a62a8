// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/sessionbus.h"

#include <QString>

namespace platform {

// A progress bar on the program's own entry in the taskbar or dock, where the desktop's task manager reads
// one. Without a session bus, or with nothing listening, it costs nothing and says nothing.
class TaskbarEntry {
public:
    // desktopId: the program's desktop file id without ".desktop", which the entry is known by.
    TaskbarEntry(SessionBus &bus, const QString &desktopId);
    ~TaskbarEntry();
    TaskbarEntry(const TaskbarEntry &) = delete;
    TaskbarEntry &operator=(const TaskbarEntry &) = delete;

    // fraction from 0 to 1. Sent only when it reaches another whole per cent, however often it is called.
    void showProgress(double fraction);
    // Takes the progress bar off the entry, if it shows one.
    void clearProgress();

private:
    void send(int percent); // below 0: no progress bar

    static constexpr int kNoProgress = -1;
    SessionBus &m_bus;
    QString m_appUri;
    int m_shownPercent = kNoProgress;
};

} // namespace platform
