#pragma once

#include <QColor>
#include <QWidget>
#include <QtGlobal>

namespace ui {

// A colour stored as 0x00BBGGRR (red in the low byte).
QColor colourFromBgr(quint32 bgr);

// One of the window's status lamps: an opaque filled circle whose fill colour is
// its state, with a thin dark ring around it. It takes neither focus nor clicks.
class StatusLamp : public QWidget {
    Q_OBJECT
public:
    explicit StatusLamp(QWidget *parent = nullptr);

    void setFillColour(quint32 bgr);
    quint32 fillColour() const { return m_fill; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    quint32 m_fill = 0;
};

} // namespace ui
