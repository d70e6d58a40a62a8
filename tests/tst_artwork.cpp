// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures the program carries and draws: the icon files built into it are what its painter renders,
// and the logo box shows the logo as painted at its size, however often it is repainted or resized.
#include "ui/artwork.h"
#include "ui/widgets/logo.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

QImage argb(const QPixmap &pixmap) { return pixmap.toImage().convertToFormat(QImage::Format_ARGB32); }

QImage paintedLogo(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ui::paintLogo(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void builtInIconIsWhatThePainterDraws_data()
    {
        QTest::addColumn<int>("side");
        for (int side : {16, 48, 256})
            QTest::addRow("%dx%d file matches the painter", side, side) << side;
    }
    void builtInIconIsWhatThePainterDraws()
    {
        QFETCH(int, side);
        const QSize size(side, side);
        const QImage builtIn = argb(ui::applicationIcon().pixmap(size, 1.0));
        QCOMPARE(builtIn.size(), size);
        // The painter has no picture of its own at every size: it scales from the next larger one, as the
        // files were rendered.
        QVERIFY2(builtIn == argb(ui::paintedApplicationIcon().pixmap(size, 1.0)),
                 "the icon files are older than the painter: render them again with purlwave_iconrender");
    }

    // However often it is repainted or resized, and back.
    void logoBoxShowsTheLogoPaintedAtItsSize()
    {
        const QSize own = ui::kLogoPictureSize;
        ui::Logo logo;
        const QSize border = logo.sizeHint() - own;
        for (const QSize &size : {own, own, own + QSize(100, 30), own}) {
            logo.resize(size + border);
            QCOMPARE(logo.contentsRect().size(), size);
            QCOMPARE(argb(logo.grab(logo.contentsRect())), paintedLogo(size));
        }
    }
};

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
