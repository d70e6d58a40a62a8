// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QKeyEvent;
class QPushButton;
class QWidget;

namespace ui {

// Enter, on either key and without modifiers, as a dialog takes it: it clicks the
// push button that has the focus in window, or else defaultButton when there is
// one. A disabled button takes nothing. True, and the event accepted, when a
// button was clicked.
bool clickForEnter(QWidget *window, QKeyEvent *event, QPushButton *defaultButton = nullptr);

} // namespace ui
