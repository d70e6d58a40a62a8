#include "ui/filedialog.h"

#include <QDir>
#include <QFileDialog>

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

    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgConfig"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
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
