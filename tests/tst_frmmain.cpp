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

    // The program's start on the settings file given (null: none; "first start": the one a first start
    // wrote).
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
        if (QApplication::topLevelWidgets().size() != 1 || !m_window
            || !QTest::qWaitForWindowActive(m_window))
            return false;
        for (QPushButton *each : m_window->findChildren<QPushButton *>())
            connect(each, &QPushButton::clicked, this, [this, each] { m_clicked << each->objectName(); });
        return true;
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
        QCOMPARE((QStringList{text("txtOutPath"), text("txtCustom"), on.join(QString()),
                              stored(keys::kPaths, keys::kDestinationPath),
                              stored(keys::kCustom, keys::kParameters)}),
                 expected.replaceInStrings("~", m_dir->path()));
        const auto lamp = [this](const char *name) { return control<ui::StatusLamp>(name)->fillColour(); };
        QCOMPARE((QList{lamp("shpReady"), lamp("shpWait"), lamp("shpRecord")}),
                 (QList{colours::ReadyLit, colours::WaitDim, colours::RecordDim}));
        QVERIFY(!control("cmdCancel")->isEnabled() && control("cmdEncode")->isEnabled());
        QVERIFY(!ui::ConfigurationRef::program().window());
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
        RecordedMessageBoxes boxes;
        QVERIFY(load());
        m_window->setCancelEnabled(true); // as during a run
        m_window->setEncodeEnabled(encodeEnabled);
        control(focus)->setFocus();
        QTest::keySequence(control(focus), QKeySequence(keys));
        QTRY_COMPARE(m_clicked.join(' '), clicked);
        QTEST(QApplication::focusWidget()->objectName(), "focused");
        // The list is empty, so a run that starts ends at once with its message.
        QCOMPARE(boxes.boxes.size() == 1 && boxes.boxes[0].text.startsWith("No wav-files"),
                 clicked == "cmdEncode");
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
