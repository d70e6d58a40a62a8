// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <QPixmap>

namespace ui {

// The picture box that shows the logo: the picture inside a thin sunken border,
// the box sized to both. It takes the focus by the keyboard only; clicks on it do
// nothing. The picture is painted once per screen density and then copied.
class Logo : public QFrame {
    Q_OBJECT
public:
    explicit Logo(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture; // the painted logo at the density it was last shown at
};

} // namespace ui
