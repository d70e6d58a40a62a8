// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

namespace ui {

// A colour stored as 0x00BBGGRR (red in the low byte).
QColor colourFromBgr(quint32 bgr);

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white),
// from their relative luminance as the web's accessibility guidelines define it.
double contrastRatio(const QColor &a, const QColor &b);

// The lowest contrast that body text should keep against its background.
inline constexpr double kReadableContrast = 4.5;

// The light grey dialog face that the status colours were chosen for: the dark
// green just keeps a 4.5:1 contrast on it, and it is next to invisible in front
// of the usual light faces.
inline constexpr QRgb kStatusFace = 0xF0F0F0;

// Whether the status texts (dark red and dark green) and the dim lamps, made for
// a light window face, need a face of their own (kStatusFace) in front of this one.
bool needsLightFace(const QColor &face);

// Whether a face is nearer black than white: a dark ring would vanish on it.
bool isDarkFace(const QColor &face);

} // namespace ui
