// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answers the list's "Add Files..." dialog for a test. Header-only: the support library links no widgets.

#include "ui/dialogs/filedialog.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace testsupport {

// For the lifetime of a scope, each dialog takes the next answer (the chosen files); with the queue empty it
// is cancelled. Records what each one asked for; whileOpen runs before each answer, as the user or the
// program would act while the dialog is open.
class ScriptedAddFiles {
public:
    ScriptedAddFiles()
    {
        ui::FileDialog::setFilesHandler([this](QWidget *, const ui::FileDialog::FilesRequest &request) {
            asked << request;
            if (whileOpen)
                whileOpen();
            return m_answers.isEmpty() ? QStringList() : m_answers.takeFirst();
        });
    }
    ~ScriptedAddFiles() { ui::FileDialog::setFilesHandler({}); }
    ScriptedAddFiles(const ScriptedAddFiles &) = delete;
    ScriptedAddFiles &operator=(const ScriptedAddFiles &) = delete;

    void choose(const QStringList &files) { m_answers << files; }

    QList<ui::FileDialog::FilesRequest> asked;
    std::function<void()> whileOpen;

private:
    QList<QStringList> m_answers;
};

} // namespace testsupport
