// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's load, fixed layout, tab order and keys, on the program's real start in a temporary
// folder.
#include "dialogstandins.h"
#include "programsupport.h"
#include "testsupport.h"
#include "ui/widgets/statuslamp.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>

using namespace batch;
using namespace testsupport;
namespace keys = settings::keys;

class TestFrmMain : public QObject, ProgramFixture {
    Q_OBJECT

    QStringList m_clicked; // the push buttons clicked, in order

    // The program's start on the settings file given (null: none; "first start": a first start's).
    bool load(const QByteArray &file = {})
    {
        QFile ini(settings::settingsFilePath());
        if (file == "first start"
                ? !load() || !closeProgram()
                : !file.isNull() && (!ini.open(QIODevice::WriteOnly) || ini.write(file) < 0))
            return false;
        ini.close();
        ui::Main();
        m_window = qobject_cast<ui::frmMain *>(QApplication::topLevelWidgets().value(0));
        return QApplication::topLevelWidgets().size() == 1 && m_window
               && QTest::qWaitForWindowActive(m_window);
    }
    QString text(const char *box) const { return control<QLineEdit>(box)->text(); }

private slots:
    void init()
    {
        m_clicked.clear();
        QVERIFY(makeFolder());
    }

    void cleanup() { QVERIFY(end()); }

    // A start leaves the window fixed, centred and idle, showing the file's choices and writing back what it
    // shows.
    void startShowsTheFileInTheIdleWindow_data()
    {
        QTest::addColumn<QByteArray>("file");
        // Shown: folder, parameters, preset; then stored: folder, parameters. ~ is the program folder.
        QTest::addColumn<QStringList>("expected");
        const QString folder = "/srv/" + QString(140, u'm');
        const QString parameters = QStringLiteral("-b 320 -q 0 ").repeated(12).trimmed();
        QTest::newRow("first start") << QByteArray()
                                     << QStringList{"~", " (ignored in preset mode)", "opt128", "~",
                                                    "<missing>"};
        QTest::newRow("second start without edits")
            << QByteArray("first start") << QStringList{"~", "", "opt128", "~", ""};
        QTest::newRow("256kbps stored, folder with a blank")
            << QByteArray("[PATHS]\nDestination Path=/srv/Music out\n[SETTINGS]\nDefault Encoding=3\n")
            << QStringList{"/srv/Music out", "", "Opt256", "/srv/Music out", ""};
        QTest::newRow("5 chooses no preset; an empty box that stays empty writes nothing")
            << QByteArray("[CUSTOM]\nParameters=-V 2\n[SETTINGS]\nDefault Encoding=5\n")
            << QStringList{"", "-V 2", "", "<missing>", "-V 2"};
        QTest::newRow("values past the read limit are shown and kept whole")
            << ("[PATHS]\nDestination Path=" + folder.toUtf8()
                + "\n[SETTINGS]\nDefault Encoding=4\n[CUSTOM]\n" + "Parameters=" + parameters.toUtf8() + "\n")
            << QStringList{folder, parameters, "optCustom", folder, parameters};
    }

    void startShowsTheFileInTheIdleWindow()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        QVERIFY(load(file));
        QStringList on;
        for (const QRadioButton *button : m_window->findChildren<QRadioButton *>())
            on << (button->isChecked() ? button->objectName() : QString());
        const PresetButtons read = m_window->presetButtons(); // as a run reads them
        QCOMPARE(on, (QStringList{read.Opt256 ? "Opt256" : "", read.optCustom ? "optCustom" : "",
                                  read.optVar ? "optVar" : "", read.opt128 ? "opt128" : ""}));
        QCOMPARE((QStringList{text("txtOutPath"), text("txtCustom"), on.join(QString()),
                              stored(keys::kPaths, keys::kDestinationPath),
                              stored(keys::kCustom, keys::kParameters)}),
                 expected.replaceInStrings("~", m_dir->path()));
        const auto lamp = [this](const char *name) { return control<ui::StatusLamp>(name)->fillColour(); };
        QCOMPARE((QList{lamp("shpReady"), lamp("shpWait"), lamp("shpRecord")}),
                 (QList{colours::ReadyLit, colours::WaitDim, colours::RecordDim}));
        QVERIFY(!control("cmdCancel")->isEnabled() && control("cmdEncode")->isEnabled());
        QVERIFY(!ui::ConfigurationRef::program().window());
        for (const char *box : {"txtOutPath", "txtCustom"}) // shown from the start, as the design text is
            QCOMPARE(control<QLineEdit>(box)->cursorPosition(), 0);
        const QPoint offCentre = m_window->frameGeometry().center()
                                 - m_window->screen()->availableGeometry().center();
        QVERIFY(m_window->minimumSize() == m_window->maximumSize() && offCentre.manhattanLength() <= 16);
        QVERIFY(!(m_window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        // optCustom lies outside the frame, yet a click anywhere on it clears the buttons inside.
        QTest::mouseClick(control("optCustom"), Qt::LeftButton, {}, control("optCustom")->rect().topRight());
        QVERIFY(m_window->presetButtons().optCustom && !m_window->presetButtons().opt128);
    }

    // With no preset chosen, Tab enters the group at its first button, else at the chosen one; F1 asks for
    // help.
    void tabVisitsTheControlsInOrderAndF1AsksForHelp()
    {
        QVERIFY(QFile(settings::helpFilePath()).open(QIODevice::WriteOnly));
        RecordedHelpRequests help;
        QVERIFY(load("[PATHS]\nLAME=/usr/bin/lame\n"));
        m_window->setCancelEnabled(true);
        const QString rest = QStringLiteral("cmdCancel cmdSelectTrg cmdAbout cmdQuit picLogo cmdConfig "
                                            "lstWavefiles cmdClearWav cmdClearCurrent txtOutPath");
        for (const char *group :
             {"txtOutPath cmdEncode opt128 txtCustom ", "txtOutPath cmdEncode txtCustom Opt256 "}) {
            QStringList visited{QApplication::focusWidget()->objectName()};
            while (visited.size() < 14) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                visited << QApplication::focusWidget()->objectName();
            }
            QCOMPARE(visited.join(' '), group + rest);
            control<QRadioButton>("Opt256")->setChecked(true);
        }
        QTest::keyClick(control("lstWavefiles"), Qt::Key_F1);
        QCOMPARE(help.files, QStringList{settings::helpFilePath()});
    }

