// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

class QGroupBox;
class QPainter;
class QRectF;
class QWidget;

// Every picture the program draws for itself, so that it needs no image files but
// its icon's.
namespace ui {

// The logo picture's size in pixels.
inline constexpr QSize kLogoPictureSize{326, 74};

// Paints the logo (a wave that turns into a stream of notes, and the name) so that
// it fills area. It is drawn in vector form, so it stays sharp at any density.
void paintLogo(QPainter &painter, const QRectF &area);

// The logo as paintLogo draws it at kLogoPictureSize and the given device pixel
// ratio, from the pictures built into the program for ratios 1 and 2; a null
// pixmap for any other ratio, which the caller then paints.
QPixmap builtInLogo(qreal ratio);

// The program's icon, the same wave and a note in a rounded square, as the icon
// theme's PNG files built into the program hold it.
QIcon applicationIcon();

// The same icon painted afresh at the sizes the painter draws. Slower than
// applicationIcon(); it is what the icon files are rendered from.
QIcon paintedApplicationIcon();

// The configuration window's icon: a gear, painted once for the application object.
QIcon gearIcon();

// A group box that, under Fusion and with a title, draws its frame as Fusion does from Fusion's own picture
// read as PNG outright: Fusion reads it with format detection, which loads every image format plugin
// installed (and the libraries behind them) at the first paint.
QGroupBox *groupBoxFramedAsPng(const QString &title, QWidget *parent);

} // namespace ui
