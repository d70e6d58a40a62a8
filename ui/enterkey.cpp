// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/enterkey.h"

#include <QKeyEvent>
#include <QPushButton>

namespace ui {

bool clickForEnter(QWidget *window, QKeyEvent *event, QPushButton *defaultButton)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto *focused = qobject_cast<QPushButton *>(window->focusWidget());
    QPushButton *target = focused ? focused : defaultButton;
    if (!target || !target->isEnabled())
        return false;
    target->click();
    event->accept();
    return true;
}

} // namespace ui
