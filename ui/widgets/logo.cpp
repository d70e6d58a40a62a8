// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/logo.h"

#include "ui/artwork.h"

#include <QPainter>

namespace ui {

Logo::Logo(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::TabFocus);
}

QSize Logo::sizeHint() const
{
    const int border = 2 * frameWidth();
    return kLogoPictureSize + QSize(border, border);
}

void Logo::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    if (area.isEmpty())
        return;
    // Painting the logo lays out its text and traces its curves; a copy of the
    // finished picture costs next to nothing. A new size or density paints anew.
    const qreal ratio = devicePixelRatioF();
    if (m_picture.isNull() || m_picture.devicePixelRatio() != ratio
        || m_picture.deviceIndependentSize() != QSizeF(area.size())) {
        // At its own size the finished picture is built in: the window's first
        // show need not lay out the logo's text.
        m_picture = area.size() == kLogoPictureSize ? builtInLogo(ratio) : QPixmap();
    }
    if (m_picture.isNull()) {
        m_picture = QPixmap(area.size() * ratio);
        m_picture.setDevicePixelRatio(ratio);
        m_picture.fill(Qt::transparent);
        QPainter picture(&m_picture);
        paintLogo(picture, QRectF(QPointF(0, 0), QSizeF(area.size())));
    }
    QPainter painter(this);
    painter.drawPixmap(area.topLeft(), m_picture);
}

} // namespace ui
