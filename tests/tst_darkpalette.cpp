// SPDX-License-Identifier: GPL-3.0-or-later
// The status texts and lamps on the program's real window, measured on its picture: readable, and the lamps
// seen, whatever the desktop's palette, with the layout as it was.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/widgets/contrast.h"
#include "ui/widgets/statuslamp.h"

#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <memory>

using namespace batch;

using namespace testsupport;
using namespace Qt::StringLiterals;

namespace {

// A palette whose window face and text are the given colours, as dark desktop themes set them.
QPalette themed(const QColor &face, const QColor &text)
{
    QPalette palette(face, face);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    palette.setColor(QPalette::Base, face.darker(110));
    return palette;
}

// The strongest contrast of any pixel of an area against the colour found most often there (the background
// behind a text): that of the text's stems.
double textContrast(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    const QColor background(std::max_element(counts.cbegin(), counts.cend()).key()); // iterators give counts
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, ui::contrastRatio(QColor(it.key()), background));
    return best;
}

} // namespace

class TestDarkPalette : public QObject, ProgramFixture {
    Q_OBJECT

    QPalette m_original;

private slots:
    void initTestCase() { m_original = QApplication::palette(); }
    // Started on a white face, which needs no face of its own: every row's palette comes as a change.
    void init()
    {
        QApplication::setPalette(themed(Qt::white, Qt::black));
        QVERIFY(start(standinEncoder()));
    }
    void cleanup()
    {
        QApplication::setPalette(m_original);
        QVERIFY(end());
    }

    // Each row's palette comes after a switch from another, as a desktop changes theme under a running
    // program.
    void statusTextsAndLampsStayReadable_data()
    {
        QTest::addColumn<QPalette>("before");
        QTest::addColumn<QPalette>("palette");
        const QPalette fusion =
            std::unique_ptr<QStyle>(QStyleFactory::create(u"Fusion"_s))->standardPalette();
        const QPalette dark = themed(QColor(0x35, 0x35, 0x35), Qt::white);
        QTest::newRow("Fusion's light grey, then a dark palette") << fusion << dark;
        QTest::newRow("a dark palette, then mid grey") << dark << themed(QColor(0x80, 0x80, 0x80), Qt::black);
    }

    void statusTextsAndLampsStayReadable()
    {
        QFETCH(QPalette, before);
        QFETCH(QPalette, palette);
        QHash<QString, QRect> layout;
        for (const QWidget *each : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            layout[each->objectName()] = each->geometry();

        // The window hears of a new palette through posted events.
        QApplication::setPalette(before);
        QTRY_COMPARE(control("shpReady")->palette().color(QPalette::Window), before.color(QPalette::Window));
        QApplication::setPalette(palette);
        QTRY_COMPARE(control("shpReady")->palette().color(QPalette::Window), palette.color(QPalette::Window));
        m_window->setActivityText(u"Encoding track a.mp3 (1/1)"_s); // as wide as a run makes it
        m_window->setActivityColour(colours::TextWorking);
        m_window->setProgressColour(colours::TextIdle);
        const QImage shot = m_window->grab().toImage();

        for (const char *line : {"lblActivity", "lblFile2"}) {
            const double contrast = textContrast(shot, control(line)->geometry());
            qInfo("%s: contrast %.2f", line, contrast);
            QVERIFY2(contrast >= ui::kReadableContrast, line);
        }
        // The colours themselves stay.
        QCOMPARE(control("lblActivity")->palette().color(QPalette::WindowText),
                 ui::colourFromBgr(colours::TextWorking));
        QCOMPARE(control("lblFile2")->palette().color(QPalette::WindowText),
                 ui::colourFromBgr(colours::TextIdle));

        // Each lamp is seen against the window: its ring stands out from the face around it, lit or dim.
        const QColor face = palette.color(QPalette::Window);
        for (const char *lamp : {"shpReady", "shpWait", "shpRecord"}) {
            const QRect where = control(lamp)->geometry();
            const QColor ring(shot.pixel(where.center().x(), where.top()));
            qInfo("%s: ring against the face %.2f", lamp, ui::contrastRatio(ring, face));
            QVERIFY2(ui::contrastRatio(ring, face) >= 3.0, lamp);
        }

        for (const QWidget *each : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QCOMPARE(each->geometry(), layout.value(each->objectName()));
    }
};

QTEST_MAIN(TestDarkPalette)
#include "tst_darkpalette.moc"
