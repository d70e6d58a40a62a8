// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace ui {

// The platform's modal file-open dialog. Tests install a handler that answers in
// its place, so that no test ever waits on a dialog.
class FileDialog {
public:
    // Shows the dialog, which accepts only the name of a file that exists. No title,
    // filter or starting folder is set: the platform's defaults apply. The chosen
    // file's full path, or nothing when the user cancelled or when parent was
    // destroyed while the dialog was open (the dialog goes with it).
    static std::optional<QString> openExistingFile(QWidget *parent);

    using Handler = std::function<std::optional<QString>(QWidget *parent)>;
    // While set, the handler answers instead of a dialog.
    static void setHandler(Handler handler);

    // The dialog for adding files to the list: several existing files, WAV files
    // shown first with a choice of all files, starting in folder (the platform's
    // choice when empty). The chosen files' full paths in native form; none when
    // the user cancelled.
    struct FilesRequest {
        QString folder;
        QStringList nameFilters;
    };
    static QStringList openFiles(QWidget *parent, const QString &folder);

    using FilesHandler = std::function<QStringList(QWidget *parent, const FilesRequest &request)>;
    // While set, the handler answers instead of the dialog for adding files.
    static void setFilesHandler(FilesHandler handler);
};

} // namespace ui
