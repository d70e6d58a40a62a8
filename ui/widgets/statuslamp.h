// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>
#include <QtGlobal>

namespace ui {

// One of the window's status lamps: an opaque filled circle whose fill colour is
// its state, with a thin ring around it: dark grey on a light window face, white
// on a dark one (where the dim colours would sink into the face), black on a
// middling one. It takes neither
// focus nor clicks. A screen reader hears its name and its state in one, as
// "Ready lamp: lit": flat review reads a name, not a description.
class StatusLamp : public QWidget {
    Q_OBJECT
public:
    StatusLamp(quint32 litBgr, quint32 dimBgr, QWidget *parent = nullptr);

    // The caption of the lamp's label, which starts its spoken name.
    void setLampName(const QString &name);
    void setFillColour(quint32 bgr);
    quint32 fillColour() const { return m_fill; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    quint32 m_lit;
    quint32 m_dim;
    quint32 m_fill = 0;
    QString m_name;

    void tellState();
};

} // namespace ui
