#include "ui/moddrag.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Purlwave"));
    ui::Main();
    return QApplication::exec();
}
