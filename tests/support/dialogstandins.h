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
        QString text, title;
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

// A dialog answered in the user's place, through the hook setHandler: each one takes the next answer chosen;
// with none left it is cancelled. asked records what each one asked for; whileOpen runs before each answer,
// as the user or the program would act while the dialog is open.
template <auto setHandler, class Answer, class Request>
class ScriptedDialogs {
public:
    ScriptedDialogs()
    {
        setHandler([this](QWidget *, const auto &...request) {
            asked.append(Request{request...});
            if (whileOpen)
                whileOpen();
            return m_answers.isEmpty() ? Answer() : m_answers.takeFirst();
        });
    }
    ~ScriptedDialogs() { setHandler({}); }
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    void choose(const Answer &answer) { m_answers.append(answer); }

    QList<Request> asked;
    std::function<void()> whileOpen;

private:
    QList<Answer> m_answers;
};

// The list's "Add Files..." dialog, the configuration window's file dialog, the folder picker (by its title).
using ScriptedAddFiles =
    ScriptedDialogs<&ui::FileDialog::setFilesHandler, QStringList, ui::FileDialog::FilesRequest>;
using ScriptedFileDialogs = ScriptedDialogs<&ui::FileDialog::setHandler, std::optional<QString>, bool>;
using ScriptedFolderBrowse = ScriptedDialogs<&ui::FolderBrowse::setHandler, QString, QString>;

} // namespace testsupport
