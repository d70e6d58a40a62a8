#pragma once

#include <QFrame>
#include <QIcon>
#include <QSize>

class QPainter;
class QRectF;

namespace ui {

// The logo picture's size in pixels.
inline constexpr QSize kLogoPictureSize{326, 74};

// Paints the logo (a wave that turns into a stream of notes, and the name) so that
// it fills area. It is drawn in vector form, so it stays sharp at any density.
void paintLogo(QPainter &painter, const QRectF &area);

// The program's icon, the same wave and a note in a rounded square.
QIcon applicationIcon();

// The picture box that shows the logo: the picture inside a thin sunken border,
// the box sized to both. It takes the focus by the keyboard only; clicks on it do
// nothing.
class Logo : public QFrame {
    Q_OBJECT
public:
    explicit Logo(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace ui
