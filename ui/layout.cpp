// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/layout.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyleFactory>
#include <QStyleOption>

namespace ui {

namespace {
// The list from its first family this machine has. Qt, asked for a family it does not have, first has
// fontconfig sort every installed face against it (to find its own fallbacks) and only then tries the next
// family on the list, which it takes: the same face, reached without that sort, which costs about as much
// as loading a face. A list of which no family is here stays whole, for Qt's own fallbacks.
QStringList fromFirstInstalled(const QStringList &families)
{
    static const QStringList installed = [] {
        QStringList names = QFontDatabase::families();
        for (QString &name : names) {
            if (const qsizetype foundry = name.indexOf(QLatin1String(" [")); foundry > 0)
                name.truncate(foundry); // "Family [Foundry]"
        }
        return names;
    }();
    for (qsizetype i = 0; i < families.size(); ++i) {
        if (installed.contains(families.at(i), Qt::CaseInsensitive))
            return families.mid(i);
    }
    return families;
}

QFont fontOf(const QStringList &families, qreal points, bool bold)
{
    QFont font;
    font.setFamilies(fromFirstInstalled(families));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

bool styleCutsLine(const QLineEdit *edit, const QStyle *style)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.state |= QStyle::State_Sunken;
    option.lineWidth = edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    // The line is drawn in the style's room less the text margins, and cut to it.
    const QRect line =
        style->subElementRect(QStyle::SE_LineEditContents, &option, edit).marginsRemoved(edit->textMargins());
    return line.height() < edit->fontMetrics().height();
}

bool styleCutsButton(const QAbstractButton *button, const QStyle *style)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const auto *push = qobject_cast<const QPushButton *>(button);
    // As the button describes itself to its style: a default button may get a
    // ring of its own around the bevel.
    if (push && push->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    if (push && push->isDefault())
        option.features |= QStyleOptionButton::DefaultButton;
    // An option button's circle is drawn in the style's own size, centred in the button's height.
    if (!push
        && !button->rect().contains(style->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button)))
        return true;
    if (button->text().isEmpty())
        return false;
    const QRect room = style->subElementRect(
        push ? QStyle::SE_PushButtonContents : QStyle::SE_RadioButtonContents, &option, button);
    // An option button's caption wraps at blanks onto further lines.
    const int wraps = push ? 0 : int(Qt::TextWordWrap);
    const QSize needed =
        button->fontMetrics().boundingRect(room, Qt::TextShowMnemonic | wraps, button->text()).size();
    return needed.width() > room.width() || needed.height() > room.height();
}

// Shows each fixed-size window's controls in a style that keeps them whole, once, as the window first shows:
// a window's controls and their texts are fixed, so a later show would find what the first found.
class FixedWindowWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow() && widget->minimumSize() == widget->maximumSize()
                && !widget->property(kKeptWhole).toBool()) {
                widget->setProperty(kKeptWhole, true);
                keepTextsWhole(widget);
            }
        }
        return false;
    }

private:
    static constexpr char kKeptWhole[] = "purlwaveKeptWhole";
};
} // namespace

QFont systemFont(qreal points, bool bold)
{
    return fontOf({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")},
                  points, bold);
}

QFont verdanaFont(qreal points, bool bold)
{
    return fontOf(
        {QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}, points,
        bold);
}

bool styleCutsControl(const QWidget *control, const QStyle *style)
{
    if (const auto *edit = qobject_cast<const QLineEdit *>(control))
        return styleCutsLine(edit, style);
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return styleCutsButton(button, style);
    return false;
}

void keepTextsWhole(QWidget *window)
{
    // One Fusion per window, which outlives the controls it draws: a child made
    // after them goes after them.
    QPointer<QStyle> fusion;
    const auto drawnByFusion = [&](QWidget *control) {
        if (!fusion) {
            fusion = QStyleFactory::create(QStringLiteral("Fusion"));
            fusion->setParent(window);
        }
        control->setStyle(fusion);
        // The margins a style gives a line edit's text (to clear its rounded
        // frame) are not taken back when it goes; Fusion needs none.
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            edit->setTextMargins({});
    };
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (control->window() != window || control->style() == fusion
            || !styleCutsControl(control, control->style()))
            continue;
        drawnByFusion(control);
        // The option buttons of one group look alike.
        if (const auto *option = qobject_cast<const QRadioButton *>(control); option && option->group()) {
            for (QAbstractButton *other : option->group()->buttons())
                drawnByFusion(other);
        }
    }
}

void keepTextsWholeInFixedWindows()
{
    // Once per application, however often the program starts in it (tests do).
    static QPointer<FixedWindowWatch> watch;
    if (watch)
        return;
    QCoreApplication *application = QCoreApplication::instance();
    watch = new FixedWindowWatch(application);
    application->installEventFilter(watch);
}

} // namespace ui
