#include "ui/outpathbox.h"

#include "ui/droppedfiles.h"

#include <QDragEnterEvent>
#include <QDropEvent>

namespace ui {

namespace {

void answerDrag(QDragMoveEvent *event)
{
    if (offersFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace

OutPathBox::OutPathBox(QWidget *parent) : QLineEdit(parent) { setAcceptDrops(true); }

Qt::DropAction OutPathBox::txtOutPath_OLEDragDrop(const QMimeData *data)
{
    const std::optional<QStringList> paths = droppedFiles(data);
    if (!paths)
        return Qt::IgnoreAction;
    setText(paths->first());
    return Qt::CopyAction;
}

void OutPathBox::dragEnterEvent(QDragEnterEvent *event) { answerDrag(event); }

void OutPathBox::dragMoveEvent(QDragMoveEvent *event) { answerDrag(event); }

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
