#include "ui/filedialog.h"

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
} // namespace

std::optional<QString> FileDialog::openExistingFile(QWidget *parent)
{
    if (handler())
        return handler()(parent);

    // On the heap and guarded: the dialog's own event loop may run a deferred
    // destruction of its parent window, which takes the dialog with it.
    QPointer<QFileDialog> dialog = new QFileDialog(parent);
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

ScriptedFileDialogs::ScriptedFileDialogs()
{
    FileDialog::setHandler([this](QWidget *) -> std::optional<QString> {
        ++shown;
        if (m_answers.isEmpty())
            return std::nullopt;
        return m_answers.takeFirst();
    });
}

ScriptedFileDialogs::~ScriptedFileDialogs() { FileDialog::setHandler({}); }

} // namespace ui
