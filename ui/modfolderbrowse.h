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

// Answers the dialogs of a scope from a queue: each BrowseForFolder takes the next
// answer; with the queue empty it is cancelled. Records what each one asked.
class ScriptedFolderBrowse {
public:
    ScriptedFolderBrowse();
    ~ScriptedFolderBrowse();
    ScriptedFolderBrowse(const ScriptedFolderBrowse &) = delete;
    ScriptedFolderBrowse &operator=(const ScriptedFolderBrowse &) = delete;

    void choose(const QString &folder) { m_answers.append(folder); }
    void cancel() { m_answers.append(QString()); }

    struct Asked {
        QWidget *owner;
        QString title;
    };
    QList<Asked> asked;

private:
    QList<QString> m_answers;
};

} // namespace ui
