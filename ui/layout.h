// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QRect>

// What the program's windows share in laying out their controls.
namespace ui {

// The layout is laid down in twips: 15 twips make one device-independent pixel,
// so Qt scales it with the screen's density.
constexpr int px(int twips) { return twips / 15; }

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

// The layout was drawn for two faces that Linux desktops do not ship. Each is asked
// for by name, so that a machine that has it uses it; after it come free faces of
// the same point size. "MS Sans Serif" falls back to the Arial-width faces (the
// Liberation and URW ones), which are narrow enough that every caption fits its
// box, and only then to DejaVu Sans. "Verdana" falls back to DejaVu Sans, which
// shares its wide, open letter shapes.
QFont systemFont(qreal points, bool bold = false);
QFont verdanaFont(qreal points, bool bold = false);

} // namespace ui
