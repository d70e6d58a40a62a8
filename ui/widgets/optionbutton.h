// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRadioButton>

namespace ui {

// An option button whose caption wraps onto further lines at blanks when it is
// wider than the button, as option buttons with a tall box do on the desktop the
// layout was drawn for. Qt's radio button would cut such a caption off instead.
// The whole box takes clicks, not only the indicator and the text.
class OptionButton : public QRadioButton {
    Q_OBJECT
public:
    explicit OptionButton(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    // True when the caption does not fit on one line and is drawn wrapped.
    bool wrapsCaption() const;
    QRect captionRect() const;
};

} // namespace ui
