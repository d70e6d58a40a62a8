// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windows/moddrag.h"

#include "platform/sessionbus.h"
#include "ui/dialogs/settingsnotice.h"
#include "ui/layout.h"
#include "ui/windows/accessibleroles.h"
#include "ui/windows/configurationref.h"
#include "ui/windows/frmmain.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace ui {

void Main(const QList<QByteArray> &arguments)
{
    // Where Qt reaches screen readers over the session bus (X11, Wayland), it would wait for the bus while
    // the main window is built.
    const QString windowSystem = QGuiApplication::platformName();
    if (windowSystem == u"xcb" || windowSystem.startsWith(u"wayland"))
        platform::openSessionBusAheadOfQt();

    installAccessibleRoles();
    keepTextsWholeInFixedWindows();
    announceFailedSettingsWrites();

    // The window goes when it is closed (Quit, the close box). The program ends
    // when its last visible window has closed; a hidden configuration window does
    // not keep it alive and closes as the event loop ends.
    auto *window = new frmMain(ConfigurationRef::program());
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Should the program end another way, the window still closes, and is deleted,
    // before the application object goes.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window, &QWidget::close);

    // Showing a window that is not loaded loads it, and the load shows it; the
    // show here then finds it visible.
    window->Form_Load();
    window->show();
    window->addArgumentFiles(arguments);
}

QList<QByteArray> programArguments(int argc, char *argv[])
{
    // Qt's own options (-style, say) were taken out of argv by the application.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return arguments;
}

} // namespace ui
