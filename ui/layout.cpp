// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/layout.h"

#include <QStringList>

namespace ui {

namespace {
QFont fontOf(const QStringList &families, qreal points, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
} // namespace

QFont systemFont(qreal points, bool bold)
{
    return fontOf({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")},
                  points, bold);
}

QFont verdanaFont(qreal points, bool bold)
{
    return fontOf(
        {QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}, points,
        bold);
}

} // namespace ui
