// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's real start for widget tests, and drags sent as the platform sends them: to the
// window's QWindow, which finds the widget under the point. Header-only: the support library links no
// widgets.

#include "platform/profile.h"
#include "settings/keys.h"
#include "settings/location.h"
#include "ui/windows/configuration.h"
#include "ui/windows/frmmain.h"
#include "ui/windows/moddrag.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace testsupport {

// A test's temporary program folder, and the program started in it.
class ProgramFixture {
public:
    std::unique_ptr<QTemporaryDir> m_dir;
    QPointer<ui::frmMain> m_window;
    QList<QByteArray> m_rawFiles; // made by rawFileUrl

    bool makeFolder()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        settings::setProgramFolderForTesting(m_dir->path());
        return m_dir->isValid();
    }
    // Starts the program as main() does, with encoder stored as the encoder path; true once its window shows.
    bool launch(const QString &encoder, const QList<QByteArray> &arguments = {})
    {
        if (!platform::WritePrivateProfileString(settings::keys::kPaths, settings::keys::kLame, encoder,
                                                 settings::settingsFilePath()))
            return false;
        ui::Main(arguments);
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto window = std::ranges::find_if(windows,
                                                 [](QWidget *w) { return qobject_cast<ui::frmMain *>(w); });
        m_window = window == windows.end() ? nullptr : static_cast<ui::frmMain *>(*window);
        // Nothing is said before the window is first active: a screen reader does not know it yet.
        return m_window && m_window->findChild<QWidget *>("announcement")->isHidden()
               && QTest::qWaitForWindowExposed(m_window);
    }
    bool start(const QString &encoder) { return makeFolder() && launch(encoder); }
    // Ends what a test left of the program; true when no window of it is left.
    static bool closeProgram()
    {
        // Guarded: a window takes its own top-level children (the list's menu) with it.
        QList<QPointer<QWidget>> windows;
        for (QWidget *widget : QApplication::topLevelWidgets())
            windows << widget;
        for (const QPointer<QWidget> &widget : std::as_const(windows))
            delete qobject_cast<ui::frmMain *>(widget.data());
        ui::ConfigurationRef::program().unloadAndRelease();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return std::ranges::none_of(QApplication::topLevelWidgets(), [](const QWidget *w) {
            return w->isVisible() || qobject_cast<const ui::frmMain *>(w)
                   || qobject_cast<const ui::Configuration *>(w);
        });
    }
    bool end()
    {
        // The temporary folder cannot remove names that are not UTF-8 itself.
        for (const QByteArray &raw : std::as_const(m_rawFiles))
            ::unlink(raw.constData());
        m_rawFiles.clear();
        const bool ended = closeProgram();
        settings::setProgramFolderForTesting(QString()); // the folder itself goes at the next start
        return ended;
    }
    QString path(const QString &name) const { return QDir(m_dir->path()).absoluteFilePath(name); }
    template <class W = QWidget>
    W *control(const QString &name) const
    {
        return m_window->findChild<W *>(name);
    }
    void click(const QString &name) const { control<QPushButton>(name)->click(); }
    QStringList rows() const // as a run reads them
    {
        QStringList rows;
        for (int row = 0; row < m_window->rowCount(); ++row)
            rows << m_window->rowText(row);
        return rows;
    }
    // The whole stored value, past the settings object's read limit.
    static QString stored(const QString &section, const QString &key)
    {
        return platform::GetPrivateProfileString(section, key, "<missing>", 4096,
                                                 settings::settingsFilePath());
    }
    static QString storedDestination()
    {
        return stored(settings::keys::kPaths, settings::keys::kDestinationPath);
    }

    // Drags what a file manager offers (files by name in the program folder, web links, text when given) to
    // pos (window coordinates): enter, move, drop; the drop even after a refused move, so that a target meets
    // data it was never offered. What the source is told at the move and at the drop; accepted events only.
    std::pair<Qt::DropAction, Qt::DropAction> drop(const QPoint &pos, const QStringList &files,
                                                   const QString &text = {}) const
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &file : files)
            urls << (file.contains(u"://") ? QUrl(file) : QUrl::fromLocalFile(path(file)));
        if (!urls.isEmpty())
            data.setUrls(urls);
        if (!text.isNull())
            data.setText(text);
        constexpr Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QDragMoveEvent move(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent dropped(QPointF(pos), offered, &data, Qt::LeftButton, Qt::NoModifier);
        for (QEvent *event : std::initializer_list<QEvent *>{&enter, &move, &dropped})
            QApplication::sendEvent(m_window->windowHandle(), event);
        return {move.isAccepted() ? move.dropAction() : Qt::IgnoreAction,
                dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction};
    }
    // Makes a real empty file whose name is the raw bytes given (not necessarily UTF-8) in the program
    // folder, and gives its URL as a file manager offers it: the bytes percent-encoded. Empty when the file
    // could not be made.
    QString rawFileUrl(const QByteArray &name)
    {
        const QByteArray raw = QFile::encodeName(m_dir->path()) + '/' + name;
        m_rawFiles << raw;
        const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0 || ::close(fd) != 0 || ::access(raw.constData(), F_OK) != 0)
            return {};
        return QString::fromLatin1("file://" + raw.toPercentEncoding("/"));
    }
    static QPoint centreOf(const QWidget *widget)
    {
        return widget->mapTo(widget->window(), widget->rect().center());
    }
};

} // namespace testsupport
