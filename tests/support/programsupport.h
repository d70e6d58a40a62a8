#pragma once

// The program's real start for widget tests, and drags delivered as the platform
// delivers them: to the window's QWindow, which finds the widget under the point.
// Header-only, since the support library links no widgets.

#include "platform/profile.h"
#include "settings/location.h"
#include "ui/configuration.h"
#include "ui/configurationref.h"
#include "ui/frmmain.h"
#include "ui/moddrag.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <memory>

namespace testsupport {

// Starts the program as main() does, with encoder as the stored encoder path.
// The shown main window, or nullptr.
inline frmMain *startProgram(const QString &encoder)
{
    if (!platform::WritePrivateProfileString("PATHS", "LAME", encoder, settings::settingsFilePath()))
        return nullptr;
    ui::Main();
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<frmMain *>(widget))
            return QTest::qWaitForWindowExposed(window) ? window : nullptr;
    return nullptr;
}

// Ends what a test left of the program; true when no window of it is left.
inline bool endProgram()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<frmMain *>(widget))
            delete widget;
    ui::ConfigurationRef::program().unloadAndRelease();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::none_of(windows.cbegin(), windows.cend(), [](const QWidget *w) {
        return w->isVisible() || qobject_cast<const frmMain *>(w) || qobject_cast<const ui::Configuration *>(w);
    });
}

inline QStringList rowsOf(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

// The whole stored output folder, past the settings object's read limit.
inline QString storedDestination()
{
    return platform::GetPrivateProfileString("PATHS", "Destination Path", QStringLiteral("<missing>"), 4096,
                                             settings::settingsFilePath());
}

// What the drag source is told; an action counts only when the event was accepted.
struct DragOutcome {
    Qt::DropAction moveAction, dropAction;
};

// Enters the window at pos (window coordinates), moves and drops, offering what a
// file manager offers. The drop is sent even when the move was refused, so that a
// target meets data it should never have been offered.
inline DragOutcome dragAndDrop(QWidget *window, const QPoint &pos, const QMimeData *data)
{
    constexpr Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QWindow *handle = window->windowHandle();
    QDragEnterEvent enter(pos, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &enter);
    QDragMoveEvent move(pos, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QDropEvent dropped(QPointF(pos), offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &dropped);
    return {move.isAccepted() ? move.dropAction() : Qt::IgnoreAction,
            dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction};
}

// The centre of a child widget, in its window's coordinates.
inline QPoint centreOf(const QWidget *widget) { return widget->mapTo(widget->window(), widget->rect().center()); }

// A drag's data: the URLs as a file manager offers files; text, when given, beside them.
inline std::unique_ptr<QMimeData> dragData(const QList<QUrl> &urls, const QString &text = {})
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
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return dragData(urls);
}

// A test's temporary program folder, and the program started in it.
class ProgramFixture {
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    QPointer<frmMain> m_window;

    bool start(const QString &encoder)
    {
        m_dir = std::make_unique<QTemporaryDir>();
        settings::setProgramFolderForTesting(m_dir->path());
        m_window = m_dir->isValid() ? startProgram(encoder) : nullptr;
        return m_window;
    }
    bool end()
    {
        const bool ended = endProgram();
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
        return ended;
    }
    QString path(const QString &name) const { return m_dir->filePath(name); }
    template <class W = QWidget> W *control(const QString &name) const { return m_window->findChild<W *>(name); }
    void click(const QString &name) const { control<QPushButton>(name)->click(); }
};

} // namespace testsupport
