// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/optionbutton.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace ui {

namespace {
constexpr int kWrappedFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
}

OptionButton::OptionButton(const QString &text, QWidget *parent) : QRadioButton(text, parent) {}

QRect OptionButton::captionRect() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
}

bool OptionButton::wrapsCaption() const
{
    const QRect area = captionRect();
    const QRect oneLine = fontMetrics().boundingRect(area, Qt::AlignLeft | Qt::TextShowMnemonic, text());
    return oneLine.width() > area.width();
}

void OptionButton::paintEvent(QPaintEvent *event)
{
    if (!wrapsCaption()) {
        QRadioButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);

    QStyleOptionButton indicatorOnly = option;
    indicatorOnly.text.clear();
    indicatorOnly.state &= ~QStyle::State_HasFocus;
    painter.drawControl(QStyle::CE_RadioButton, indicatorOnly);

    painter.drawItemText(area, kWrappedFlags, option.palette, isEnabled(), text(), QPalette::WindowText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.fontMetrics().boundingRect(area, kWrappedFlags, text()).adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool OptionButton::hitButton(const QPoint &pos) const { return rect().contains(pos); }

} // namespace ui
