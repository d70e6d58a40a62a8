// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

class QDragMoveEvent;
class QMimeData;
class QUrl;

namespace ui {

// Files offered to the program by a drop, the clipboard, the file dialog or the
// command line, in the order given. A name that is not valid UTF-8 cannot be
// held as text without changing it, and the encoder would then be handed another
// name (or another file of that name): such files are counted and named in
// unnamed, never turned into rows.
struct OfferedFiles {
    QStringList paths;   // native form, exactly as the source named them
    QStringList unnamed; // the names that were left out, invalid bytes shown as \xNN
};

// The file list a drag carries: its local files, each as a native path exactly as
// the drag source named it. Folders and files of any type are included; web links
// and other non-local addresses are left out. nullopt when the drag carries no
// local file at all (dragged text, say).
std::optional<OfferedFiles> droppedFiles(const QMimeData *data);

// The first local file a drag carries, as droppedFiles would give it.
std::optional<OfferedFiles> firstDroppedFile(const QMimeData *data);

// What a file manager put on the clipboard as copied files: text/uri-list, or
// the desktop's x-special/gnome-copied-files. nullopt for anything else, plain
// text naming a file included.
std::optional<OfferedFiles> copiedFiles(const QMimeData *data);

// The program's arguments as raw bytes: each is a path, relative ones taken
// against currentFolder, or a file:// URL standing for its path.
OfferedFiles filesFromArguments(const QList<QByteArray> &arguments, const QString &currentFolder);

// Whether a drag offers a file list, from its formats alone: the list itself is
// read once, at the drop, however long the drag goes on.
bool offersFiles(const QMimeData *data);

// Shows the copy effect for a drag that offers files and no effect otherwise: a
// drop target that takes nothing else should say so under the cursor.
void answerFileDrag(QDragMoveEvent *event);

// A byte name for a message: valid UTF-8 as text, any other byte as \xNN.
QString displayName(const QByteArray &name);

} // namespace ui
