// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/contrast.h"

#include "batch/mainview.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
           + 0.0722 * linear(colour.blueF());
}

} // namespace

QColor colourFromBgr(quint32 bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool needsLightFace(const QColor &face)
{
    return std::ranges::any_of(
        std::initializer_list<quint32>{batch::colours::TextWorking, batch::colours::TextIdle},
        [&](quint32 text) { return contrastRatio(colourFromBgr(text), face) < kReadableContrast; });
}

bool isDarkFace(const QColor &face)
{
    return contrastRatio(face, Qt::black) < contrastRatio(face, Qt::white);
}

} // namespace ui
