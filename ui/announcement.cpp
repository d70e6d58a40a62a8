// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/announcement.h"

#include <QEvent>

#include <utility>

namespace ui {

QString fileCount(int count)
{
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

Announcement::Announcement(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("announcement"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
    hide();
    window()->installEventFilter(this);
}

void Announcement::say(const QString &sentence)
{
    if (sentence.isEmpty())
        return;
    m_windowWasActive = m_windowWasActive || window()->isActiveWindow();
    if (m_windowWasActive)
        appear(sentence);
    else
        m_waiting << sentence;
}

bool Announcement::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_windowWasActive) {
        m_windowWasActive = true;
        for (const QString &sentence : std::exchange(m_waiting, {}))
            appear(sentence);
    }
    return QWidget::eventFilter(watched, event);
}

void Announcement::appear(const QString &sentence)
{
    // Hidden first: a screen reader speaks a notification when it starts showing,
    // also when the sentence is the same as the last one.
    hide();
    setAccessibleName(sentence);
    show();
}

QString runEndSentence(const batch::RunOutcome &outcome)
{
    using End = batch::RunOutcome::End;
    const int encoded = outcome.tried - outcome.failed;
    switch (outcome.end) {
    case End::Completed:
        if (outcome.failed == 0)
            return QStringLiteral("Done! %1 encoded.").arg(fileCount(encoded));
        return QStringLiteral("%1 of %2 failed.").arg(outcome.failed).arg(fileCount(outcome.tried));
    case End::Stopped:
        if (outcome.failed == 0)
            return QStringLiteral("User Requested Stop! %1 encoded.").arg(fileCount(encoded));
        return QStringLiteral("User Requested Stop! %1 encoded, %2 failed.")
            .arg(fileCount(encoded))
            .arg(outcome.failed);
    case End::Refused:
        break; // the box that says why is spoken
    }
    return {};
}

QString filesAddedSentence(int count) { return QStringLiteral("%1 added").arg(fileCount(count)); }

} // namespace ui
