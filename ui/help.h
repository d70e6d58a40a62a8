#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QShortcut;
class QUrl;
class QWidget;

namespace ui {

// Asks the desktop to open a help file in whatever viewer it has for it. When the
// file is missing, or the desktop cannot open it, a message box over parent says
// so and names the file. True when the file was handed to a viewer.
bool openHelpFile(QWidget *parent, const QString &file);

// Makes F1 anywhere in window (the window or any control in it, while it is the
// active window) open the program's help file, settings::helpFilePath(), looked up
// at each press. The shortcut belongs to the window and goes with it.
QShortcut *installHelpKey(QWidget *window);

// What stands in for the desktop's "open this file": given the file's URL, it
// reports whether it could be opened. Tests install one, so that no viewer starts.
class HelpViewer {
public:
    using Handler = std::function<bool(const QUrl &url)>;
    static void setHandler(Handler handler);
};

// Records every help file that would have been opened, for the lifetime of a
// scope; opens reports what the desktop would answer.
class RecordedHelpRequests {
public:
    RecordedHelpRequests();
    ~RecordedHelpRequests();
    RecordedHelpRequests(const RecordedHelpRequests &) = delete;
    RecordedHelpRequests &operator=(const RecordedHelpRequests &) = delete;

    QStringList files; // local paths, in native form
    bool opens = true;
};

} // namespace ui
