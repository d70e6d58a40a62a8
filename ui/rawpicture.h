// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

namespace ui {

// A picture built into the program as the pixels Qt reads from its PNG file, so that no start decodes it;
// the build writes them (tools/rawpictures.cpp).
struct RawPicture {
    int width;
    int height;
    const unsigned int *argb; // 0xAARRGGBB, row after row

    // The picture, on the pixels themselves.
    QImage image() const
    {
        return QImage(reinterpret_cast<const uchar *>(argb), width, height, width * 4, QImage::Format_ARGB32);
    }
};

// The logo at its own size (pictures/logo.png), and the icon theme's files up to 64 pixels.
extern const RawPicture kLogo;
extern const RawPicture kIcon16;
extern const RawPicture kIcon22;
extern const RawPicture kIcon24;
extern const RawPicture kIcon32;
extern const RawPicture kIcon48;
extern const RawPicture kIcon64;

} // namespace ui