    // Enter without modifiers clicks the focused button, else the default one (none in Config); Escape: Exit.
    void keyClicksOneButtonAtMost_data()
    {
        QTest::addColumn<bool>("inConfiguration");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("clicked"); // empty: none
        QTest::addColumn<QString>("focused"); // afterwards (empty: focus); "closed": the window went
        const auto row = [](const char *name, bool inConfiguration, QString focus, QString keys,
                            QString clicked, QString focused = {}) {
            QTest::newRow(name) << inConfiguration << focus << keys << clicked << focused;
        };
        row("Alt+E clicks Encode", false, "txtOutPath", "Alt+E", "cmdEncode");
        row("keypad Enter in the custom box clicks Encode", false, "txtCustom", "Num+Enter", "cmdEncode");
        row("Ctrl+Return clicks nothing", false, "txtCustom", "Ctrl+Return", "");
        // Cancel and Config share their key: each press moves the focus on, and clicks nothing.
        row("Alt+C twice moves the focus, clicks nothing", false, "txtOutPath", "Alt+C, Alt+C", "",
            "cmdCancel");
        row("config: Escape in the path box is Exit", true, "txtLamePath", "Esc", "", "closed");
        row("config: Return on Exit clicks it", true, "cmdQuit", "Return", "cmdQuit", "closed");
        row("config: keypad Enter on browse clicks it", true, "cmdSelectlme", "Num+Enter", "cmdSelectlme");
        row("config: Return in the path box clicks nothing", true, "txtLamePath", "Return", "");
        row("config: Tab twice from the path box reaches Exit", true, "txtLamePath", "Tab, Tab", "",
            "cmdQuit");
    }

    void keyClicksOneButtonAtMost()
    {
        QFETCH(bool, inConfiguration);
        QFETCH(QString, focus);
        QFETCH(QString, keys);
        QFETCH(QString, clicked);
        QFETCH(QString, focused);
        RecordedMessageBoxes boxes;
        ScriptedFileDialogs dialogs; // each cancelled
        QVERIFY(load());
        m_window->setCancelEnabled(true); // as during a run
        QPointer<QWidget> window = m_window.data();
        if (inConfiguration) {
            ui::ConfigurationRef::program().show();
            QVERIFY(QTest::qWaitForWindowActive(window = ui::ConfigurationRef::program().window()));
        }
        for (QPushButton *each : window->findChildren<QPushButton *>())
            connect(each, &QPushButton::clicked, this, [this, each] { m_clicked << each->objectName(); });
        window->findChild<QWidget *>(focus)->setFocus();
        QTest::keySequence(window->findChild<QWidget *>(focus), QKeySequence(keys));
        QTRY_COMPARE(m_clicked.join(' '), clicked);
        QCOMPARE(window && window->isVisible() ? QApplication::focusWidget()->objectName() : "closed",
                 focused.isEmpty() ? focus : focused);
        // The list is empty, so a run that starts ends at once with its message.
        QCOMPARE(boxes.boxes.size() == 1 && boxes.boxes[0].text.startsWith("No wav-files"),
                 clicked == "cmdEncode");
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
