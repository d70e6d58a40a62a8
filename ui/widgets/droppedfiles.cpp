// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/droppedfiles.h"

#include <QDir>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QUrl>
#include <QUtf8StringView>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");

bool isValidUtf8(const QByteArray &bytes) { return QUtf8StringView(bytes).isValidUtf8(); }

// A path as a shell names it from the folder it runs in: "." and ".." taken
// out, a final separator (a folder, say) kept. An absolute path stays as it is.
QString absoluteAgainst(const QString &path, const QString &folder)
{
    if (!QDir::isRelativePath(path) || folder.isEmpty())
        return path;
    const bool isFolder = path.endsWith(u'/');
    return QDir::cleanPath(folder + u'/' + path) + (isFolder ? u"/"_s : QString());
}

// Adds one file URL of this computer. The URL's path is read back to the bytes
// it carries: QUrl would decode bytes that are not UTF-8 into replacement
// characters. A URL of another host names no file here, and a zero byte ends a
// name on its way to the encoder (so the encoder would write another file):
// neither names a file, and both are left out like any other address.
void addUrl(OfferedFiles &files, const QUrl &url, const QString &currentFolder = {})
{
    if (!url.isLocalFile())
        return;
    if (!url.host().isEmpty() && url.host().compare(u"localhost"_s, Qt::CaseInsensitive) != 0)
        return;
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty() || bytes.contains('\0'))
        return;
    if (!isValidUtf8(bytes)) {
        files.unnamed.append(displayName(bytes));
        return;
    }
    files.paths.append(QDir::toNativeSeparators(absoluteAgainst(QString::fromUtf8(bytes), currentFolder)));
}

std::optional<OfferedFiles> filesFromUrls(const QList<QUrl> &urls)
{
    OfferedFiles files;
    for (const QUrl &url : urls)
        addUrl(files, url);
    if (files.paths.isEmpty() && files.unnamed.isEmpty())
        return std::nullopt;
    return files;
}

} // namespace

QString displayName(const QByteArray &name)
{
    QString shown;
    qsizetype i = 0;
    while (i < name.size()) {
        const auto lead = static_cast<uchar>(name[i]);
        const qsizetype length = lead < 0x80             ? 1
                                 : (lead & 0xE0) == 0xC0 ? 2
                                 : (lead & 0xF0) == 0xE0 ? 3
                                 : (lead & 0xF8) == 0xF0 ? 4
                                                         : 0;
        const QByteArray sequence = length > 0 ? name.mid(i, length) : QByteArray();
        if (sequence.size() == length && length > 0 && isValidUtf8(sequence)) {
            shown += QString::fromUtf8(sequence);
            i += length;
        } else {
            shown += u"\\x"_s + QString::number(lead, 16).toUpper().rightJustified(2, u'0');
            ++i;
        }
    }
    return shown;
}

std::optional<OfferedFiles> droppedFiles(const QMimeData *data)
{
    if (!offersFiles(data))
        return std::nullopt;
    return filesFromUrls(data->urls());
}

std::optional<OfferedFiles> firstDroppedFile(const QMimeData *data)
{
    if (!offersFiles(data))
        return std::nullopt;
    OfferedFiles files;
    for (const QUrl &url : data->urls()) {
        addUrl(files, url);
        if (!files.paths.isEmpty() || !files.unnamed.isEmpty())
            return files;
    }
    return std::nullopt;
}

std::optional<OfferedFiles> copiedFiles(const QMimeData *data)
{
    if (!data)
        return std::nullopt;
    if (data->hasFormat(kUriList))
        return filesFromUrls(data->urls());
    if (!data->hasFormat(kGnomeCopiedFiles))
        return std::nullopt;
    // "copy" or "cut" on the first line, then one URL a line.
    QList<QUrl> urls;
    const QList<QByteArray> lines = data->data(kGnomeCopiedFiles).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (!line.isEmpty())
            urls.append(QUrl::fromEncoded(line));
    }
    return filesFromUrls(urls);
}

OfferedFiles filesFromArguments(const QList<QByteArray> &arguments, const QString &currentFolder)
{
    OfferedFiles files;
    for (const QByteArray &argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (!isValidUtf8(argument)) {
            files.unnamed.append(displayName(argument));
            continue;
        }
        if (argument.startsWith("file:")) {
            const QUrl url = QUrl::fromEncoded(argument);
            if (url.isLocalFile()) {
                addUrl(files, url, currentFolder);
                continue;
            }
        }
        files.paths.append(
            QDir::toNativeSeparators(absoluteAgainst(QString::fromUtf8(argument), currentFolder)));
    }
    return files;
}

bool offersFiles(const QMimeData *data) { return data && data->hasFormat(kUriList); }

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
