// The main window on the program's real start: its controls, keys and the states
// of Encode and Cancel through a run.
#include "programsupport.h"
#include "testsupport.h"
#include "ui/messagebox.h"
#include "ui/statuslamp.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

namespace {

// A control as laid out: no font family for a control without text; colour -1 for
// the window's text colour.
struct Control {
    const char *kind;
    QString text;
    QRect twips;
    QString family;
    double points;
    bool bold;
    int colour;
};

// The window's run-related state, as a timer sees it from inside the batch's event pumping.
struct Sample {
    bool encode;
    bool cancel;
    QString title;
    QString activity;
    quint32 wait;
    QString config; // the configuration window's path box; "none", "shown"
};

const QString Sans = QStringLiteral("MS Sans Serif");
const QString Verdana = QStringLiteral("Verdana");

} // namespace

Q_DECLARE_METATYPE(Control)

class tst_frmMain : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QPointer<frmMain> m_window;
    QStringList m_clicked; // the push buttons clicked, in order

    template <class W = QWidget> W *control(const QString &name) { return m_window->findChild<W *>(name); }
    QString label(const char *name) { return control<QLabel>(name)->text(); }

    Sample sample()
    {
        const ui::Configuration *config = ui::ConfigurationRef::program().window();
        return {control("cmdEncode")->isEnabled(), control("cmdCancel")->isEnabled(), m_window->windowTitle(),
                label("lblActivity"), control<ui::StatusLamp>("shpWait")->fillColour(),
                !config ? QStringLiteral("none") : config->isVisible() ? QStringLiteral("shown") : config->lamePath()};
    }

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        settings::setProgramFolderForTesting(m_dir->path());
        m_window = testsupport::startProgram(testsupport::standinEncoder());
        QVERIFY(m_window);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_clicked.clear();
        for (QPushButton *each : m_window->findChildren<QPushButton *>())
            connect(each, &QPushButton::clicked, this, [this, each] { m_clicked << each->objectName(); });
    }

    void cleanup()
    {
        QVERIFY(testsupport::endProgram());
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
    }

    void controlsMatchTheLayout_data()
    {
        QTest::addColumn<Control>("expected");
        const auto row = [](const char *name, const char *kind, const char *text, QRect twips, const QString &family = {},
                            double points = 0, bool bold = false, int colour = -1) {
            QTest::newRow(name) << Control{kind, QString::fromLatin1(text), twips, family, points, bold, colour};
        };
        row("cmdClearCurrent", "QPushButton", "&Remove", {5850, 3990, 825, 345}, Sans, 8.25);
        row("cmdClearWav", "QPushButton", "Rem&ove all", {6690, 3990, 945, 345}, Sans, 8.25);
        row("lstWavefiles", "QListWidget", "", {30, 1950, 7605, 2010}, Sans, 8.25);
        row("cmdConfig", "QPushButton", "&Config", {0, 1200, 1215, 375}, Sans, 8.25);
        row("cmdQuit", "QPushButton", "&Quit", {3720, 1200, 1215, 375}, Sans, 8.25);
        row("cmdAbout", "QPushButton", "&About", {1200, 1200, 1215, 375}, Sans, 8.25);
        row("cmdSelectTrg", "QPushButton", "...", {4680, 4470, 315, 285}, Sans, 8.25, true);
        row("cmdCancel", "QPushButton", "&Cancel", {9000, 3840, 1215, 375}, Sans, 8.25);
        row("Opt256", "QRadioButton", "256kbps", {8040, 2040, 1695, 375}, Sans, 9.75);
        row("txtCustom", "QLineEdit", "", {7920, 3000, 2295, 285}, Sans, 8.25);
        row("optCustom", "QRadioButton", "Custom settings", {8040, 2640, 2175, 255}, Sans, 9.75);
        row("optVar", "QRadioButton", "VBR 150-200kbps", {8040, 1080, 1815, 615}, Sans, 9.75);
        row("opt128", "QRadioButton", "128kbps", {8040, 480, 1455, 255}, Sans, 9.75);
        row("cmdEncode", "QPushButton", "&Encode", {9000, 4320, 1215, 375}, Sans, 8.25, true);
        row("txtOutPath", "QLineEdit", "", {90, 4470, 4575, 285}, Sans, 8.25);
        row("frmOptions", "QGroupBox", "Presets", {7920, 0, 2295, 2535}, Verdana, 9.75, true);
        row("picLogo", "ui::Logo", "", {0, 0, 4950, 1170});
        row("lblWavelist", "QLabel", "Drag your wave files into this list box:", {30, 1650, 3825, 255}, Verdana, 9);
        row("lblWait", "QLabel", "Busy", {9360, 5280, 735, 255}, Sans, 8.25);
        row("shpWait", "ui::StatusLamp", "", {9120, 5280, 135, 135});
        row("lblRecord", "QLabel", "Encoding", {9360, 5520, 855, 255}, Sans, 8.25);
        row("lblReady", "QLabel", "Ready", {9360, 5040, 615, 255}, Sans, 8.25);
        row("shpReady", "ui::StatusLamp", "", {9120, 5040, 135, 135});
        row("shpRecord", "ui::StatusLamp", "", {9120, 5520, 135, 135});
        row("Line2", "QFrame", "", {0, 5880, 10320, 15}); // one pixel high
        row("Line1", "QFrame", "", {0, 4800, 10320, 15});
        row("lblFile2", "QLabel", "Stopped", {1200, 5400, 1695, 255}, Sans, 9.75, true, 192);
        row("lblFile", "QLabel", "Progress:", {120, 5400, 1095, 375}, Sans, 9.75, true);
        row("lblActivity", "QLabel", "Ready", {960, 5040, 8055, 255}, Sans, 9.75, true, 32768);
        row("lblProgress", "QLabel", "Status:", {120, 5040, 1095, 255}, Sans, 9.75, true);
        row("lblOut", "QLabel", "Destination path: (optional)", {90, 4230, 2835, 255}, Verdana, 9);
    }

    void controlsMatchTheLayout()
    {
        QFETCH(Control, expected);
        m_window->setCancelEnabled(true); // as it stands before the load and during a run
        QWidget *widget = control(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget(), m_window.data());
        QVERIFY2(widget->inherits(expected.kind), widget->metaObject()->className());
        const QRect &t = expected.twips;
        QCOMPARE(widget->geometry(), QRect(t.x() / 15, t.y() / 15, t.width() / 15, t.height() / 15));
        QCOMPARE(widget->property(qobject_cast<QGroupBox *>(widget) ? "title" : "text").toString(), expected.text);
        const QFont font = widget->font();
        if (!expected.family.isEmpty())
            QCOMPARE(std::tuple(font.family(), font.pointSizeF(), font.bold()),
                     std::tuple(expected.family, expected.points, expected.bold));
        QCOMPARE(widget->palette().color(QPalette::WindowText),
                 expected.colour < 0 ? m_window->palette().color(QPalette::WindowText)
                                     : ui::colourFromBgr(static_cast<quint32>(expected.colour)));
    }

    void windowIsFixedAndCentredWithOneTooltipOnePresetGroupAndTitledBoxes()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Purlwave v1.3 - Press F1 for help"));
        QCOMPARE((QList<QSize>{m_window->size(), m_window->minimumSize(), m_window->maximumSize()}),
                 QList<QSize>(3, QSize(10305 / 15, 5955 / 15)));
        const Qt::WindowFlags flags = m_window->windowFlags();
        QVERIFY((flags & Qt::WindowCloseButtonHint) && (flags & Qt::WindowSystemMenuHint));
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        const QPoint offCentre = m_window->frameGeometry().center() - m_window->screen()->availableGeometry().center();
        QVERIFY(offCentre.manhattanLength() <= 16);
        QStringList withTip;
        for (const QWidget *widget : m_window->findChildren<QWidget *>())
            if (!widget->toolTip().isEmpty())
                withTip << widget->objectName() + QLatin1Char('=') + widget->toolTip();
        QCOMPARE(withTip, QStringList{QStringLiteral("txtOutPath=The folder in which to save the MP3-files")});

        // optCustom lies outside the frame, yet choosing it clears the buttons inside.
        control<QRadioButton>("opt128")->click();
        control<QRadioButton>("optCustom")->click();
        const PresetButtons chosen = m_window->presetButtons();
        QVERIFY(!chosen.opt128 && !chosen.optVar && !chosen.Opt256 && chosen.optCustom);

        ui::RecordedMessageBoxes boxes;
        m_window->messageBox(QStringLiteral("text"), std::nullopt);
        QCOMPARE(boxes.boxes.value(0).title, QCoreApplication::applicationName());
    }

    void tabVisitsTheFocusableControlsInOrder_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        // With no preset chosen, Tab enters the group at its first button; otherwise
        // the chosen button is the group's one tab stop.
        const QString rest = QStringLiteral(
            "cmdCancel cmdSelectTrg cmdAbout cmdQuit picLogo cmdConfig lstWavefiles cmdClearWav cmdClearCurrent txtOutPath");
        QTest::newRow("no preset chosen") << QString() << QStringLiteral("cmdEncode opt128 txtCustom ") + rest;
        QTest::newRow("256kbps chosen") << QStringLiteral("Opt256") << QStringLiteral("cmdEncode txtCustom Opt256 ") + rest;
    }

    void tabVisitsTheFocusableControlsInOrder()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        m_window->setCancelEnabled(true);
        if (!chosen.isEmpty())
            control<QRadioButton>(chosen)->setChecked(true);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtOutPath"));
        for (const QString &next : expected.split(QLatin1Char(' '))) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
        }
    }

    void keyClicksOneButton_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("encodeEnabled");
        QTest::addColumn<QString>("clicked"); // empty: none
        const int alt = Qt::AltModifier;
        QTest::newRow("Alt+E clicks Encode") << "txtOutPath" << (alt | Qt::Key_E) << true << "cmdEncode";
        QTest::newRow("Alt+R clicks Remove") << "txtOutPath" << (alt | Qt::Key_R) << true << "cmdClearCurrent";
        QTest::newRow("Alt+O clicks Remove all") << "txtOutPath" << (alt | Qt::Key_O) << true << "cmdClearWav";
        QTest::newRow("Alt+Q clicks Quit") << "txtOutPath" << (alt | Qt::Key_Q) << true << "cmdQuit";
        QTest::newRow("Alt+A clicks About") << "txtOutPath" << (alt | Qt::Key_A) << true << "cmdAbout";
        QTest::newRow("Return in the output box") << "txtOutPath" << int(Qt::Key_Return) << true << "cmdEncode";
        QTest::newRow("keypad Enter in the custom box") << "txtCustom" << int(Qt::Key_Enter) << true << "cmdEncode";
        QTest::newRow("custom box, Encode disabled") << "txtCustom" << int(Qt::Key_Return) << false << "";
        // A focused button takes Enter as its own click.
        QTest::newRow("Return on Remove all") << "cmdClearWav" << int(Qt::Key_Return) << true << "cmdClearWav";
    }

    void keyClicksOneButton()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, encodeEnabled);
        QFETCH(QString, clicked);
        ui::RecordedMessageBoxes boxes;
        m_window->setEncodeEnabled(encodeEnabled);
        control(focus)->setFocus();
        QTest::keyClick(control(focus), Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        // An access key clicks a moment later, as a mouse click would look.
        QTRY_COMPARE(m_clicked.join(QLatin1Char(' ')), clicked);
        // The list is empty, so a run that starts ends at once with its message.
        const bool ran = boxes.boxes.size() == 1 && boxes.boxes[0].text.startsWith(QLatin1String("No wav-files"));
        QCOMPARE(ran, clicked == QLatin1String("cmdEncode"));
    }

    void sharedAccessKeyMovesFocusBetweenItsButtons()
    {
        m_window->setCancelEnabled(true); // as during a run
        QSet<QString> focused;
        for (int press = 0; press < 2; ++press) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
            focused << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(focused, (QSet<QString>{"cmdCancel", "cmdConfig"}));
        // Only the focus moves; a click would have pressed the button down.
        QVERIFY(!control<QPushButton>("cmdConfig")->isDown() && !control<QPushButton>("cmdCancel")->isDown());
        QVERIFY(m_clicked.isEmpty());
    }

    void runSwapsEncodeAndCancelUntilItEnds_data()
    {
        QTest::addColumn<bool>("lame"); // else the stand-in, about half a second a file
        QTest::addColumn<bool>("cancel"); // pressed at the first look into the run, during the first file
        QTest::addColumn<QString>("ends");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<quint32>("wait");
        QTest::addColumn<int>("row");
        QTest::newRow("two files completed") << false << false << "Done!" << colours::TextIdle << colours::WaitDim << 1;
        // A stop leaves the lamps as they were.
        QTest::newRow("Cancel during the first file")
            << false << true << "User Requested Stop!" << colours::TextWorking << colours::WaitLit << 0;
        QTest::newRow("real lame, 128kbps") << true << false << "Done!" << colours::TextIdle << colours::WaitDim << 1;
    }

    void runSwapsEncodeAndCancelUntilItEnds()
    {
        QFETCH(bool, lame);
        QFETCH(bool, cancel);
        QFETCH(QString, ends);
        QFETCH(quint32, colour);
        QFETCH(quint32, wait);
        QFETCH(int, row);
        const QString encoder = lame ? testsupport::realLame() : testsupport::standinEncoder();
        if (encoder.isEmpty())
            QSKIP("lame is not installed");
        // Stored after the start: the first Encode finds it in the settings file.
        QVERIFY(platform::WritePrivateProfileString("PATHS", "LAME", encoder, settings::settingsFilePath()));
        ui::RecordedMessageBoxes boxes;
        QVERIFY(QDir(m_dir->path()).mkdir("out"));
        control<QLineEdit>("txtOutPath")->setText(m_dir->filePath("out"));
        QStringList mp3s;
        for (const char *name : {"first take", "Second"}) {
            const QString wav = m_dir->filePath(QLatin1String(name) + (mp3s.isEmpty() ? ".wav" : ".WAV"));
            QVERIFY(testsupport::writeToneWav(wav, 1.0));
            control<QListWidget>("lstWavefiles")->addItem(wav);
            mp3s << m_dir->filePath(QLatin1String("out/") + QLatin1String(name) + ".mp3");
        }
        control<QRadioButton>(lame ? "opt128" : "optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText(QStringLiteral("--bytes 5000 --chunk 1000 --interval 100"));

        // A zero timer samples the window at every pass of the event loop that the
        // run lets happen, up to the press of Cancel.
        QList<Sample> before;
        std::optional<Sample> afterPress;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (afterPress)
                return;
            before << sample();
            if (cancel) {
                control<QPushButton>("cmdCancel")->click();
                afterPress = sample();
            }
        });
        ticker.start(0);
        control<QPushButton>("cmdEncode")->click();

        // The first Encode loaded the configuration window hidden, for the stored path.
        QVERIFY(!before.isEmpty() && std::all_of(before.cbegin(), before.cend(), [&](const Sample &s) {
            return !s.encode && s.cancel && s.wait == colours::WaitLit && s.config == encoder;
        }));
        QCOMPARE(afterPress.has_value(), cancel);
        if (afterPress) {
            QCOMPARE(afterPress->title, QStringLiteral("User requested stop, please wait while finishing current track..."));
            QVERIFY(!afterPress->cancel && !afterPress->encode);
        }
        const Sample end = sample();
        QVERIFY(end.encode && !end.cancel);
        QCOMPARE(end.activity, ends);
        QCOMPARE(label("lblFile2"), QStringLiteral("Done!")); // the last file ended
        QCOMPARE(control("lblActivity")->palette().color(QPalette::WindowText), ui::colourFromBgr(colour));
        QCOMPARE(end.wait, wait);
        QCOMPARE(control<QListWidget>("lstWavefiles")->currentRow(), row);
        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(end.config, cancel ? encoder : QStringLiteral("none")); // only a completed run lets it go
        for (int i = 0; i < 2; ++i) // the stand-in writes no real MP3
            QCOMPARE(lame ? testsupport::looksLikeMp3(mp3s[i], 1.0) : QFileInfo::exists(mp3s[i]), i == 0 || !cancel);
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
