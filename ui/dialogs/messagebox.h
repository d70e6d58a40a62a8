// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace ui {

// Modal message boxes with one OK button. Tests install a handler, so that no
// test ever waits on a box: the handler is told what would have been shown.
class MessageBox {
public:
    // Without a title the application's name stands in the title bar.
    static void information(QWidget *parent, const QString &text,
                            const std::optional<QString> &title = std::nullopt);

    // The same box, once control is back in the event loop, over from's window (or
    // over none, should that window be gone by then).
    // For a box caused inside a drop: a drag source waits for the drop to end, and
    // a modal box would hold it until the user answers.
    static void informationLater(QWidget *from, const QString &text);

    using Handler = std::function<void(const QString &text, const QString &title)>;
    // While set, boxes go to the handler instead of the screen.
    static void setHandler(Handler handler);
};

} // namespace ui
