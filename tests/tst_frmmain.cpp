// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the program's real start: its controls, its keys, and Encode and Cancel through a run.
#include "batch/batchrun.h"
#include "programsupport.h"
#include "recordedmessageboxes.h"
#include "settings/keys.h"
#include "testsupport.h"
#include "ui/widgets/statuslamp.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

using namespace batch;

namespace keys = settings::keys;

namespace {

// A control as laid out; colour -1 for the window's text colour.
struct Control {
    const char *kind;
    QString text;
    QRect twips;
    QString family;
    double points;
    bool bold;
    int colour;
};

} // namespace

Q_DECLARE_METATYPE(Control)

class TestFrmMain : public QObject, testsupport::ProgramFixture {
    Q_OBJECT

    QStringList m_clicked; // the push buttons clicked, in order

    // Encode, Cancel, the Busy lamp, the configuration window ("none", "shown" or its path), the title.
    QString state() const
    {
        const ui::Configuration *config = ui::ConfigurationRef::program().window();
        const quint32 busy = control<ui::StatusLamp>("shpWait")->fillColour();
        return QStringLiteral("Encode %1, Cancel %2, Busy %3, config %4; %5")
            .arg(control("cmdEncode")->isEnabled())
            .arg(control("cmdCancel")->isEnabled())
            .arg(busy == colours::WaitLit   ? "lit"
                 : busy == colours::WaitDim ? "dim"
                                            : QString::number(busy))
            .arg(!config               ? QStringLiteral("none")
                 : config->isVisible() ? QStringLiteral("shown")
                                       : config->lamePath(),
                 m_window->windowTitle());
    }

private slots:
    void init()
    {
        QVERIFY(start(testsupport::standinEncoder()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_clicked.clear();
        for (QPushButton *each : m_window->findChildren<QPushButton *>())
            connect(each, &QPushButton::clicked, this, [this, each] { m_clicked << each->objectName(); });
    }

    void cleanup() { QVERIFY(end()); }

    void controlsMatchTheLayout_data()
    {
        QTest::addColumn<Control>("want");
        const auto row = [](const char *name, const char *kind, const char *text, QRect twips,
                            QString family = "MS Sans Serif", double points = 8.25, bool bold = false,
                            int colour = -1) {
            QTest::newRow(name) << Control{kind,  QString::fromLatin1(text), twips, family, points, bold,
                                           colour};
        };
        row("cmdClearCurrent", "QPushButton", "&Remove", {5850, 3990, 825, 345});
        row("cmdClearWav", "QPushButton", "Rem&ove all", {6690, 3990, 945, 345});
        row("lstWavefiles", "QListWidget", "", {30, 1950, 7605, 2010});
        row("cmdConfig", "QPushButton", "&Config", {0, 1200, 1215, 375});
        row("cmdQuit", "QPushButton", "&Quit", {3720, 1200, 1215, 375});
        row("cmdAbout", "QPushButton", "&About", {1200, 1200, 1215, 375});
        row("cmdSelectTrg", "QPushButton", "...", {4680, 4470, 315, 285}, "MS Sans Serif", 8.25, true);
        row("cmdCancel", "QPushButton", "&Cancel", {9000, 3840, 1215, 375});
        row("Opt256", "QRadioButton", "256kbps", {8040, 2040, 1695, 375}, "MS Sans Serif", 9.75);
        row("txtCustom", "QLineEdit", "", {7920, 3000, 2295, 285});
        row("optCustom", "QRadioButton", "Custom settings", {8040, 2640, 2175, 255}, "MS Sans Serif", 9.75);
        row("optVar", "QRadioButton", "VBR 150-200kbps", {8040, 1080, 1815, 615}, "MS Sans Serif", 9.75);
        row("opt128", "QRadioButton", "128kbps", {8040, 480, 1455, 255}, "MS Sans Serif", 9.75);
        row("cmdEncode", "QPushButton", "&Encode", {9000, 4320, 1215, 375}, "MS Sans Serif", 8.25, true);
        row("txtOutPath", "QLineEdit", "", {90, 4470, 4575, 285});
        row("frmOptions", "QGroupBox", "Presets", {7920, 0, 2295, 2535}, "Verdana", 9.75, true);
        row("picLogo", "ui::Logo", "", {0, 0, 4950, 1170});
        row("lblWavelist", "QLabel", "Drag your wave files into this list box:", {30, 1650, 3825, 255},
            "Verdana", 9);
        row("lblWait", "QLabel", "Busy", {9360, 5280, 735, 255});
        row("shpWait", "ui::StatusLamp", "", {9120, 5280, 135, 135});
        row("lblRecord", "QLabel", "Encoding", {9360, 5520, 855, 255});
        row("lblReady", "QLabel", "Ready", {9360, 5040, 615, 255});
        row("shpReady", "ui::StatusLamp", "", {9120, 5040, 135, 135});
        row("shpRecord", "ui::StatusLamp", "", {9120, 5520, 135, 135});
        row("Line2", "QFrame", "", {0, 5880, 10320, 15}); // one pixel high
        row("Line1", "QFrame", "", {0, 4800, 10320, 15});
        row("lblFile2", "QLabel", "Stopped", {1200, 5400, 1695, 255}, "MS Sans Serif", 9.75, true, 192);
        row("lblFile", "QLabel", "Progress:", {120, 5400, 1095, 375}, "MS Sans Serif", 9.75, true);
        row("lblActivity", "QLabel", "Ready", {960, 5040, 8055, 255}, "MS Sans Serif", 9.75, true, 32768);
        row("lblProgress", "QLabel", "Status:", {120, 5040, 1095, 255}, "MS Sans Serif", 9.75, true);
        row("lblOut", "QLabel", "Destination path: (optional)", {90, 4230, 2835, 255}, "Verdana", 9);
    }

    void controlsMatchTheLayout()
    {
        QFETCH(Control, want);
        m_window->setCancelEnabled(true); // as it stands before the load and during a run
        QWidget *widget = control(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget && widget->parentWidget() == m_window);
        QVERIFY2(widget->inherits(want.kind), widget->metaObject()->className());
        const QRect &t = want.twips;
        QCOMPARE(widget->geometry(), QRect(t.x() / 15, t.y() / 15, t.width() / 15, t.height() / 15));
        QCOMPARE(widget->property(qobject_cast<QGroupBox *>(widget) ? "title" : "text").toString(),
                 want.text);
        QCOMPARE(widget->toolTip(),
                 widget == control("txtOutPath") ? "The folder in which to save the MP3-files" : "");
        const QFont f = widget->font();
        QCOMPARE(std::tuple(f.family(), f.pointSizeF(), f.bold()),
                 std::tuple(want.family, want.points, want.bold));
        QCOMPARE(widget->palette().color(QPalette::WindowText),
                 want.colour < 0 ? m_window->palette().color(QPalette::WindowText)
                                 : ui::colourFromBgr(static_cast<quint32>(want.colour)));
    }

    void windowIsFixedAndCentredWithOnePresetGroup()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Purlwave v1.3 - Press F1 for help"));
        QCOMPARE((QList<QSize>{m_window->size(), m_window->minimumSize(), m_window->maximumSize()}),
                 QList<QSize>(3, QSize(10305 / 15, 5955 / 15)));
        constexpr Qt::WindowFlags kButtons = Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
        QCOMPARE(m_window->windowFlags()
                     & (kButtons | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
                 kButtons);
        const QPoint offCentre = m_window->frameGeometry().center()
                                 - m_window->screen()->availableGeometry().center();
        QVERIFY(offCentre.manhattanLength() <= 16);
        // optCustom lies outside the frame, yet choosing it clears the buttons inside.
        control<QRadioButton>("opt128")->click();
        control<QRadioButton>("optCustom")->click();
        QVERIFY(!control<QRadioButton>("opt128")->isChecked()
                && control<QRadioButton>("optCustom")->isChecked());
    }

    void tabVisitsTheFocusableControlsInOrder()
    {
        m_window->setCancelEnabled(true);
        const QString rest = QStringLiteral("cmdCancel cmdSelectTrg cmdAbout cmdQuit picLogo cmdConfig "
                                            "lstWavefiles cmdClearWav cmdClearCurrent txtOutPath");
        // With no preset chosen, Tab enters the group at its first button; then the chosen button is its one
        // tab stop.
        for (const char *group :
             {"txtOutPath cmdEncode opt128 txtCustom ", "txtOutPath cmdEncode txtCustom Opt256 "}) {
            QStringList visited{QApplication::focusWidget()->objectName()};
            while (visited.size() < 14) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                visited << QApplication::focusWidget()->objectName();
            }
            QCOMPARE(visited.join(QLatin1Char(' ')), group + rest);
            control<QRadioButton>("Opt256")->setChecked(true);
        }
    }

    void keyClicksOneButtonAtMost_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("encodeEnabled");
        QTest::addColumn<QString>("clicked"); // empty: none
        QTest::addColumn<QString>("focused"); // afterwards
        const auto row = [](const char *name, const char *focus, const char *keys, bool encodeEnabled,
                            const char *clicked, const char *focused) {
            QTest::newRow(name) << QString::fromLatin1(focus) << QString::fromLatin1(keys) << encodeEnabled
                                << QString::fromLatin1(clicked) << QString::fromLatin1(focused);
        };
        row("Alt+E clicks Encode", "txtOutPath", "Alt+E", true, "cmdEncode", "txtOutPath");
        row("Return in the output box clicks Encode", "txtOutPath", "Return", true, "cmdEncode",
            "txtOutPath");
        row("keypad Enter in the custom box clicks Encode", "txtCustom", "Enter", true, "cmdEncode",
            "txtCustom");
        row("Return with Encode disabled clicks nothing", "txtCustom", "Return", false, "", "txtCustom");
        row("a focused button takes Return", "cmdClearWav", "Return", true, "cmdClearWav", "cmdClearWav");
        // Cancel and Config share their key: each press moves the focus on, and clicks nothing.
        row("Alt+C twice moves the focus and clicks nothing", "txtOutPath", "Alt+C, Alt+C", true, "",
            "cmdCancel");
    }

