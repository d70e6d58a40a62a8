// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a test sets, through the program's hooks, in place of its message boxes, dialogs and help viewer, each
// for the lifetime of a scope. Header-only: the support library links no widgets.

#include "platform/desktop.h"
#include "ui/dialogs/filedialog.h"
#include "ui/dialogs/help.h"
#include "ui/dialogs/messagebox.h"
#include "ui/dialogs/modfolderbrowse.h"

#include <QDir>
#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace testsupport {

// Every box goes to boxes instead of the screen.
class RecordedMessageBoxes {
public:
    struct Box {
        QString text;
        QString title;
    };
    RecordedMessageBoxes()
    {
        ui::MessageBox::setHandler([this](const QString &text, const QString &title) {
            boxes.append({text, title});
        });
    }
    ~RecordedMessageBoxes() { ui::MessageBox::setHandler({}); }
    RecordedMessageBoxes(const RecordedMessageBoxes &) = delete;
    RecordedMessageBoxes &operator=(const RecordedMessageBoxes &) = delete;

    QList<Box> boxes;
};

// Records every help file that would have been opened; application and opens are what the desktop would
// answer.
class RecordedHelpRequests {
public:
    RecordedHelpRequests()
    {
        ui::HelpViewer::setApplicationQuery([this](const QString &) { return application; });
        ui::HelpViewer::setHandler([this](const QUrl &url) {
            files.append(QDir::toNativeSeparators(url.toLocalFile()));
            return opens;
        });
    }
    ~RecordedHelpRequests()
    {
        ui::HelpViewer::setHandler({});
        ui::HelpViewer::setApplicationQuery({});
    }
    RecordedHelpRequests(const RecordedHelpRequests &) = delete;
    RecordedHelpRequests &operator=(const RecordedHelpRequests &) = delete;

    QStringList files; // local paths, in native form, of the files handed to a viewer
    platform::DesktopApplication application = platform::DesktopApplication::Found;
    bool opens = true;
};

// A dialog answered in the user's place: each one takes the next answer chosen; with none left it is
// cancelled. asked records what each one asked for; whileOpen runs before each answer, as the user or the
// program would act while the dialog is open.
template <class Answer, class Request>
class ScriptedDialogs {
public:
    void choose(const Answer &answer) { m_answers.append(answer); }

    QList<Request> asked;
    std::function<void()> whileOpen;

protected:
    ScriptedDialogs() = default;
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;
    Answer answer(const Request &request)
    {
        asked.append(request);
        if (whileOpen)
            whileOpen();
        return m_answers.isEmpty() ? Answer() : m_answers.takeFirst();
    }

private:
    QList<Answer> m_answers;
};

// The list's "Add Files..." dialog: the files chosen.
struct ScriptedAddFiles : ScriptedDialogs<QStringList, ui::FileDialog::FilesRequest> {
    ScriptedAddFiles()
    {
        ui::FileDialog::setFilesHandler([this](QWidget *, const auto &request) { return answer(request); });
    }
    ~ScriptedAddFiles() { ui::FileDialog::setFilesHandler({}); }
};

// The configuration window's file dialog: the file chosen.
struct ScriptedFileDialogs : ScriptedDialogs<std::optional<QString>, QWidget *> {
    ScriptedFileDialogs()
    {
        ui::FileDialog::setHandler([this](QWidget *parent) { return answer(parent); });
    }
    ~ScriptedFileDialogs() { ui::FileDialog::setHandler({}); }
};

// The folder picker: the folder chosen; asked records each dialog's title.
struct ScriptedFolderBrowse : ScriptedDialogs<QString, QString> {
    ScriptedFolderBrowse()
    {
        ui::FolderBrowse::setHandler([this](QWidget *, const QString &title) { return answer(title); });
    }
    ~ScriptedFolderBrowse() { ui::FolderBrowse::setHandler({}); }
};

} // namespace testsupport
