// The program's start through the real main window, on real settings files in a
// temporary program folder.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/help.h"
#include "ui/statuslamp.h"

#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include <optional>

using ui::ConfigurationRef;

namespace {
const QString Missing = QStringLiteral("<missing>");

// The whole stored value, past the read limit of the settings object.
QString stored(const QString &section, const QString &key)
{
    return platform::GetPrivateProfileString(section, key, Missing, 4096, settings::settingsFilePath());
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}
} // namespace

class tst_FormLoad : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QPointer<frmMain> m_window;

    // The program's start: Main makes the window, and its load shows it.
    bool start()
    {
        ui::Main();
        const QWidgetList windows = QApplication::topLevelWidgets();
        m_window = windows.size() == 1 ? qobject_cast<frmMain *>(windows.first()) : nullptr;
        return m_window && QTest::qWaitForWindowActive(m_window);
    }
    template <class W = QWidget> W *control(const char *name) { return m_window->findChild<W *>(QLatin1String(name)); }
    QString text(const char *box) { return control<QLineEdit>(box)->text(); }
    quint32 lamp(const char *name) { return control<ui::StatusLamp>(name)->fillColour(); }

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        settings::setProgramFolderForTesting(m_dir->path());
    }

    void cleanup()
    {
        QVERIFY(testsupport::endProgram());
        settings::setProgramFolderForTesting(QString());
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
                                     << "opt128" << "<folder>" << Missing;
        QTest::newRow("second start without edits")
            << QByteArray("first start") << "<folder>" << "" << "opt128" << "<folder>" << "";
        QTest::newRow("256kbps stored, folder with a blank")
            << QByteArray("[PATHS]\nDestination Path=/srv/Music out\n[SETTINGS]\nDefault Encoding=3\n")
            << "/srv/Music out" << "" << "Opt256" << "/srv/Music out" << "";
        // An empty box that stays empty writes nothing.
        QTest::newRow("5 chooses no preset")
            << QByteArray("[SETTINGS]\nDefault Encoding=5\n[CUSTOM]\nParameters=-V 2\n")
            << "" << "-V 2" << "" << Missing << "-V 2";
        QTest::newRow("text chooses no preset")
            << QByteArray("[SETTINGS]\nDefault Encoding=x\n[CUSTOM]\nParameters=-V 2\n")
            << "" << "-V 2" << "" << Missing << "-V 2";
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
        const QString folder = m_dir->path();
        if (file == "first start")
            QVERIFY(start() && testsupport::endProgram());
        else if (file != "none")
            QVERIFY(writeFile(settings::settingsFilePath(), file));

        QVERIFY(start());
        QCOMPARE(text("txtOutPath"), outPath.replace("<folder>", folder));
        QCOMPARE(text("txtCustom"), custom);
        QStringList on;
        for (const char *name : {"opt128", "optVar", "Opt256", "optCustom"})
            if (control<QRadioButton>(name)->isChecked())
                on << QLatin1String(name);
        QCOMPARE(on.join(u' '), chosen);
        QCOMPARE(stored("PATHS", "Destination Path"), storedOutPath.replace("<folder>", folder));
        QCOMPARE(stored("CUSTOM", "Parameters"), storedCustom);
        QVERIFY(!control("cmdCancel")->isEnabled() && control("cmdEncode")->isEnabled());
        QCOMPARE((QList<quint32>{lamp("shpReady"), lamp("shpWait"), lamp("shpRecord")}),
                 (QList<quint32>{colours::ReadyLit, colours::WaitDim, colours::RecordDim}));
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
        auto *edit = control<QLineEdit>(qPrintable(box));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QCOMPARE(stored(section, key), QString());

        // Connected after the window's own handler, so each sample sees its write.
        QStringList onDisk;
        connect(edit, &QLineEdit::textChanged, this, [&] { onDisk << stored(section, key); });
        for (QChar c : typed) // beyond ASCII there is no key to name: the event carries the letter
            QTest::sendKeyEvent(QTest::Click, edit, c.unicode() < 0x80 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown,
                                QString(c), Qt::NoModifier);
        // The settings file keeps no blanks around a value.
        QStringList expected;
        for (qsizetype n = 1; n <= typed.size(); ++n)
            expected << typed.left(n).trimmed();
        QCOMPARE(onDisk, expected);
    }

    void f1AsksForTheHelpFileBesideTheProgramEvenAfterASecondLoad()
    {
        QVERIFY(writeFile(settings::helpFilePath(), "ITSF"));
        ui::RecordedHelpRequests help;
        QVERIFY(start());
        m_window->Form_Load();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        for (const char *focus : {"txtOutPath", "lstWavefiles"}) {
            control(focus)->setFocus();
            QTest::keyClick(control(focus), Qt::Key_F1);
        }
        QCOMPARE(help.files, QStringList(2, settings::helpFilePath()));
    }
};

QTEST_MAIN(tst_FormLoad)
#include "tst_formload.moc"