    void keyClicksOneButtonAtMost()
    {
        QFETCH(QString, focus);
        QFETCH(QString, keys);
        QFETCH(bool, encodeEnabled);
        QFETCH(QString, clicked);
        QFETCH(QString, focused);
        testsupport::RecordedMessageBoxes boxes;
        m_window->setCancelEnabled(true); // as during a run
        m_window->setEncodeEnabled(encodeEnabled);
        control(focus)->setFocus();
        QTest::keySequence(control(focus), QKeySequence(keys));
        // An access key clicks a moment later, as a mouse click would look.
        QTRY_COMPARE(m_clicked.join(QLatin1Char(' ')), clicked);
        QCOMPARE(QApplication::focusWidget()->objectName(), focused);
        // The list is empty, so a run that starts ends at once with its message.
        QCOMPARE(boxes.boxes.size() == 1 && boxes.boxes[0].text.startsWith(QLatin1String("No wav-files")),
                 clicked == QLatin1String("cmdEncode"));
    }

    void runSwapsEncodeAndCancelUntilItEnds_data()
    {
        // Cancel: with the stand-in, at the first look into the run; else real lame to the end.
        QTest::addColumn<bool>("cancel");
        QTest::newRow("real lame, 128kbps, to the end") << false;
        QTest::newRow("Cancel during the first file") << true;
    }

