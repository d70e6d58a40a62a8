// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop.h"

#include <QDeadlineTimer>
#include <QMimeDatabase>
#include <QMimeType>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

namespace {
constexpr int kQueryTimeoutMs = 2000;
}

// The freedesktop.org query reads the same associations that the desktop's
// opener uses. The opener itself cannot tell: it reports success as soon as it
// has started, whether or not anything follows.
DesktopApplication desktopApplicationFor(const QString &file)
{
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    // Looked up on PATH here, so that the current folder is never searched.
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (type.isEmpty() || query.isEmpty())
        return DesktopApplication::Unknown;

    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"), type});
    const QDeadlineTimer deadline(kQueryTimeoutMs);
    const auto remaining = [&deadline] { return int(deadline.remainingTime()); };
    if (!process.waitForStarted(remaining()))
        return DesktopApplication::Unknown;
    if (!process.waitForFinished(remaining())) {
        process.kill();
        process.waitForFinished();
        return DesktopApplication::Unknown;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return DesktopApplication::Unknown;
    // The answer is the application's desktop file name; none is an empty answer.
    return process.readAllStandardOutput().trimmed().isEmpty() ? DesktopApplication::None
                                                               : DesktopApplication::Found;
}

} // namespace platform
