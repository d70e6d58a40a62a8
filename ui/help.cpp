#include "ui/help.h"

#include "settings/location.h"
#include "ui/messagebox.h"

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
    const bool opened = handler() ? handler()(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        MessageBox::information(
            parent,
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

RecordedHelpRequests::RecordedHelpRequests()
{
    HelpViewer::setHandler([this](const QUrl &url) {
        files.append(QDir::toNativeSeparators(url.toLocalFile()));
        return opens;
    });
}

RecordedHelpRequests::~RecordedHelpRequests() { HelpViewer::setHandler({}); }

} // namespace ui