    void runSwapsEncodeAndCancelUntilItEnds()
    {
        QFETCH(bool, cancel);
        const QString encoder = cancel ? testsupport::standinEncoder() : testsupport::realLame();
        // Stored after the start: the first Encode finds it in the settings file.
        QVERIFY(platform::WritePrivateProfileString(keys::kPaths, keys::kLame, encoder,
                                                    settings::settingsFilePath()));
        testsupport::RecordedMessageBoxes boxes;
        for (const char *name : {"first take.wav", "Second.WAV"}) {
            QVERIFY(testsupport::writeToneWav(path(name), 1.0));
            control<QListWidget>("lstWavefiles")->addItem(path(name));
        }
        control<QRadioButton>(cancel ? "optCustom" : "opt128")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText(QStringLiteral("--bytes 5000 --chunk 1000 --interval 100"));

        // A zero timer looks at the window at every pass of the event loop the run makes, up to a Cancel.
        QStringList seen;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            seen << state();
            if (cancel) {
                ticker.stop();
                click("cmdCancel");
                seen << state();
            }
        });
        ticker.start(0);
        click("cmdEncode");
        seen << state();
        seen.removeDuplicates();
        // The first Encode loaded the configuration window hidden, for the stored path. A stop
        // leaves the lamps as they were; only a completed run lets the configuration window go.
        const QString running = "Encode 0, Cancel 1, Busy lit, config " + encoder
                                + "; Encoding in process, please wait...";
        const QString stopping = "Encode 0, Cancel 0, Busy lit, config " + encoder
                                 + "; User requested stop, please wait while finishing current track...";
        const QString ended = cancel ? "Encode 1, Cancel 0, Busy lit, config " + encoder + "; "
                                           + BatchRun::titleStopped()
                                     : "Encode 1, Cancel 0, Busy dim, config none; "
                                           + BatchRun::titleCompleted();
        QCOMPARE(seen, cancel ? (QStringList{running, stopping, ended}) : (QStringList{running, ended}));
        QCOMPARE(control<QLabel>("lblActivity")->text(), cancel ? "User Requested Stop!" : "Done!");
        QCOMPARE(control("lblActivity")->palette().color(QPalette::WindowText),
                 ui::colourFromBgr(cancel ? colours::TextWorking : colours::TextIdle));
        QCOMPARE(control<QListWidget>("lstWavefiles")->currentRow(), cancel ? 0 : 1);
        QCOMPARE(boxes.boxes.size(), 0);
        const auto written = [&](const char *mp3) { // the stand-in writes no real MP3
            return cancel ? QFileInfo::exists(path(mp3)) : testsupport::looksLikeMp3(path(mp3), 1.0);
        };
        QVERIFY(written("first take.mp3"));
        QCOMPARE(written("Second.mp3"), !cancel);
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
