// SPDX-License-Identifier: GPL-3.0-or-later
// The program as main() starts it, linked as the program is, with its settings file in the folder named by
// the one argument; it ends once its main window is on screen. Started by bench_startup.
#include "settings/location.h"
#include "ui/windows/moddrag.h"

#include "startwatch.h"

int main(int argc, char *argv[])
{
    StartWatch app(argc, argv);
    if (argc != 2)
        return 2;
    QApplication::setApplicationName(QStringLiteral("Purlwave"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Purlwave"));
    settings::setProgramFolderForTesting(QString::fromLocal8Bit(argv[1]));
    ui::Main();
    return QApplication::exec();
}
