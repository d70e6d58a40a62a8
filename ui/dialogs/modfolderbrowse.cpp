// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/modfolderbrowse.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace ui {

namespace {

FolderBrowse::Handler &handler()
{
    static FolderBrowse::Handler h;
    return h;
}

QString startFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !desktop.isEmpty() && QDir(desktop).exists() ? desktop : QDir::homePath();
}

} // namespace

QString BrowseForFolder(QWidget *owner, const QString &strTitle)
{
    if (handler())
        return handler()(owner, strTitle);
    // Qt keeps the dialog on the heap and guarded, so an owner destroyed while it
    // is open only cancels it.
    const QString chosen = QFileDialog::getExistingDirectory(owner, strTitle, startFolder(),
                                                             QFileDialog::ShowDirsOnly);
    return QDir::toNativeSeparators(chosen);
}

void FolderBrowse::setHandler(Handler h) { handler() = std::move(h); }

} // namespace ui
