// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windows/moddrag.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Purlwave"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Purlwave"));
    ui::Main(ui::programArguments(argc, argv));
    return QApplication::exec();
}
