// SPDX-License-Identifier: GPL-3.0-or-later
// The program's real windows under every installed style and under desktops' palettes, by the styles'
// geometry and on their pictures: no text cut, the status texts readable, the lamps seen, the layout kept.
#include "programsupport.h"
#include "ui/widgets/contrast.h"
#include "ui/widgets/statuslamp.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>

#include <ranges>

using namespace Qt::StringLiterals;

namespace {

QPalette themed(QColor f, QColor t) { return {t, f, f.lighter(), f.darker(), f, t, t, f.darker(110), f}; }

// The strongest contrast of an area's pixels against its most frequent colour (the background): the stems'.
double textContrast(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    const QColor background(std::max_element(counts.cbegin(), counts.cend()).key()); // iterators give counts
    return std::ranges::max(
        counts.keys() | std::views::transform([&](QRgb c) { return ui::contrastRatio(c, background); }));
}

// Whether a control fits where a style puts it: a caption (an option button's wraps) and an option button's
// circle, a label's text, the line of a line edit as the style polishes one (some add text margins; the text
// scrolls sideways).
bool fits(const QWidget *w, QStyle *style)
{
    QLineEdit edit;
    edit.setFont(w->font());
    edit.resize(w->size());
    style->polish(&edit);
    QStyleOptionFrame frame;
    frame.initFrom(&edit);
    frame.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, &edit);
    const QRect line = style->subElementRect(QStyle::SE_LineEditContents, &frame, &edit);
    if (qobject_cast<const QLineEdit *>(w))
        return line.marginsRemoved(edit.textMargins()).height() >= edit.fontMetrics().height();
    QStyleOptionButton option;
    option.initFrom(w);
    option.text = w->property("text").toString();
    const auto element = qobject_cast<const QPushButton *>(w) ? QStyle::SE_PushButtonContents
                                                              : QStyle::SE_RadioButtonContents;
    const QRect room = qobject_cast<const QAbstractButton *>(w) ? style->subElementRect(element, &option, w)
                                                                : w->contentsRect();
    const int flags = Qt::TextShowMnemonic | (qobject_cast<const QRadioButton *>(w) ? Qt::TextWordWrap : 0);
    const QSize needed = w->fontMetrics().boundingRect(room, flags, option.text).size();
    if (flags & Qt::TextWordWrap
        && !w->rect().contains(style->subElementRect(QStyle::SE_RadioButtonIndicator, &option, w)))
        return false;
    return option.text.isEmpty() || (needed.width() <= room.width() && needed.height() <= room.height());
}

} // namespace

class TestDarkPalette : public QObject, testsupport::ProgramFixture {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(end()); }

    // Each installed style in its own palette (where no desktop names one, Qt takes Fusion); palettes a
    // desktop sets under a running program. Texts whole; only what the user's style would cut drawn in
    // another, in the user's palette. The palette rows start on a white face, which needs no face of its own.
    void windowsStayWholeAndReadable_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QList<QPalette>>("palettes");
        for (const QString &style : QStyleFactory::keys())
            QTest::newRow(qPrintable(style)) << style << QList<QPalette>();
        QTest::newRow("dark then mid grey")
            << u"Fusion"_s
            << QList{themed(Qt::white, Qt::black), themed(0x353535, Qt::white), themed(0x808080, Qt::black)};
    }
    void windowsStayWholeAndReadable()
    {
        QFETCH(QString, style);
        QFETCH(QList<QPalette>, palettes);
        QApplication::setStyle(style);
        QApplication::setPalette(palettes.isEmpty() ? QPalette() : palettes.takeFirst());
        QPalette given = QApplication::palette();
        QVERIFY(start(u"/usr/bin/lame"_s));
        for (const QPalette &palette : std::as_const(palettes)) { // heard through posted events
            QApplication::setPalette(given = palette);
            QTRY_COMPARE(control("shpReady")->palette().window(), palette.window());
        }
        control<QLineEdit>("txtOutPath")->setText(u"/home/ann/Music/gjpqy"_s); // a cut line loses descenders
        click("cmdConfig");
        for (QWidget *window : QWidgetList{m_window, ui::ConfigurationRef::program().window()}) {
            QVERIFY(window->grab().save(u"%1-%2.png"_s.arg(QTest::currentDataTag(), window->objectName())));
            for (const QWidget *each : window->findChildren<QWidget *>()) {
                const QColor base = each->palette().color(QPalette::Active, QPalette::Base);
                // An option button looks like its group: one that the user's style cuts takes all to Fusion.
                const auto *option = qobject_cast<const QRadioButton *>(each);
                const auto kin = option ? option->group()->buttons() : QList<QAbstractButton *>();
                const auto cut = [](const QWidget *w) { return !fits(w, QApplication::style()); };
                QVERIFY2(
                    fits(each, each->style())
                        && (each->style()->name() == style.toLower()
                            || ((cut(each) || std::ranges::any_of(kin, cut)) && base == given.base().color()))
                        && std::ranges::all_of(kin, [&](auto *b) { return b->style() == each->style(); }),
                    qPrintable(each->objectName()));
            }
        }
        // Judged once, as the window first shows: a control given back the user's style keeps it.
        control("optCustom")->setStyle(nullptr);
        m_window->hide(), m_window->show();
        QCOMPARE(control("optCustom")->style(), QApplication::style());
        const QImage shot = m_window->grab().toImage();
        const QColor face = given.window().color();
        for (const auto &[line, colour] : {std::pair{"lblActivity", 32768u}, std::pair{"lblFile2", 192u}}) {
            QVERIFY2(textContrast(shot, control(line)->geometry()) >= 4.5, line);
            QCOMPARE(control(line)->palette().color(QPalette::WindowText), ui::colourFromBgr(colour)); // kept
        }
        const QRect edge = control("optVar")->geometry().adjusted(control("optVar")->width() - 2, 0, 0, 0);
        QVERIFY2(textContrast(shot, edge) < 1.5, "a caption too wide for its line wraps, and never runs off");
        QCOMPARE(qRound(ui::contrastRatio(QColor(192, 0, 0), Qt::white) * 100), 648); // the judge, by WCAG 2
        for (const char *lamp : {"shpReady", "shpWait", "shpRecord"}) // each ring stands out from the face
            QVERIFY2(ui::contrastRatio(shot.pixel(control(lamp)->pos() + QPoint(4, 0)), face) >= 3, lamp);
        ui::ConfigurationRef ref;
        const ui::frmMain design(ref); // as made, before any style or palette came to it
        for (const QWidget *each : design.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QCOMPARE(control(each->objectName())->geometry(), each->geometry());
    }
};

QTEST_MAIN(TestDarkPalette)
#include "tst_darkpalette.moc"
