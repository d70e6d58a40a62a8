// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>

class QMenu;
class QMimeData;

namespace ui {

struct OfferedFiles;

// The main window's file list: the work queue of the batch run. Files dropped on
// it from a file manager become rows, appended in the drag's order; nothing
// checks them here. The batch numbers rows with a signed 16-bit index, so the
// list never holds more than kMaxRows.
//
// Besides the drop, files come in through the list's context menu (right click,
// the Menu key, Shift+F10): "Add Files..." (the file dialog) and "Paste" (also
// Ctrl+V: files a file manager copied), and from the program's arguments. All of
// them go through addFiles, so that each keeps the drop's rules. However rows
// leave, through removeRow and removeAllRows or the widget's own clear() and
// takeItem(), rowsLeftList tells of it: the run under way has to know.
class WaveList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 32767;

    // Where files came from, as the message about files left out names them.
    enum class Source { Drop, Paste, Dialog, Arguments };

    explicit WaveList(QWidget *parent = nullptr);
    ~WaveList() override;

    // Appends every dropped local file as a row and leaves the selection alone.
    // Data without a file list adds nothing, says nothing and gives false.
    bool lstWavefiles_OLEDragDrop(const QMimeData *data);

    // Appends the files as rows in one go and leaves the selection alone. Files
    // past kMaxRows, and files whose names are not valid UTF-8, are left out; one
    // box, shown once the caller is over (a drag source waits for its drop to
    // end), says how many and why.
    void addFiles(const OfferedFiles &files, Source source);

    // "Add Files...": the file dialog for several files, starting in the folder
    // of the file last added. The window and the list have the focus again once
    // it closes; a list that went while it was open takes nothing.
    void addFilesFromDialog();
    // "Paste": the files on the clipboard; anything else adds nothing.
    void pasteFiles();

    // Remove one row, or every row.
    void removeRow(int row);
    void removeAllRows();

    // The menu on the list, once it has been asked for; nullptr before.
    QMenu *contextMenu() const { return m_menu; }

signals:
    // Rows first to first + count - 1, numbered as before, have been removed, by
    // whatever means.
    void rowsLeftList(int first, int count);
    // addFiles appended count rows (at least one).
    void filesAdded(int count);
    // "Remove" and the Delete key, "Remove All": the window's own commands.
    void removeRequested();
    void removeAllRequested();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showContextMenu(const QPoint &globalPos);

    QMenu *m_menu = nullptr;
    QString m_lastAdded; // the path of the file last added, for the dialog's start
    int m_rowsBeforeReset = 0;
    QList<QMetaObject::Connection> m_removalNotices; // from the model, undone before it empties itself
};

} // namespace ui
