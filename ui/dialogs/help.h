// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"

#include <QString>
#include <QStringList>

#include <functional>

class QShortcut;
class QUrl;
class QWidget;

namespace ui {

// Asks the desktop to open a help file in whatever viewer it has for it. When the
// file is missing, or the desktop has no application for its type or cannot open
// it, a message box over parent says so and names the file. True when the file
// was handed to a viewer.
bool openHelpFile(QWidget *parent, const QString &file);

// Makes F1 anywhere in window (the window or any control in it, while it is the
// active window) open the program's help file, settings::helpFilePath(), looked up
// at each press. The shortcut belongs to the window and goes with it.
QShortcut *installHelpKey(QWidget *window);

// What stands in for the desktop. The handler stands in for "open this file":
// given the file's URL, it reports whether it could be opened. The application
// query stands in for platform::desktopApplicationFor. Tests install both, so
// that no viewer starts and the answers do not depend on the machine's desktop.
class HelpViewer {
public:
    using Handler = std::function<bool(const QUrl &url)>;
    static void setHandler(Handler handler);

    using ApplicationQuery = std::function<platform::DesktopApplication(const QString &file)>;
    static void setApplicationQuery(ApplicationQuery query);
};

} // namespace ui
