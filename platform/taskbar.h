// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/sessionbus.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

namespace platform {

// A progress bar on the program's own entry in the taskbar or dock, where the desktop's task manager reads
// one. Without a session bus, or with nothing listening, it costs nothing and says nothing.
//
// The entry is updated from the event loop, at most once per kGuardMilliseconds, with the latest state:
// states set between two updates that would show for no time (a full bar that is taken off at once, say)
// are never sent, and the last state always is.
class TaskbarEntry {
public:
    // Docks put off, and report, updates that come faster than their guard interval of about 32 ms; this
    // keeps well clear of it, and a bar that moves a few times a second still looks smooth.
    static constexpr int kGuardMilliseconds = 150;

    // desktopId: the program's desktop file id without ".desktop", which the entry is known by.
    TaskbarEntry(SessionBus &bus, const QString &desktopId);
    ~TaskbarEntry();
    TaskbarEntry(const TaskbarEntry &) = delete;
    TaskbarEntry &operator=(const TaskbarEntry &) = delete;

    // fraction from 0 to 1, shown in whole per cents.
    void showProgress(double fraction);
    // Takes the progress bar off the entry, if it shows one.
    void clearProgress();

private:
    static constexpr int kNoProgress = -1; // no progress bar
    void want(int percent);
    void send(int percent);

    SessionBus &m_bus;
    QString m_appUri;
    int m_sentPercent = kNoProgress; // as the entry shows it
    int m_wantedPercent = kNoProgress;
    QTimer m_update; // the next update, due when the guard interval since the last one has passed
    QElapsedTimer m_sinceSent;
};

} // namespace platform
