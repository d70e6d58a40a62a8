// SPDX-License-Identifier: GPL-3.0-or-later

// Not part of the program: saves the program's icon, as the program paints it, as
// PNG files in the layout of an icon theme, for the install.
//
//   purlwave_iconrender FOLDER           writes FOLDER/<N>x<N>/apps/org.example.Purlwave.png
//   purlwave_iconrender --logo FOLDER    writes FOLDER/logo.png and FOLDER/logo@2x.png, the
//                                        logo at its own size for densities 1 and 2

#include "ui/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc == 3 && QByteArray(argv[1]) == "--logo") {
        const QDir folder(QString::fromLocal8Bit(argv[2]));
        for (int ratio : {1, 2}) {
            QImage image(ui::kLogoPictureSize * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            ui::paintLogo(painter, QRectF(QPointF(0, 0), QSizeF(ui::kLogoPictureSize)));
            painter.end();
            const QString path = folder.filePath(ratio == 1 ? "logo.png" : "logo@2x.png");
            if (!image.save(path, "PNG", 9)) {
                err << "cannot write " << path << '\n';
                return 1;
            }
        }
        return 0;
    }
    if (argc != 2) {
        err << "usage: purlwave_iconrender FOLDER | --logo FOLDER\n";
        return 2;
    }
    const QIcon icon = ui::paintedApplicationIcon();
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QDir theme(QString::fromLocal8Bit(argv[1]));
        const QString folder = theme.filePath(QStringLiteral("%1x%1/apps").arg(side));
        const QString path = folder + QStringLiteral("/org.example.Purlwave.png");
        // A size the painter has no picture for is scaled from the next larger one.
        const QImage image =
            icon.pixmap(QSize(side, side), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.size() != QSize(side, side) || !QDir().mkpath(folder) || !image.save(path, "PNG", 9)) {
            err << "cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
