// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/artwork.h"

#include "ui/rawpicture.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyleOption>
#include <QStylePainter>
#include <QtWidgets/qdrawutil.h>

#include <cmath>
#include <numbers>
#include <utility>

namespace ui {

namespace {

// The icon theme's PNG files that the program carries: the sizes a title bar and a taskbar entry take. A
// window hands the desktop every size its icon has, each sent whole at its first show; the two larger files
// (128 and 256 pixels) cost more at start than the other six together, and where a desktop shows the
// program's icon that large it takes it from the icon theme.
constexpr const RawPicture *kApplicationIcons[] = {&kIcon16, &kIcon22, &kIcon24,
                                                   &kIcon32, &kIcon48, &kIcon64};

const QColor kDeep(22, 34, 74);
const QColor kSea(29, 95, 134);
const QColor kFoam(143, 230, 255);

QFont logoFont(qreal pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    font.setBold(bold);
    return font;
}

// A PNG file of the program's own resources. A reader left to find the format itself first loads every
// image format plugin installed (and the libraries behind them) to ask each whether it reads PNG; told the
// format, it takes Qt's own PNG reader.
QPixmap builtInPng(const QString &file)
{
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

// A group box whose frame, under Fusion and with a title, it draws as Fusion does, from the same picture read
// as PNG outright: the frame's room as Fusion gives it, less the room Fusion leaves above it for the title
// (the taller of an option button's circle and a line of the title's font, and 3 pixels), the margins it
// stretches the picture by. Fusion then draws the rest, its frame left out.
class GroupBoxFramedAsPng : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (style()->name() != QLatin1String("fusion") || title().isEmpty() || isCheckable()) {
            QGroupBox::paintEvent(event);
            return;
        }
        if (m_frame.isNull())
            m_frame = builtInPng(
                QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png"));
        QStylePainter painter(this);
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        const QRect frame = style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame,
                                                    this);
        const int top = qMax(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight),
                             option.fontMetrics.height())
                        + 3;
        qDrawBorderPixmap(&painter, frame.adjusted(0, top, 0, 0), QMargins(6, 6, 6, 6), m_frame);
        option.subControls &= ~QStyle::SC_GroupBoxFrame;
        painter.drawComplexControl(QStyle::CC_GroupBox, option);
    }

private:
    QPixmap m_frame;
};

// y of the wave at x, in logo coordinates: a sine whose swing eases off to the right.
qreal waveY(qreal x)
{
    const qreal swing = 14.0 - 5.0 * (x - 8.0) / 130.0;
    return 37.0 + swing * std::sin(2.0 * std::numbers::pi * (x - 8.0) / 44.0);
}

// An eighth note whose head centre is at head; size is the head's width.
void drawNote(QPainter &painter, QPointF head, qreal size, const QColor &colour)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.translate(head);
    painter.save();
    painter.rotate(-22.0);
    painter.drawEllipse(QRectF(-size / 2.0, -size * 0.34, size, size * 0.68));
    painter.restore();

    const qreal stemX = size * 0.42;
    const qreal stemTop = -size * 2.3;
    painter.setPen(QPen(colour, qMax(1.0, size * 0.16), Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(stemX, -size * 0.1), QPointF(stemX, stemTop));

    QPainterPath flag(QPointF(stemX, stemTop));
    flag.cubicTo(QPointF(stemX + size * 0.2, stemTop + size * 0.6),
                 QPointF(stemX + size * 1.1, stemTop + size * 0.7),
                 QPointF(stemX + size * 0.7, stemTop + size * 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, qMax(1.0, size * 0.2), Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(flag);
    painter.restore();
}

QPainterPath wavePath(qreal from, qreal to)
{
    QPainterPath path(QPointF(from, waveY(from)));
    for (qreal x = from + 1.0; x <= to; x += 1.0)
        path.lineTo(x, waveY(x));
    return path;
}

// A gear drawn on a 32-pixel grid.
QPixmap gearPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    QPainterPath gear;
    constexpr int kTeeth = 8;
    constexpr double kOuter = 15.0, kInner = 11.5;
    for (int i = 0; i < kTeeth * 2; ++i) {
        const double radius = (i % 2 == 0) ? kOuter : kInner;
        const double from = (i - 0.5) * std::numbers::pi / kTeeth;
        const double to = (i + 0.5) * std::numbers::pi / kTeeth;
        const QPointF a(16 + radius * std::cos(from), 16 + radius * std::sin(from));
        const QPointF b(16 + radius * std::cos(to), 16 + radius * std::sin(to));
        if (i == 0)
            gear.moveTo(a);
        else
            gear.lineTo(a);
        gear.lineTo(b);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(16, 16), 4.5, 4.5);
    gear = gear.subtracted(hole);

    painter.setPen(QPen(QColor(0x2b, 0x3a, 0x4a), 1.2));
    painter.setBrush(QColor(0x6b, 0x8c, 0xae));
    painter.drawPath(gear);
    return pixmap;
}

} // namespace

