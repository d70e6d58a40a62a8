// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/outpathbox.h"

#include "ui/dialogs/messagebox.h"
#include "ui/widgets/droppedfiles.h"

#include <QDragEnterEvent>
#include <QDropEvent>

using namespace Qt::StringLiterals;

namespace ui {

OutPathBox::OutPathBox(QWidget *parent) : QLineEdit(parent) { setAcceptDrops(true); }

Qt::DropAction OutPathBox::txtOutPath_OLEDragDrop(const QMimeData *data)
{
    const std::optional<OfferedFiles> first = firstDroppedFile(data);
    if (!first)
        return Qt::IgnoreAction;
    if (!first->unnamed.isEmpty()) {
        const QString text =
            u"The dropped folder was not taken: its name is not valid UTF-8 text, so the encoder "
            u"could not be handed it unchanged.\n\n%1\n\nRename it to a UTF-8 name and drop it "
            u"again, or choose another folder."_s.arg(first->unnamed.first());
        MessageBox::informationLater(this, text);
        return Qt::IgnoreAction;
    }
    setText(first->paths.first());
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
