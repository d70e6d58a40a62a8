// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answers the folder dialog for a test. Header-only: the support library links no widgets.

#include "ui/dialogs/modfolderbrowse.h"

#include <QList>
#include <QString>

namespace testsupport {

// For the lifetime of a scope, each BrowseForFolder takes the next answer; with the queue empty it is
// cancelled. Counts the dialogs.
class ScriptedFolderBrowse {
public:
    ScriptedFolderBrowse()
    {
        ui::FolderBrowse::setHandler([this](QWidget *, const QString &) {
            ++asked;
            return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        });
    }
    ~ScriptedFolderBrowse() { ui::FolderBrowse::setHandler({}); }
    ScriptedFolderBrowse(const ScriptedFolderBrowse &) = delete;
    ScriptedFolderBrowse &operator=(const ScriptedFolderBrowse &) = delete;

    void choose(const QString &folder) { m_answers.append(folder); }

    int asked = 0;

private:
    QList<QString> m_answers;
};

} // namespace testsupport
