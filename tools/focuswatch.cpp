// SPDX-License-Identifier: GPL-3.0-or-later
// The program as main() starts it, telling on standard output what it sees of the keyboard: a line
// "active NAME" whenever Qt's active window changes, and "focus NAME" whenever its focus widget does
// (NAME is the object name, or the class name of an object without one; "-" for none). Run by
// scripts/dialog-focus.sh, which drives the file dialogs under a real window manager and reads these lines;
// not a test.
#include "ui/windows/moddrag.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace {
const char *nameOf(const QWidget *widget)
{
    static QByteArray name;
    name = widget ? widget->objectName().toUtf8() : QByteArray("-");
    return name.isEmpty() ? widget->metaObject()->className() : name.constData();
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Purlwave"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Purlwave"));
    // Qt's active window follows its focus window, and has followed it when this is told.
    QObject::connect(&app, &QGuiApplication::focusWindowChanged, [] {
        std::printf("active %s\n", nameOf(QApplication::activeWindow()));
        std::fflush(stdout);
    });
    QObject::connect(&app, &QApplication::focusChanged, [](QWidget *, QWidget *now) {
        std::printf("focus %s\n", nameOf(now));
        std::fflush(stdout);
    });
    ui::Main(ui::programArguments(argc, argv));
    return QApplication::exec();
}
