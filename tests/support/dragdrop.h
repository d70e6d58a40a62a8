#pragma once

// Drags for widget tests, delivered the way the platform delivers them: to the
// window's QWindow, which finds the widget under the point that accepts drops.
// Header-only, since the support library links no widgets.

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace testsupport {

// What the drag source is told; an action counts only when the event was accepted.
struct DragOutcome {
    bool moveAccepted = false;
    Qt::DropAction moveAction = Qt::IgnoreAction;
    bool dropAccepted = false;
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

// The offer of a file manager: copy, move or link.
constexpr Qt::DropActions FileManagerActions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

// Enters the window at pos (window coordinates), moves there and drops. The drop
// is sent even when the move was refused, so that a target's drop handling is
// tested on data it should never have been offered. With drop false the drag
// leaves again instead.
inline DragOutcome dragAndDrop(QWidget *window, const QPoint &pos, const QMimeData *data, bool drop = true)
{
    DragOutcome outcome;
    QWindow *handle = window->windowHandle();
    if (!handle)
        return outcome;
    QDragEnterEvent enter(pos, FileManagerActions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &enter);
    QDragMoveEvent move(pos, FileManagerActions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    outcome.moveAccepted = move.isAccepted();
    outcome.moveAction = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
    if (!drop) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(handle, &leave);
        return outcome;
    }
    QDropEvent dropped(QPointF(pos), FileManagerActions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &dropped);
    outcome.dropAccepted = dropped.isAccepted();
    outcome.dropAction = dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
    return outcome;
}

// The centre of a child widget, in its window's coordinates.
inline QPoint centreOf(const QWidget *widget)
{
    return widget->mapTo(widget->window(), widget->rect().center());
}

// Data as a file manager offers it: the files as a URL list; text, when given, beside it.
inline std::unique_ptr<QMimeData> fileDrag(const QList<QUrl> &urls, const QString &text = {})
{
    auto data = std::make_unique<QMimeData>();
    if (!urls.isEmpty())
        data->setUrls(urls);
    if (!text.isNull())
        data->setText(text);
    return data;
}

inline std::unique_ptr<QMimeData> fileDrag(const QStringList &paths)
{
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return fileDrag(urls);
}

} // namespace testsupport
