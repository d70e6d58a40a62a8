// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windows/accessibleroles.h"

#include "ui/announcement.h"
#include "ui/windows/configuration.h"
#include "ui/windows/frmmain.h"

#include <QAccessibleWidget>
#include <QFrame>

namespace ui {

namespace {

QAccessibleInterface *windowRole(const QString &, QObject *object)
{
    if (qobject_cast<frmMain *>(object) || qobject_cast<Configuration *>(object))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    // The window's two rules: a screen reader says "separator" rather than a
    // nameless frame.
    const auto *frame = qobject_cast<QFrame *>(object);
    if (frame && frame->metaObject() == &QFrame::staticMetaObject && frame->frameShape() == QFrame::HLine)
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Separator);
    if (qobject_cast<Announcement *>(object))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    return nullptr;
}

} // namespace

void installAccessibleRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(windowRole);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace ui
