#include "ui/wavelist.h"

#include "ui/droppedfiles.h"
#include "ui/messagebox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace ui {

WaveList::WaveList(QWidget *parent) : QListWidget(parent) { setAcceptDrops(true); }

int WaveList::appendRows(const QStringList &paths)
{
    const qsizetype room = std::max(0, MaxRows - count());
    if (room == 0 || paths.isEmpty())
        return 0;
    const QStringList taken = paths.size() > room ? paths.first(room) : paths;
    // One insertion and one repaint, however many rows there are.
    setUpdatesEnabled(false);
    addItems(taken);
    setUpdatesEnabled(true);
    return static_cast<int>(taken.size());
}

void WaveList::removeAllRows()
{
    if (count() == 0)
        return;
    setUpdatesEnabled(false);
    clear();
    setUpdatesEnabled(true);
}

bool WaveList::lstWavefiles_OLEDragDrop(const QMimeData *data)
{
    const std::optional<QStringList> paths = droppedFiles(data);
    if (!paths)
        return false;
    const qsizetype left = paths->size() - appendRows(*paths);
    if (left > 0) {
        // Not from inside the drop: the drag source waits for the drop to end,
        // and a modal box would hold it until the user answers.
        const QString text = QStringLiteral("The list holds at most %1 files. %2 of the dropped files %3 not added.")
                                 .arg(MaxRows)
                                 .arg(left)
                                 .arg(left == 1 ? QStringLiteral("was") : QStringLiteral("were"));
        QPointer<QWidget> owner = window();
        QTimer::singleShot(0, this, [owner, text] { MessageBox::information(owner, text); });
    }
    return true;
}

void WaveList::dragEnterEvent(QDragEnterEvent *event) { answerFileDrag(event); }

void WaveList::dragMoveEvent(QDragMoveEvent *event) { answerFileDrag(event); }

void WaveList::dropEvent(QDropEvent *event)
{
    if (lstWavefiles_OLEDragDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace ui
