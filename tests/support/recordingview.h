// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/mainview.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <unistd.h>

// A window that records every operation asked of it, in order, so that a test also sees what should
// not have been done. A row selected past the end of the list reads as an empty text, as in the window.
class RecordingView : public batch::MainView {
public:
    mutable QStringList ops;
    QStringList rows;
    int selected = -1;
    QString outPath, custom;
    batch::PresetButtons buttons;
    QList<double> progress; // beside the window, kept apart from ops
    QList<batch::RunOutcome> ends;

    void setCaption(const QString &t) override { ops << "caption: " + t; }
    void setLampColour(batch::Lamp lamp, quint32 c) override
    {
        ops << QStringLiteral("lamp %1 %2")
                   .arg(QStringList{"shpReady", "shpWait", "shpRecord"}[int(lamp)])
                   .arg(c);
    }
    void setActivityText(const QString &t) override { ops << "activity: " + t; }
    void setActivityColour(quint32 c) override { ops << QStringLiteral("activity colour %1").arg(c); }
    void setProgressText(const QString &t) override { ops << "progress: " + t; }
    void setProgressColour(quint32 c) override { ops << QStringLiteral("progress colour %1").arg(c); }
    void setEncodeEnabled(bool on) override { ops << (on ? "encode on" : "encode off"); }
    void setCancelEnabled(bool on) override { ops << (on ? "cancel on" : "cancel off"); }
    int rowCount() const override { return ops << "rowCount", int(rows.size()); }
    void selectRow(int row) override { ops << QStringLiteral("select %1").arg(selected = row); }
    QString selectedRowText() const override { return ops << "selectedRowText", rows.value(selected); }
    QString rowText(int row) const override { return rows.value(row); }
    QString outPathText() const override { return ops << "outPathText", outPath; }
    QString customText() const override { return ops << "customText", custom; }
    batch::PresetButtons presetButtons() const override { return ops << "presetButtons", buttons; }
    void messageBox(const QString &text, const std::optional<QString> &title) override
    {
        ops << (title ? QStringLiteral("box [%1]: %2").arg(*title, text) : "box: " + text);
    }
    void showRunProgress(double fraction) override { progress << fraction; }
    void runEnded(const batch::RunOutcome &outcome) override { ends << outcome; }
};

// Children of this process, running or not yet reaped (with endedOnly, only the latter).
inline int childProcessCount(bool endedOnly = false)
{
    int count = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat"); // "pid (name) state ppid ..."
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        count += fields.value(1).toLongLong() == getpid() && (!endedOnly || fields.value(0) == "Z");
    }
    return count;
}
