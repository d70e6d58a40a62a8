// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QRect>

class QStyle;
class QWidget;

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

// Whether a style, drawing this control at its size and in its font, would cut
// it off: a line edit's line (its text scrolls sideways, so only the height
// counts), a button's or option button's caption, an option button's circle.
// Other controls are not cut by a style.
bool styleCutsControl(const QWidget *control, const QStyle *style);

// The windows are fixed in size and so are their controls, but some desktop styles
// want more room than a control has: thick rounded frames leave a 19-pixel box too
// little for its line, large circles overrun a 17-pixel option button. Each
// control that its style would cut is drawn by Fusion instead, which fits every
// control, and so are the other option buttons of its group, so that they look
// alike; the palette stays the user's, and every other control keeps the user's
// style. Done once for each fixed-size window, as it first shows, from the
// program's start on.
void keepTextsWhole(QWidget *window);
void keepTextsWholeInFixedWindows();

} // namespace ui
