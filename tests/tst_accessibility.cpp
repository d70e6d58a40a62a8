// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader meets, read through Qt's own accessibility interfaces on the program's real windows:
// spoken names, the lamps' states, and the configuration window's keys. The offscreen
// platform has no active accessibility, and Qt hands no change events on without one: the announcements are
// checked against a real screen reader bus instead (scripts/atspi-dump.sh).
#include "programsupport.h"
#include "scriptedfiledialogs.h"
#include "testsupport.h"
#include "ui/widgets/statuslamp.h"

#include <QAccessible>

using namespace batch;

using namespace testsupport;
using namespace Qt::StringLiterals;

namespace {

QAccessibleInterface *accessible(QObject *object) { return QAccessible::queryAccessibleInterface(object); }

} // namespace

class TestAccessibility : public QObject, ProgramFixture {
    Q_OBJECT

    ui::Configuration *configuration() const { return ui::ConfigurationRef::program().window(); }

private slots:
    void init() { QVERIFY(start(standinEncoder())); }
    void cleanup() { QVERIFY(end()); }

    // Every control that takes the focus, in both windows, has a name to speak; captions name what they stand
    // over, and the others have names of their own.
    void everyControlHasASpokenName_data()
    {
        QTest::addColumn<bool>("inConfiguration");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("main window: the output box is named by its caption")
            << false << u"txtOutPath"_s << u"Destination path: (optional)"_s;
        QTest::newRow("main window: a lamp is named by its caption") << false << u"shpWait"_s << u"Busy"_s;
        QTest::newRow("configuration: the path box is named by its caption")
            << true << u"txtLamePath"_s << u"Path to Lame.exe:"_s;
    }

    void everyControlHasASpokenName()
    {
        QFETCH(bool, inConfiguration);
        QFETCH(QString, control);
        QFETCH(QString, name);
        if (inConfiguration)
            ui::ConfigurationRef::program().show();
        QWidget *window = inConfiguration ? static_cast<QWidget *>(configuration()) : m_window.data();

        QCOMPARE(accessible(window->findChild<QWidget *>(control))->text(QAccessible::Name), name);
        for (const QWidget *each : window->findChildren<QWidget *>())
            if (each->focusPolicy() & Qt::TabFocus)
                QVERIFY2(!accessible(const_cast<QWidget *>(each))->text(QAccessible::Name).isEmpty(),
                         qPrintable(each->objectName()));
    }

    // The lamps say lit or dim, following each change of colour.
    void lampsTellTheirState_data()
    {
        QTest::addColumn<Lamp>("lamp");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<QString>("state");
        QTest::newRow("Ready dimmed says dim") << Lamp::shpReady << colours::ReadyDim << u"dim"_s;
        QTest::newRow("Busy lit says lit") << Lamp::shpWait << colours::WaitLit << u"lit"_s;
        QTest::newRow("Encoding in another colour names it")
            << Lamp::shpRecord << quint32(0xFF0000) << u"#0000ff"_s;
    }

    void lampsTellTheirState()
    {
        QFETCH(Lamp, lamp);
        QFETCH(quint32, colour);
        QFETCH(QString, state);
        m_window->setLampColour(lamp, colour);
        const QString name = lamp == Lamp::shpReady  ? u"shpReady"_s
                             : lamp == Lamp::shpWait ? u"shpWait"_s
                                                     : u"shpRecord"_s;
        QCOMPARE(accessible(control(name))->text(QAccessible::Description), state);
    }

    // In the configuration window Escape is "Exit", and Enter presses the focused button; Enter in the path
    // box does nothing.
    void configurationWindowKeys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("Escape in the path box closes it as Exit does")
            << u"txtLamePath"_s << Qt::Key_Escape << true << 0;
        QTest::newRow("Enter on Exit closes it") << u"cmdQuit"_s << Qt::Key_Return << true << 0;
        QTest::newRow("keypad Enter on the select button opens the dialog")
            << u"cmdSelectlme"_s << Qt::Key_Enter << false << 1;
        QTest::newRow("Enter in the path box does nothing")
            << u"txtLamePath"_s << Qt::Key_Return << false << 0;
    }

    void configurationWindowKeys()
    {
        QFETCH(QString, focus);
        QFETCH(Qt::Key, key);
        QFETCH(bool, closes);
        QFETCH(int, dialogs);
        ScriptedFileDialogs dialog;
        ui::ConfigurationRef::program().show();
        QPointer<ui::Configuration> window = configuration();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        auto *target = window->findChild<QWidget *>(focus);
        target->setFocus();

        QTest::keyClick(target, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

        QCOMPARE(dialog.shown, dialogs);
        QTRY_COMPARE(!window || !window->isVisible(), closes);
        QCOMPARE(ui::ConfigurationRef::program().isLoaded(), !closes);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
