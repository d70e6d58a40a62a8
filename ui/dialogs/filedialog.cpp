// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/filedialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPointer>

namespace ui {

namespace {
FileDialog::Handler &handler()
{
    static FileDialog::Handler h;
    return h;
}

FileDialog::FilesHandler &filesHandler()
{
    static FileDialog::FilesHandler h;
    return h;
}

// The dialog ends with no list of its own left open. A list that shows the names a typed name could grow into
// is a popup; when Enter ends the dialog while that list still shows (a screen reader that takes each key
// first hands it on later, past the list's own handling), the window manager gives the focus back to the
// window while Qt still serves the popup, and Qt ignores it: the window would take no keys.
class OpenDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void done(int result) override
    {
        QWidget *popup = QApplication::activePopupWidget();
        while (popup && popup->close() && QApplication::activePopupWidget() != popup)
            popup = QApplication::activePopupWidget();
        QFileDialog::done(result);
    }
};
} // namespace

std::optional<QString> FileDialog::openExistingFile(QWidget *parent)
{
    if (handler())
        return handler()(parent);

    // On the heap and guarded: the dialog's own event loop may run a deferred
    // destruction of its parent window, which takes the dialog with it.
    QPointer<QFileDialog> dialog = new OpenDialog(parent);
    dialog->setObjectName(QStringLiteral("dlgConfig"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    const int result = dialog->exec();
    if (!dialog)
        return std::nullopt;
    const QStringList chosen = dialog->selectedFiles();
    delete dialog.data();
    if (result != QDialog::Accepted || chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen.first());
}

void FileDialog::setHandler(Handler h) { handler() = std::move(h); }

QStringList FileDialog::openFiles(QWidget *parent, const QString &folder)
{
    const FilesRequest request{folder,
                               {QStringLiteral("WAV files (*.wav *.WAV)"), QStringLiteral("All files (*)")}};
    if (filesHandler())
        return filesHandler()(parent, request);

    // Guarded as above.
    QPointer<QFileDialog> dialog = new OpenDialog(parent, QStringLiteral("Add Files"), request.folder);
    dialog->setObjectName(QStringLiteral("dlgAddFiles"));
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilters(request.nameFilters);
    const int result = dialog->exec();
    if (!dialog)
        return {};
    QStringList chosen = dialog->selectedFiles();
    delete dialog.data();
    if (result != QDialog::Accepted)
        return {};
    for (QString &path : chosen)
        path = QDir::toNativeSeparators(path);
    chosen.removeAll(QString());
    return chosen;
}

void FileDialog::setFilesHandler(FilesHandler h) { filesHandler() = std::move(h); }

} // namespace ui
