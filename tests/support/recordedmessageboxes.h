// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Records the program's message boxes for a test instead of showing them. Header-only: the support
// library links no widgets.

#include "ui/dialogs/messagebox.h"

#include <QList>
#include <QString>

namespace testsupport {

// For the lifetime of a scope, every box goes to boxes instead of the screen.
class RecordedMessageBoxes {
public:
    struct Box {
        QString text;
        QString title;
    };
    RecordedMessageBoxes()
    {
        ui::MessageBox::setHandler([this](const QString &text, const QString &title) {
            boxes.append({text, title});
        });
    }
    ~RecordedMessageBoxes() { ui::MessageBox::setHandler({}); }
    RecordedMessageBoxes(const RecordedMessageBoxes &) = delete;
    RecordedMessageBoxes &operator=(const RecordedMessageBoxes &) = delete;

    QList<Box> boxes;
};

} // namespace testsupport
