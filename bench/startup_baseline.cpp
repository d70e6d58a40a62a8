// SPDX-License-Identifier: GPL-3.0-or-later
// The least a Qt Widgets program does to show a window: one of the main window's size holding one line
// edit with a word in it (so that it loads and draws a font), linked with Qt Widgets only. Started by
// bench_startup; it ends once its window is on screen.
#include "startwatch.h"

#include <QLineEdit>

int main(int argc, char *argv[])
{
    StartWatch app(argc, argv);
    QWidget window;
    window.resize(687, 397); // the main window's size
    QLineEdit edit(QStringLiteral("Text1"), &window);
    edit.move(16, 32);
    window.show();
    return QApplication::exec();
}
