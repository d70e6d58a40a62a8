// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

class QMimeData;

namespace ui {

// The main window's output-folder box. A file list dropped on it puts its first
// path into the box; the box's change handling then saves it. It takes no other
// drops: dragged text is refused rather than typed into the path.
class OutPathBox : public QLineEdit {
    Q_OBJECT
public:
    explicit OutPathBox(QWidget *parent = nullptr);

    // Replaces the text with the first dropped path, unchanged (a file's path is
    // taken as readily as a folder's), and gives the copy effect. Data without a
    // file list leaves the text alone and gives no effect. So does a first path
    // whose name is not valid UTF-8, which the encoder could not be handed: a
    // box, once the drop is over, says so.
    Qt::DropAction txtOutPath_OLEDragDrop(const QMimeData *data);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

} // namespace ui
