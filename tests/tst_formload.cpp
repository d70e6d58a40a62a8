// The program's start through the real main window, on real settings files in a
// temporary program folder.
#include "platform/profile.h"
#include "settings/location.h"
#include "testsupport.h"
#include "ui/configuration.h"
#include "ui/configurationref.h"
#include "ui/frmmain.h"
#include "ui/help.h"
#include "ui/messagebox.h"
#include "ui/moddrag.h"
#include "ui/statuslamp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using ui::ConfigurationRef;

namespace {
const QString kMissing = QStringLiteral("<missing>");

// The whole stored value, past the read limit of the settings object.
QString stored(const QString &section, const QString &key)
{
    return platform::GetPrivateProfileString(section, key, kMissing, 4096, settings::settingsFilePath());
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QList<frmMain *> mainWindows()
{
    QList<frmMain *> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<frmMain *>(widget))
            found << window;
    return found;
}

// Closes every main window, which deletes it, as Quit and the close box do.
void closeMainWindows()
{
    for (frmMain *window : mainWindows())
        window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString chosenPresets(const QWidget *window)
{
    QStringList chosen;
    for (const char *name : {"opt128", "optVar", "Opt256", "optCustom"})
        if (window->findChild<QRadioButton *>(QLatin1String(name))->isChecked())
            chosen << QLatin1String(name);
    return chosen.join(u' ');
}

QString userFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation); }
} // namespace