void paintLogo(QPainter &painter, const QRectF &area)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    painter.scale(area.width() / kLogoPictureSize.width(), area.height() / kLogoPictureSize.height());
    const QRectF logo(QPointF(0, 0), QSizeF(kLogoPictureSize));

    QLinearGradient sky(logo.topLeft(), logo.topRight());
    sky.setColorAt(0.0, kDeep);
    sky.setColorAt(1.0, kSea);
    painter.fillRect(logo, sky);

    // A faint echo behind the wave gives it some depth.
    QColor echo = kFoam;
    echo.setAlpha(80);
    painter.setPen(QPen(echo, 1.5, Qt::SolidLine, Qt::RoundCap));
    painter.save();
    painter.translate(-5.0, 3.0);
    painter.drawPath(wavePath(12.0, 96.0));
    painter.restore();

    QLinearGradient foam(QPointF(8, 0), QPointF(100, 0));
    foam.setColorAt(0.0, kFoam);
    foam.setColorAt(1.0, Qt::white);
    painter.setPen(QPen(QBrush(foam), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(wavePath(8.0, 92.0));

    // Where the wave runs out it breaks into spray, then into notes that ride on.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (qreal x : {97.0, 102.0, 106.5})
        painter.drawEllipse(QPointF(x, waveY(x)), 1.6, 1.6);
    const struct {
        qreal x;
        qreal size;
        int alpha;
    } notes[] = {{115.0, 9.0, 255}, {133.0, 8.0, 230}, {149.0, 7.0, 205}, {163.0, 6.0, 175}};
    for (const auto &note : notes) {
        QColor colour = Qt::white;
        colour.setAlpha(note.alpha);
        drawNote(painter, QPointF(note.x, waveY(note.x) + 4.0), note.size, colour);
    }

    // The name, fitted to the room right of the notes.
    const QString purl = QStringLiteral("Purl");
    const QString wave = QStringLiteral("wave");
    const QRectF nameBox(176.0, 8.0, 142.0, 40.0);
    qreal pixelSize = 38.0;
    QFont nameFont = logoFont(pixelSize, true);
    while (pixelSize > 8.0 && QFontMetricsF(nameFont).horizontalAdvance(purl + wave) > nameBox.width()) {
        pixelSize -= 1.0;
        nameFont = logoFont(pixelSize, true);
    }
    const QFontMetricsF nameMetrics(nameFont);
    const qreal baseline = nameBox.top() + (nameBox.height() + nameMetrics.capHeight()) / 2.0;
    painter.setFont(nameFont);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(nameBox.left(), baseline), purl);
    painter.setPen(kFoam);
    painter.drawText(QPointF(nameBox.left() + nameMetrics.horizontalAdvance(purl), baseline), wave);

    QFont tagFont = logoFont(10.0, false);
    tagFont.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    painter.setFont(tagFont);
    painter.setPen(QColor(184, 205, 224));
    painter.drawText(QPointF(nameBox.left() + 2.0, 63.0), QStringLiteral("WAV TO MP3 ENCODER"));

    painter.restore();
}

QPixmap builtInLogo(qreal ratio)
{
    if (ratio == 1.0)
        return QPixmap::fromImage(kLogo.image());
    if (ratio != 2.0)
        return {};
    QPixmap picture = builtInPng(QStringLiteral(":/pictures/logo@2x.png"));
    picture.setDevicePixelRatio(ratio);
    return picture;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const RawPicture *picture : kApplicationIcons)
        icon.addPixmap(QPixmap::fromImage(picture->image()));
    return icon;
}

QIcon paintedApplicationIcon()
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(side / 64.0, side / 64.0);

        QLinearGradient sky(QPointF(0, 0), QPointF(64, 64));
        sky.setColorAt(0.0, kDeep);
        sky.setColorAt(1.0, kSea);
        painter.setPen(Qt::NoPen);
        painter.setBrush(sky);
        painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

        QPainterPath wave(QPointF(8, 44));
        for (qreal x = 9; x <= 40; x += 1)
            wave.lineTo(x, 44 + 7 * std::sin(2 * std::numbers::pi * (x - 8) / 22));
        painter.setPen(QPen(kFoam, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(wave);

        drawNote(painter, QPointF(44, 38), 12, Qt::white);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon gearIcon()
{
    // Painted once for the application object: the configuration window is loaded anew at every run, and
    // painting the four sizes cost more than the rest of its load. The pixmaps go with the application.
    static QIcon *painted = nullptr;
    if (!painted) {
        painted = new QIcon;
        for (int size : {16, 24, 32, 48})
            painted->addPixmap(gearPixmap(size));
        qAddPostRoutine([] { delete std::exchange(painted, nullptr); });
    }
    return *painted;
}

QGroupBox *groupBoxFramedAsPng(const QString &title, QWidget *parent)
{
    return new GroupBoxFramedAsPng(title, parent);
}

} // namespace ui
