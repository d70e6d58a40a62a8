// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/wavelist.h"

#include "ui/dialogs/filedialog.h"
#include "ui/dialogs/messagebox.h"
#include "ui/widgets/droppedfiles.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

// How a message names the files of a source.
QString adjective(WaveList::Source source)
{
    switch (source) {
    case WaveList::Source::Drop:
        return u"dropped"_s;
    case WaveList::Source::Paste:
        return u"pasted"_s;
    case WaveList::Source::Dialog:
        return u"chosen"_s;
    case WaveList::Source::Arguments:
        return u"given"_s;
    }
    return {};
}

QString leftOutForNames(const QStringList &names, const QString &adjective)
{
    constexpr qsizetype kNamesShown = 10;
    const bool one = names.size() == 1;
    QString text = u"%1 of the %2 files %3 not added: %4 not valid UTF-8 text, so the encoder could not be "
                   u"handed %5 unchanged."_s.arg(names.size())
                       .arg(adjective, one ? u"was"_s : u"were"_s,
                            one ? u"its name is"_s : u"their names are"_s, one ? u"it"_s : u"them"_s);
    text += u"\n\n"_s + names.first(std::min(names.size(), kNamesShown)).join(u'\n');
    if (names.size() > kNamesShown)
        text += u"\n(and %1 more)"_s.arg(names.size() - kNamesShown);
    text += one ? u"\n\nRename the file to a UTF-8 name and add it again."_s
                : u"\n\nRename the files to UTF-8 names and add them again."_s;
    return text;
}

} // namespace

WaveList::WaveList(QWidget *parent) : QListWidget(parent)
{
    setAcceptDrops(true);
    // Every row is one line of text: laid out once, not row by row.
    setUniformItemSizes(true);

    // The model tells of every removal, the widget's own functions included, so
    // that no way of taking rows out can leave a run counting them. clear() resets
    // the model in one go: one notice for all the rows it held.
    const QAbstractItemModel *rows = model();
    m_removalNotices = {
        connect(
            rows, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { emit rowsLeftList(first, last - first + 1); }),
        connect(rows, &QAbstractItemModel::modelAboutToBeReset, this,
                [this] { m_rowsBeforeReset = count(); }),
        connect(rows, &QAbstractItemModel::modelReset, this,
                [this] {
                    if (const int removed = std::exchange(m_rowsBeforeReset, 0); removed > 0)
                        emit rowsLeftList(0, removed);
                }),
    };
}

WaveList::~WaveList()
{
    // The model empties itself once this part of the list is gone; nobody is to
    // hear of that.
    for (const QMetaObject::Connection &notice : std::as_const(m_removalNotices))
        disconnect(notice);
}

void WaveList::addFiles(const OfferedFiles &files, Source source)
{
    const qsizetype room = std::max(0, kMaxRows - count());
    const QStringList taken = files.paths.size() > room ? files.paths.first(room) : files.paths;
    if (!taken.isEmpty()) {
        // One insertion and one repaint, however many rows there are.
        setUpdatesEnabled(false);
        addItems(taken);
        setUpdatesEnabled(true);
        m_lastAdded = taken.last();
        emit filesAdded(static_cast<int>(taken.size()));
    }

    QStringList told;
    if (!files.unnamed.isEmpty())
        told << leftOutForNames(files.unnamed, adjective(source));
    if (const qsizetype left = files.paths.size() - taken.size(); left > 0)
        told << u"The list holds at most %1 files. %2 of the %3 files %4 not added."_s.arg(kMaxRows)
                    .arg(left)
                    .arg(adjective(source), left == 1 ? u"was"_s : u"were"_s);
    if (told.isEmpty())
        return;
    // Not from inside the caller, which may be a drop.
    MessageBox::informationLater(this, told.join(u"\n\n"_s));
}

bool WaveList::lstWavefiles_OLEDragDrop(const QMimeData *data)
{
    const std::optional<OfferedFiles> files = droppedFiles(data);
    if (!files)
        return false;
    addFiles(*files, Source::Drop);
    return true;
}

void WaveList::addFilesFromDialog()
{
    const QString folder = m_lastAdded.isEmpty()
                               ? QString()
                               : QFileInfo(QDir::fromNativeSeparators(m_lastAdded)).absolutePath();
    const QPointer<WaveList> self(this);
    const QStringList chosenFiles = FileDialog::openFiles(this, folder);
    // The window, and the list with it, may have gone while the dialog was open.
    if (!self)
        return;
    // A window manager need not give the focus back to the window a dialog came
    // from; the keys would go nowhere until a click.
    window()->activateWindow();
    setFocus(Qt::OtherFocusReason);
    OfferedFiles files;
    for (const QString &chosen : chosenFiles) {
        // The dialog lists a name that is not UTF-8 with replacement characters,
        // and gives back a path that names no file.
        if (chosen.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(chosen))
            files.unnamed << chosen;
        else
            files.paths << chosen;
    }
    addFiles(files, Source::Dialog);
}

void WaveList::pasteFiles()
{
    if (const std::optional<OfferedFiles> files = copiedFiles(QApplication::clipboard()->mimeData()))
        addFiles(*files, Source::Paste);
}

void WaveList::removeRow(int row)
{
    if (row < 0 || row >= count())
        return;
    delete takeItem(row);
}

void WaveList::removeAllRows()
{
    if (count() == 0)
        return;
    setUpdatesEnabled(false);
    clear();
    setUpdatesEnabled(true);
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

void WaveList::contextMenuEvent(QContextMenuEvent *event)
{
    showContextMenu(event->globalPos());
    event->accept();
}

void WaveList::showContextMenu(const QPoint &globalPos)
{
    // Made at its first use: a window of its own, which a start need not pay for.
    if (!m_menu) {
        m_menu = new QMenu(this);
        m_menu->setObjectName(u"lstWavefilesMenu"_s);
        QAction *add = m_menu->addAction(u"Add Files..."_s);
        add->setObjectName(u"actAddFiles"_s);
        // Queued: the dialog opens once the menu is done with the click that chose it. The window, and the
        // menu with it, may go while the dialog is open, and the menu's own code would go on after a direct
        // call. Opened from inside the menu's click, the dialog may also leave no window with the focus.
        connect(add, &QAction::triggered, this, &WaveList::addFilesFromDialog, Qt::QueuedConnection);
        QAction *paste = m_menu->addAction(u"Paste"_s, this, &WaveList::pasteFiles);
        paste->setObjectName(u"actPaste"_s);
        paste->setShortcut(QKeySequence::Paste); // shown only: the list answers the key itself
        QAction *remove = m_menu->addAction(u"Remove"_s, this, &WaveList::removeRequested);
        remove->setObjectName(u"actRemove"_s);
        remove->setShortcut(Qt::Key_Delete);
        QAction *removeAll = m_menu->addAction(u"Remove All"_s, this, &WaveList::removeAllRequested);
        removeAll->setObjectName(u"actRemoveAll"_s);
        for (QAction *action : m_menu->actions())
            action->setShortcutVisibleInContextMenu(true);
    }
    m_menu->popup(globalPos);
}

void WaveList::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste)) {
        pasteFiles();
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete && modifiers == Qt::NoModifier) {
        emit removeRequested();
        return;
    }
    // The menu from the keyboard opens at the current row, or at the list's top.
    if ((event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier)
        || (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        const QRect row = visualItemRect(currentItem());
        showContextMenu(viewport()->mapToGlobal(row.isValid() ? row.bottomLeft() : QPoint(0, 0)));
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace ui
