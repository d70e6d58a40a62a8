#include "ui/outpathbox.h"

#include "ui/droppedfiles.h"

#include <QDragEnterEvent>
#include <QDropEvent>

namespace ui {

OutPathBox::OutPathBox(QWidget *parent) : QLineEdit(parent) { setAcceptDrops(true); }

Qt::DropAction OutPathBox::txtOutPath_OLEDragDrop(const QMimeData *data)
{
    const std::optional<QStringList> paths = droppedFiles(data);
    if (!paths)
        return Qt::IgnoreAction;
    setText(paths->first());
    return Qt::CopyAction;
}

void OutPathBox::dragEnterEvent(QDragEnterEvent *event) { answerFileDrag(event); }

void OutPathBox::dragMoveEvent(QDragMoveEvent *event) { answerFileDrag(event); }

void OutPathBox::dropEvent(QDropEvent *event)
{
    const Qt::DropAction effect = txtOutPath_OLEDragDrop(event->mimeData());
    if (effect == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(effect);
    event->accept();
}

} // namespace ui
