#include "ui/droppedfiles.h"

#include <QDir>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace ui {

std::optional<QStringList> droppedFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!path.isEmpty())
            paths.append(QDir::toNativeSeparators(path));
    }
    if (paths.isEmpty())
        return std::nullopt;
    return paths;
}

bool offersFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(),
                       [](const QUrl &url) { return url.isLocalFile() && !url.toLocalFile().isEmpty(); });
}

void answerFileDrag(QDragMoveEvent *event)
{
    if (offersFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace ui
