// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on the program's real start: its controls, its keys, and Encode and Cancel through a run.
#include "batch/batchrun.h"
#include "programsupport.h"
#include "recordedmessageboxes.h"
#include "settings/keys.h"
#include "testsupport.h"
#include "ui/widgets/statuslamp.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

using namespace batch;

namespace keys = settings::keys;

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

    void windowIsFixedAndCentredWithOnePresetGroup()
    {
        QVERIFY(m_window->minimumSize() == m_window->size() && m_window->maximumSize() == m_window->size());
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
        const auto row = [](const char *name, QString focus, QString keys, bool encodeEnabled,
                            QString clicked, QString focused) {
            QTest::newRow(name) << focus << keys << encodeEnabled << clicked << focused;
        };
        row("Alt+E clicks Encode", "txtOutPath", "Alt+E", true, "cmdEncode", "txtOutPath");
        row("keypad Enter in the custom box clicks Encode", "txtCustom", "Enter", true, "cmdEncode",
            "txtCustom");
        row("a focused button takes Return", "cmdClearWav", "Return", true, "cmdClearWav", "cmdClearWav");
        row("Return with Encode disabled clicks nothing", "txtCustom", "Return", false, "", "txtCustom");
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
