// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start through the real main window, on real settings files in a temporary program folder.
#include "programsupport.h"
#include "recordedhelprequests.h"
#include "settings/keys.h"
#include "ui/widgets/statuslamp.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>

using namespace batch;

namespace keys = settings::keys;

class TestFormLoad : public QObject, testsupport::ProgramFixture {
    Q_OBJECT

    // The program's start: Main makes the window, and its load shows it.
    bool load()
    {
        ui::Main();
        m_window = qobject_cast<ui::frmMain *>(QApplication::topLevelWidgets().value(0));
        return QApplication::topLevelWidgets().size() == 1 && m_window
               && QTest::qWaitForWindowActive(m_window);
    }
    QString text(const char *box) const { return control<QLineEdit>(box)->text(); }
    quint32 lamp(const char *name) const { return control<ui::StatusLamp>(name)->fillColour(); }

private slots:
    void init() { QVERIFY(makeFolder()); }

    void cleanup() { QVERIFY(end()); }

    void startShowsTheFileInTheIdleWindow_data()
    {
        // Empty: none; "first start": the file that start wrote; else the content.
        QTest::addColumn<QByteArray>("file");
        // Shown: folder, parameters, preset; then stored: folder, parameters. ~ is the program folder.
        QTest::addColumn<QStringList>("expected");
        const QString folder = "/srv/" + QString(140, u'm');
        const QString parameters = QStringLiteral("-b 320 -q 0 ").repeated(12).trimmed();
        const QByteArray chooses = "[CUSTOM]\nParameters=-V 2\n[SETTINGS]\nDefault Encoding=";
        QTest::newRow("first start") << QByteArray()
                                     << QStringList{"~", " (ignored in preset mode)", "opt128", "~",
                                                    "<missing>"};
        QTest::newRow("second start without edits")
            << QByteArray("first start") << QStringList{"~", "", "opt128", "~", ""};
        QTest::newRow("256kbps stored, folder with a blank")
            << QByteArray("[PATHS]\nDestination Path=/srv/Music out\n[SETTINGS]\nDefault Encoding=3\n")
            << QStringList{"/srv/Music out", "", "Opt256", "/srv/Music out", ""};
        QTest::newRow("5 chooses no preset; an empty box that stays empty writes nothing")
            << chooses + "5\n"
            << QStringList{"", "-V 2", "", "<missing>", "-V 2"};
        QTest::newRow("values past the read limit are shown and kept whole")
            << ("[PATHS]\nDestination Path=" + folder.toUtf8()
                + "\n[SETTINGS]\nDefault Encoding=4\n[CUSTOM]\nParameters=" + parameters.toUtf8() + "\n")
            << QStringList{folder, parameters, "optCustom", folder, parameters};
    }

    void startShowsTheFileInTheIdleWindow()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        QFile ini(settings::settingsFilePath());
        if (file == "first start")
            QVERIFY(load() && closeProgram());
        else if (!file.isEmpty())
            QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write(file) == file.size() && ini.flush());

        QVERIFY(load());
        QStringList on;
        for (const QRadioButton *button : m_window->findChildren<QRadioButton *>())
            on << (button->isChecked() ? button->objectName() : QString());
        QCOMPARE((QStringList{text("txtOutPath"), text("txtCustom"), on.join(QString()),
                              stored(keys::kPaths, keys::kDestinationPath),
                              stored(keys::kCustom, keys::kParameters)}),
                 expected.replaceInStrings("~", m_dir->path()));
        QCOMPARE((QList<quint32>{lamp("shpReady"), lamp("shpWait"), lamp("shpRecord")}),
                 (QList<quint32>{colours::ReadyLit, colours::WaitDim, colours::RecordDim}));
        QVERIFY(!control("cmdCancel")->isEnabled() && control("cmdEncode")->isEnabled());
        QVERIFY(!ui::ConfigurationRef::program().isLoaded());
    }

    void typingSavesTheWholeTextAtEveryKeystroke_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("entry"); // section and key
        QTest::addColumn<QString>("typed");
        QTest::newRow("output folder")
            << "txtOutPath" << QStringList{keys::kPaths, keys::kDestinationPath} << "/srv/Mü out";
        QTest::newRow("custom parameters past the read limit")
            << "txtCustom" << QStringList{keys::kCustom, keys::kParameters}
            << QStringLiteral("-b 320 ").repeated(16).trimmed();
    }

    void typingSavesTheWholeTextAtEveryKeystroke()
    {
        QFETCH(QString, box);
        QFETCH(QStringList, entry);
        QFETCH(QString, typed);
        QVERIFY(load());
        auto *edit = control<QLineEdit>(box);
        // Connected after the window's own handler, so each sample sees its write.
        QStringList onDisk;
        connect(edit, &QLineEdit::textChanged, this, [&] { onDisk << stored(entry[0], entry[1]); });
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        // Beyond ASCII there is no key to name, so each event carries its letter; values are stored trimmed.
        QStringList expected{QString()};
        for (qsizetype n = 0; n < typed.size(); ++n) {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(typed[n]), Qt::NoModifier);
            expected << typed.left(n + 1).trimmed();
        }
        QCOMPARE(onDisk, expected);
    }

    void f1AsksForTheHelpFileBesideTheProgramEvenAfterASecondLoad()
    {
        QVERIFY(QFile(settings::helpFilePath()).open(QIODevice::WriteOnly));
        testsupport::RecordedHelpRequests help;
        QVERIFY(load());
        m_window->Form_Load();
        for (const char *focus : {"txtOutPath", "lstWavefiles"}) {
            control(focus)->setFocus();
            QTest::keyClick(control(focus), Qt::Key_F1);
        }
        QCOMPARE(help.files, QStringList(2, settings::helpFilePath()));
    }
};

QTEST_MAIN(TestFormLoad)
#include "tst_formload.moc"
