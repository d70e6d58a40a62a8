// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader meets, through Qt's accessibility interfaces; Orca's own speech:
// scripts/orca-speech.sh.
#include "dialogstandins.h"
#include "programsupport.h"
#include "testsupport.h"
#include "ui/widgets/statuslamp.h"
#include "ui/widgets/wavelist.h"

#include <QAccessible>
#include <QRegularExpression>

using namespace batch;
using namespace testsupport;
using namespace Qt::StringLiterals;

namespace {

QAccessibleInterface *accessible(QObject *object) { return QAccessible::queryAccessibleInterface(object); }

// Each notification's name as it shows (Qt tells a screen reader then; offscreen it hands on no events).
struct Heard : QObject {
    QStringList names;
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && accessible(object)->role() == QAccessible::Notification)
            names << accessible(object)->text(QAccessible::Name);
        return false;
    }
};
using L = QStringList;

} // namespace

class TestAccessibility : public QObject, ProgramFixture {
    Q_OBJECT

private slots:
    void init() { QVERIFY(start(realLame())); }
    void cleanup() { QVERIFY(end()); }

    // Every control that takes the focus, in both windows, has a name to speak; captions name what they stand
    // over. A lamp's name says its state, for flat review, and follows each change of colour.
    void everyControlHasASpokenName_data()
    {
        QTest::addColumn<bool>("inConfiguration");
        QTest::addColumn<QString>("control");
        QTest::addColumn<quint32>("colour"); // given to a lamp first; 0: none
        QTest::addColumn<QString>("name");
        QTest::newRow("status line: its own text") << false << u"lblActivity"_s << 0u << u"Ready"_s;
        QTest::newRow("config path box: caption") << true << u"txtLamePath"_s << 0u << u"Path to Lame.exe:"_s;
        QTest::newRow("Busy after the load: dim") << false << u"shpWait"_s << 0u << u"Busy lamp: dim"_s;
        QTest::newRow("lit") << false << u"shpRecord"_s << colours::RecordLit << u"Encoding lamp: lit"_s;
        QTest::newRow("a colour") << false << u"shpReady"_s << 0xFF0000u << u"Ready lamp: #0000ff"_s;
    }

    void everyControlHasASpokenName()
    {
        QFETCH(bool, inConfiguration);
        QFETCH(QString, control);
        QFETCH(quint32, colour);
        QFETCH(QString, name);
        if (inConfiguration)
            ui::ConfigurationRef::program().show();
        QWidget *window = inConfiguration ? static_cast<QWidget *>(ui::ConfigurationRef::program().window())
                                          : m_window.data();
        if (colour)
            window->findChild<ui::StatusLamp *>(control)->setFillColour(colour);

        QCOMPARE(accessible(window->findChild<QWidget *>(control))->text(QAccessible::Name), name);
        QCOMPARE(accessible(window)->role(), QAccessible::Window); // not a pane; rules are separators
        QCOMPARE(accessible(this->control(u"Line1"_s))->role(), QAccessible::Separator);
        for (const QWidget *each : window->findChildren<QWidget *>())
            if (each->focusPolicy() & Qt::TabFocus)
                QVERIFY2(!accessible(const_cast<QWidget *>(each))->text(QAccessible::Name).isEmpty(),
                         qPrintable(each->objectName()));
    }

    // Files added are counted aloud (every way in goes through one function: the menu's dialog and a drop
    // stand for them); a run's end is said once, with the count; an end that a box explains adds nothing to
    // the box; a stop says how many were encoded (told by hand: a real run stops at random).
    void additionsAndRunEndsAreAnnounced_data()
    {
        QTest::addColumn<bool>("byDialog");
        QTest::addColumn<QStringList>("files"); // WAV files; "t.wav" holds text, which lame refuses
        QTest::addColumn<QStringList>("said");
        QTest::newRow("menu") << true << L{"a.wav", "b.wav"} << L{"2 files added", "Done! 2 files encoded."};
        QTest::newRow("fails") << false << L{"t.wav"} << L{"1 file added", "1 of 1 file failed."};
        QTest::newRow("a cancelled dialog: only the box") << true << L{} << L{};
    }

    void additionsAndRunEndsAreAnnounced()
    {
        QFETCH(bool, byDialog);
        QFETCH(QStringList, files);
        QFETCH(QStringList, said);
        ScriptedAddFiles dialog;
        Heard heard;
        qApp->installEventFilter(&heard);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        for (const QString &file : files)
            QVERIFY(file == u"t.wav"_s ? writeFile(path(file), "text") : writeToneWav(path(file), 0.2));
        dialog.choose(QStringList(files).replaceInStrings(QRegularExpression("^"), m_dir->path() + '/'));
        RecordedMessageBoxes boxes;
        auto *list = control<ui::WaveList>(u"lstWavefiles"_s);
        byDialog ? list->addFilesFromDialog() : void(drop(centreOf(list), files));
        click(u"cmdEncode"_s);
        m_window->runEnded({.end = RunOutcome::End::Stopped, .tried = 1, .failed = 1});
        QCOMPARE(heard.names, said << u"User Requested Stop! 0 files encoded, 1 failed."_s);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
