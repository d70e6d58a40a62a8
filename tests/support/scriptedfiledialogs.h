// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answers the configuration window's file dialog for a test. Header-only: the support library links no
// widgets.

#include "ui/dialogs/filedialog.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace testsupport {

// For the lifetime of a scope, each dialog takes the next answer; with the queue empty it is cancelled.
// whileOpen runs before each answer, as the user or the program would act while the dialog is open.
class ScriptedFileDialogs {
public:
    ScriptedFileDialogs()
    {
        ui::FileDialog::setHandler([this](QWidget *) {
            ++shown;
            if (whileOpen)
                whileOpen();
            return m_answers.isEmpty() ? std::nullopt : m_answers.takeFirst();
        });
    }
    ~ScriptedFileDialogs() { ui::FileDialog::setHandler({}); }
    ScriptedFileDialogs(const ScriptedFileDialogs &) = delete;
    ScriptedFileDialogs &operator=(const ScriptedFileDialogs &) = delete;

    void choose(const QString &path) { m_answers.append(path); }

    // How many dialogs would have been shown.
    int shown = 0;
    std::function<void()> whileOpen;

private:
    QList<std::optional<QString>> m_answers;
};

} // namespace testsupport
