#pragma once

#include <QStringList>

#include <optional>

class QDragMoveEvent;
class QMimeData;

namespace ui {

// The file list a drag carries: its local files, in the drag's order, each as a
// native path exactly as the drag source named it. Folders and files of any type
// are included; web links and other non-local addresses are left out. nullopt
// when the drag carries no local file at all (dragged text, say).
std::optional<QStringList> droppedFiles(const QMimeData *data);

// Whether droppedFiles would give a list: cheap enough for every move of a drag.
bool offersFiles(const QMimeData *data);

// Shows the copy effect for a drag that offers files and no effect otherwise: a
// drop target that takes nothing else should say so under the cursor.
void answerFileDrag(QDragMoveEvent *event);

} // namespace ui
