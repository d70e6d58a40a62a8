// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace ui {

// The platform's folder dialog, modal to owner, offering folders only. The tree
// starts at the desktop (the home folder when there is none), whatever the
// caller's box holds. Returns the chosen folder's path with native separators,
// or the empty text when the user cancels or the owner went away while the
// dialog was open.
QString BrowseForFolder(QWidget *owner, const QString &strTitle);

// Tests answer the dialog in its place, so that no test waits on one.
class FolderBrowse {
public:
    using Handler = std::function<QString(QWidget *owner, const QString &strTitle)>;
    // While set, the handler answers instead of a dialog.
    static void setHandler(Handler handler);
};

} // namespace ui
