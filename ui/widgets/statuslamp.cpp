// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/statuslamp.h"

#include "ui/widgets/contrast.h"

#include <QPainter>

namespace ui {

namespace {
const QColor kRing(64, 64, 64);
} // namespace

StatusLamp::StatusLamp(quint32 litBgr, quint32 dimBgr, QWidget *parent)
    : QWidget(parent), m_lit(litBgr), m_dim(dimBgr)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void StatusLamp::setFillColour(quint32 bgr)
{
    if (bgr == m_fill)
        return;
    m_fill = bgr;
    tellState();
    update();
}

void StatusLamp::setLampName(const QString &name)
{
    m_name = name;
    tellState();
}

// Qt tells a screen reader of the changed name.
void StatusLamp::tellState()
{
    const QString state = m_fill == m_lit   ? QStringLiteral("lit")
                          : m_fill == m_dim ? QStringLiteral("dim")
                                            : colourFromBgr(m_fill).name();
    setAccessibleName(QStringLiteral("%1 lamp: %2").arg(m_name, state));
}

QSize StatusLamp::sizeHint() const { return {9, 9}; }

void StatusLamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The ring sits half a pixel inside the widget so that it is not cut off.
    const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    // The ring keeps the lamp seen on any face: the usual dark grey, or white or
    // black where the face is too near it (a contrast of 3:1, as for any shape).
    const QColor face = palette().color(QPalette::Window);
    const QColor ring = contrastRatio(kRing, face) >= 3.0 ? kRing
                        : isDarkFace(face)                ? QColor(Qt::white)
                                                          : QColor(Qt::black);
    painter.setPen(QPen(ring, 1.0));
    painter.setBrush(colourFromBgr(m_fill));
    painter.drawEllipse(circle);
}

} // namespace ui
