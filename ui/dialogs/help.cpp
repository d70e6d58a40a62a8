// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/help.h"

#include "settings/location.h"
#include "ui/dialogs/messagebox.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

namespace ui {

namespace {
HelpViewer::Handler &handler()
{
    static HelpViewer::Handler h;
    return h;
}

HelpViewer::ApplicationQuery &applicationQuery()
{
    static HelpViewer::ApplicationQuery q;
    return q;
}
} // namespace

bool openHelpFile(QWidget *parent, const QString &file)
{
    const QString shown = QDir::toNativeSeparators(file);
    if (!QFileInfo(file).isFile()) {
        MessageBox::information(parent, QStringLiteral("The help file %1 was not found.").arg(shown));
        return false;
    }
    // Cleaned, because a doubled separator at the root would read as a host name.
    const QUrl url = QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(file).absoluteFilePath()));
    // The desktop's opener reports success once it has started, even when it then
    // finds nothing to show the file with, so the desktop is asked first. When it
    // cannot be asked, the opener's answer is all there is.
    const platform::DesktopApplication application = applicationQuery()
                                                         ? applicationQuery()(file)
                                                         : platform::desktopApplicationFor(file);
    const bool opened = application != platform::DesktopApplication::None
                        && (handler() ? handler()(url) : QDesktopServices::openUrl(url));
    if (!opened) {
        MessageBox::information(parent,
                                QStringLiteral("The help file %1 could not be opened: no program on this "
                                               "computer opens it. A viewer for compiled HTML help files "
                                               "shows it.")
                                    .arg(shown));
    }
    return opened;
}

QShortcut *installHelpKey(QWidget *window)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_F1), window);
    shortcut->setObjectName(QStringLiteral("helpKey"));
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window,
                     [window] { openHelpFile(window, settings::helpFilePath()); });
    return shortcut;
}

void HelpViewer::setHandler(Handler h) { handler() = std::move(h); }

void HelpViewer::setApplicationQuery(ApplicationQuery q) { applicationQuery() = std::move(q); }

} // namespace ui
