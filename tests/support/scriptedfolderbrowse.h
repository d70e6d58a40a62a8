// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answers the folder dialog for a test. Header-only: the support library links no widgets.

#include "ui/dialogs/modfolderbrowse.h"

#include <QList>
#include <QString>

namespace testsupport {

// For the lifetime of a scope, each BrowseForFolder takes the next answer; with the queue empty it is
// cancelled. Records what each one asked.
class ScriptedFolderBrowse {
public:
    ScriptedFolderBrowse()
    {
        ui::FolderBrowse::setHandler([this](QWidget *owner, const QString &strTitle) {
            asked.append({owner, strTitle});
            return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        });
    }
    ~ScriptedFolderBrowse() { ui::FolderBrowse::setHandler({}); }
    ScriptedFolderBrowse(const ScriptedFolderBrowse &) = delete;
    ScriptedFolderBrowse &operator=(const ScriptedFolderBrowse &) = delete;

    void choose(const QString &folder) { m_answers.append(folder); }

    struct Asked {
        QWidget *owner;
        QString title;
    };
    QList<Asked> asked;

private:
    QList<QString> m_answers;
};

} // namespace testsupport
