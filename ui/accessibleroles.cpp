// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/accessibleroles.h"

#include "ui/windows/configuration.h"
#include "ui/windows/frmmain.h"

#include <QAccessibleWidget>

namespace ui {

namespace {

QAccessibleInterface *windowRole(const QString &, QObject *object)
{
    if (qobject_cast<frmMain *>(object) || qobject_cast<Configuration *>(object))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
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