class tst_FormLoad : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QString m_folder;
    QPointer<frmMain> m_window;

    // The program's start: Main makes the window and its load shows it.
    frmMain *start()
    {
        ui::Main();
        const QList<frmMain *> windows = mainWindows();
        m_window = windows.size() == 1 ? windows.first() : nullptr;
        return m_window;
    }

    template <class W = QWidget> W *control(const char *name)
    {
        return m_window->findChild<W *>(QLatin1String(name));
    }
    QString text(const char *box) { return control<QLineEdit>(box)->text(); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        QVERIFY(userFolder().contains(QLatin1String("/.qttest/")));
        QDir(userFolder()).removeRecursively();
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        m_folder = m_dir->filePath(QStringLiteral("Encoder"));
        QVERIFY(QDir().mkpath(m_folder));
        settings::setProgramFolderForTesting(m_folder);
    }

    void cleanup()
    {
        closeMainWindows();
        ConfigurationRef::program().unloadAndRelease();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY2(QApplication::topLevelWidgets().isEmpty(), "a window was left behind");
        settings::setProgramFolderForTesting(QString());
        QDir(userFolder()).removeRecursively();
        m_dir.reset();
    }

    void startShowsTheFileInTheIdleWindow_data()
    {
        QTest::addColumn<QByteArray>("file"); // "none", "first start" (the file it wrote), or the content
        QTest::addColumn<QString>("outPath"); // <folder> is the program folder
        QTest::addColumn<QString>("custom");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("storedOutPath"); // after the start
        QTest::addColumn<QString>("storedCustom");

        const QString longFolder = "/srv/" + QString(140, u'm');
        const QString longParameters = QStringLiteral("-b 320 -q 0 ").repeated(12).trimmed();
        QTest::newRow("first start") << QByteArray("none") << "<folder>" << " (ignored in preset mode)"
                                     << "opt128" << "<folder>" << kMissing;
        QTest::newRow("second start without edits")
            << QByteArray("first start") << "<folder>" << "" << "opt128" << "<folder>" << "";
        QTest::newRow("256kbps stored, folder with a blank")
            << QByteArray("[PATHS]\nDestination Path=/srv/Music out\n[SETTINGS]\nDefault Encoding=3\n")
            << "/srv/Music out" << "" << "Opt256" << "/srv/Music out" << "";
        // An empty box that stays empty writes nothing.
        QTest::newRow("5 chooses no preset")
            << QByteArray("[SETTINGS]\nDefault Encoding=5\n[CUSTOM]\nParameters=-V 2\n")
            << "" << "-V 2" << "" << kMissing << "-V 2";
        QTest::newRow("text chooses no preset")
            << QByteArray("[SETTINGS]\nDefault Encoding=x\n[CUSTOM]\nParameters=-V 2\n")
            << "" << "-V 2" << "" << kMissing << "-V 2";
        QTest::newRow("values past the read limit survive")
            << ("[PATHS]\nDestination Path=" + longFolder.toUtf8() + "\n[SETTINGS]\nDefault Encoding=4\n"
                "[CUSTOM]\nParameters=" + longParameters.toUtf8() + "\n")
            << longFolder.left(99) << longParameters.left(99) << "optCustom" << longFolder << longParameters;
    }

    void startShowsTheFileInTheIdleWindow()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, outPath);
        QFETCH(QString, custom);
        QFETCH(QString, chosen);
        QFETCH(QString, storedOutPath);
        QFETCH(QString, storedCustom);
        const auto here = [this](QString value) { return value.replace("<folder>", m_folder); };
        if (file == "first start") {
            QVERIFY(start());
            closeMainWindows();
        } else if (file != "none") {
            QVERIFY(writeFile(settings::settingsFilePath(), file));
        }

        QVERIFY(start());
        QVERIFY(m_window->isVisible());
        if (file == "none") {
            const QString lame = testsupport::realLame().isEmpty() ? m_folder + "/lame" : testsupport::realLame();
            QCOMPARE(fileBytes(m_folder + "/purlwave.ini"),
                     QStringLiteral("[PATHS]\nSource Path=%1\nDestination Path=%1\nLAME=%2\n"
                                    "[SETTINGS]\nDefault Encoding=1\n").arg(m_folder, lame).toUtf8());
        }
        QCOMPARE(text("txtOutPath"), here(outPath));
        QCOMPARE(text("txtCustom"), custom);
        QCOMPARE(chosenPresets(m_window), chosen);
        QCOMPARE(stored("PATHS", "Destination Path"), here(storedOutPath));
        QCOMPARE(stored("CUSTOM", "Parameters"), storedCustom);
        QVERIFY(!control("cmdCancel")->isEnabled() && control("cmdEncode")->isEnabled());
        QCOMPARE(control<ui::StatusLamp>("shpReady")->fillColour(), colours::ReadyLit);
        QCOMPARE(control<ui::StatusLamp>("shpWait")->fillColour(), colours::WaitDim);
        QCOMPARE(control<ui::StatusLamp>("shpRecord")->fillColour(), colours::RecordDim);
        QVERIFY(m_window->acceptDrops());
        QVERIFY(!ConfigurationRef::program().isLoaded());
    }

    void typingSavesTheWholeTextAtEveryKeystroke_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::newRow("output folder") << "txtOutPath" << "PATHS" << "Destination Path" << "/srv/Mü out";
        QTest::newRow("custom parameters past the read limit")
            << "txtCustom" << "CUSTOM" << "Parameters" << QStringLiteral("-b 320 ").repeated(16).trimmed();
    }

    void typingSavesTheWholeTextAtEveryKeystroke()
    {
        QFETCH(QString, box);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QVERIFY(start());
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        auto *edit = control<QLineEdit>(box.toLatin1().constData());
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(stored(section, key), QString());

        // Connected after the window's own handler, so each sample sees its write.
        QStringList onDisk;
        connect(edit, &QLineEdit::textChanged, this, [&] { onDisk << stored(section, key); });
        for (QChar c : typed) {
            if (c.unicode() < 0x80)
                QTest::keyClick(edit, c.toLatin1());
            else // beyond what keyClick can name: the key event carries the letter
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        // The settings file keeps no blanks around a value.
        QStringList expected;
        for (qsizetype n = 1; n <= typed.size(); ++n)
            expected << typed.left(n).trimmed();
        QCOMPARE(onDisk, expected);
    }

    void f1AsksForTheHelpFileBesideTheProgram_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("loadedTwice");
        QTest::newRow("in the output box") << "txtOutPath" << false;
        QTest::newRow("on the list, window loaded twice") << "lstWavefiles" << true;
    }

    void f1AsksForTheHelpFileBesideTheProgram()
    {
        QFETCH(QString, focus);
        QFETCH(bool, loadedTwice);
        QVERIFY(writeFile(settings::helpFilePath(), "ITSF"));
        ui::RecordedHelpRequests help;
        QVERIFY(start());
        if (loadedTwice)
            m_window->Form_Load();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QWidget *focused = control(focus.toLatin1().constData());
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_F1);
        QCOMPARE(help.files, QStringList{settings::helpFilePath()});
    }

    void firstEncodeLoadsTheConfigurationHiddenWithTheStoredEncoder_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("loadedAfter");
        QTest::newRow("completed run unloads it") << 1 << false << false;
        QTest::newRow("stopped run leaves it loaded") << 2 << true << true;
        QTest::newRow("refused run leaves it loaded") << 0 << false << true;
    }

    void firstEncodeLoadsTheConfigurationHiddenWithTheStoredEncoder()
    {
        QFETCH(int, rows);
        QFETCH(bool, cancel);
        QFETCH(bool, loadedAfter);
        ui::RecordedMessageBoxes boxes;
        QVERIFY(start());
        QVERIFY(platform::WritePrivateProfileString("PATHS", "LAME", testsupport::standinEncoder(),
                                                    settings::settingsFilePath()));
        for (int row = 0; row < rows; ++row)
            control<QListWidget>("lstWavefiles")->addItem(m_dir->filePath(QStringLiteral("t%1.wav").arg(row)));
        control<QRadioButton>("optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText("--bytes 3000 --chunk 1000 --interval 100");
        QVERIFY(!ConfigurationRef::program().isLoaded());

        // At each pass of the event loop during the run: the configuration window's
        // path box, and whether that window is on the screen.
        QStringList seen;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            const ui::Configuration *config = ConfigurationRef::program().window();
            seen << (!config ? QStringLiteral("none") : config->isVisible() ? QStringLiteral("shown") : config->lamePath());
            if (cancel && control("cmdCancel")->isEnabled())
                control<QPushButton>("cmdCancel")->click();
        });
        ticker.start(0);
        control<QPushButton>("cmdEncode")->click();
        ticker.stop();

        if (rows > 0) {
            QVERIFY(!seen.isEmpty());
            QCOMPARE(seen.filter(testsupport::standinEncoder()).size(), seen.size());
            QVERIFY(QFile::exists(m_folder + "/t0.mp3")); // the output folder of the first start
        }
        QCOMPARE(boxes.boxes.size(), rows == 0 ? 1 : 0);
        QCOMPARE(ConfigurationRef::program().isLoaded(), loadedAfter);
        if (loadedAfter) {
            QVERIFY(!ConfigurationRef::program().window()->isVisible());
            QCOMPARE(ConfigurationRef::program().window()->lamePath(), testsupport::standinEncoder());
        }
    }

    void closingTheMainWindowEndsTheProgramAndDeletesItsWindows()
    {
        QVERIFY(start());
        ConfigurationRef::program().lamePath(); // loaded hidden, as the first Encode does
        const QPointer<ui::Configuration> hidden = ConfigurationRef::program().window();
        QTimer::singleShot(0, m_window, &QWidget::close);
        // Only a guard against a program that never ends; it fails the test.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] { QCoreApplication::exit(1); });
        guard.start(20000);

        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(m_window.isNull());
        QVERIFY(hidden.isNull());
    }
};

QTEST_MAIN(tst_FormLoad)
#include "tst_formload.moc"
