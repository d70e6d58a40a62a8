#pragma once

#include <QListWidget>

class QMimeData;

namespace ui {

// The main window's file list: the work queue of the batch run. Files dropped on
// it from a file manager become rows, appended in the drag's order; nothing
// checks them here. The batch numbers rows with a signed 16-bit index, so the
// list never holds more than MaxRows.
class WaveList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int MaxRows = 32767;

    explicit WaveList(QWidget *parent = nullptr);

    // Appends every dropped local file as a row and leaves the selection alone.
    // Data without a file list adds nothing, says nothing and gives false. Rows
    // past MaxRows are left out, and a box, shown once the drop is over, says how
    // many.
    bool lstWavefiles_OLEDragDrop(const QMimeData *data);

    // Removes every row in one go.
    void removeAllRows();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Appends rows in one go, as many as fit under MaxRows; returns how many did.
    int appendRows(const QStringList &paths);
};

} // namespace ui
