#include "batch/mainview.h"
#include "platform/profile.h"
#include "settings/location.h"
#include "testsupport.h"
#include "ui/configurationref.h"
#include "ui/frmmain.h"
#include "ui/messagebox.h"
#include "ui/statuslamp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace {

QString caption(const QWidget *widget)
{
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (auto *frame = qobject_cast<const QGroupBox *>(widget))
        return frame->title();
    return {};
}

// The window's run-related state, as a timer sees it from inside the batch's event pumping.
struct Sample {
    bool encode;
    bool cancel;
    QString title;
    QString activity;
    quint32 wait;
};

const QString Sans = QStringLiteral("MS Sans Serif");
const QString Verdana = QStringLiteral("Verdana");
const QString Stand = QStringLiteral("--bytes 5000 --chunk 1000 --interval 100");

} // namespace

class tst_frmMain : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    ui::ConfigurationRef m_config;
    QPointer<frmMain> m_window;

    // The window as it stands before its load, with the encoder that the
    // configuration window will read from the settings file.
    frmMain &makeWindow(const QString &encoder = testsupport::standinEncoder())
    {
        const QString ini = settings::settingsFilePath();
        [&] { QVERIFY(platform::WritePrivateProfileString("PATHS", "LAME", encoder, ini)); }();
        m_window = new frmMain(m_config);
        m_window->settings().setInifile(ini);
        return *m_window;
    }

    bool showActive()
    {
        m_window->show();
        m_window->activateWindow();
        return QTest::qWaitForWindowActive(m_window);
    }

    template <class W = QWidget> W *control(const char *name)
    {
        return m_window->findChild<W *>(QLatin1String(name));
    }

    // Two rows and the stand-in encoder behind the custom preset: each file takes
    // about half a second.
    void prepareTwoRows()
    {
        control<QListWidget>("lstWavefiles")->addItems({m_dir->filePath(QStringLiteral("a.wav")),
                                                         m_dir->filePath(QStringLiteral("b.wav"))});
        control<QRadioButton>("optCustom")->setChecked(true);
        control<QLineEdit>("txtCustom")->setText(Stand);
    }

    Sample sample()
    {
        return {control("cmdEncode")->isEnabled(), control("cmdCancel")->isEnabled(), m_window->windowTitle(),
                control<QLabel>("lblActivity")->text(), control<ui::StatusLamp>("shpWait")->fillColour()};
    }

    // Clicks Encode; the run is one long click, and a zero timer samples the window
    // at every pass of the event loop that the batch lets happen.
    QList<Sample> runSampling(const std::function<void(const Sample &)> &onTick = {})
    {
        QList<Sample> samples;
        QTimer ticker;
        ticker.setInterval(0);
        connect(&ticker, &QTimer::timeout, this, [&] {
            samples << sample();
            if (onTick)
                onTick(samples.last());
        });
        ticker.start();
        control<QPushButton>("cmdEncode")->click();
        return samples;
    }

    QColor textColour(const char *label) { return control(label)->palette().color(QPalette::WindowText); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        settings::setProgramFolderForTesting(m_dir->path());
    }

    void cleanup()
    {
        delete m_window.data();
        m_config.unloadAndRelease();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settings::setProgramFolderForTesting(QString());
        m_dir.reset();
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.cbegin(), windows.cend(), [](const QWidget *w) {
            return w->isVisible() || qobject_cast<const frmMain *>(w);
        }));
    }

    void controlsMatchTheLayout_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("family"); // empty: a control without text
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("colour"); // -1: the window's text colour

        const auto row = [](const char *name, const char *kind, const char *text, QRect twips,
                            const QString &family = {}, double points = 0, bool bold = false, int colour = -1) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(text) << twips << family
                                << points << bold << colour;
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
        row("txtCustom", "QLineEdit", " (ignored in preset mode)", {7920, 3000, 2295, 285}, Sans, 8.25);
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
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QRect, twips);
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(int, colour);

        makeWindow();
        auto *widget = m_window->findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget(), m_window.data());
        QVERIFY2(widget->inherits(kind.toLatin1().constData()), widget->metaObject()->className());
        QCOMPARE(widget->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
        QCOMPARE(caption(widget), text);
        if (!family.isEmpty()) {
            QCOMPARE(widget->font().family(), family);
            QCOMPARE(widget->font().pointSizeF(), points);
            QCOMPARE(widget->font().bold(), bold);
        }
        QCOMPARE(widget->palette().color(QPalette::WindowText),
                 colour < 0 ? m_window->palette().color(QPalette::WindowText)
                            : ui::colourFromBgr(static_cast<quint32>(colour)));
        if (auto *list = qobject_cast<QListWidget *>(widget)) {
            QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
            QVERIFY(!list->isSortingEnabled());
        }
    }

    void windowIsFixedSizeTitledAndCentred()
    {
        frmMain &window = makeWindow();
        QCOMPARE(window.windowTitle(), QStringLiteral("Purlwave v1.3 - Press F1 for help"));
        QCOMPARE(window.size(), QSize(10305 / 15, 5955 / 15));
        QCOMPARE(window.minimumSize(), window.size());
        QCOMPARE(window.maximumSize(), window.size());
        const Qt::WindowFlags flags = window.windowFlags();
        QVERIFY((flags & Qt::WindowCloseButtonHint) && (flags & Qt::WindowSystemMenuHint));
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(!window.windowIcon().isNull());
        QVERIFY(showActive());
        const QPoint offCentre = window.frameGeometry().center() - window.screen()->availableGeometry().center();
        QVERIFY(offCentre.manhattanLength() <= 16);

        QStringList withTip;
        for (const QWidget *widget : window.findChildren<QWidget *>())
            if (!widget->toolTip().isEmpty())
                withTip << widget->objectName() + QLatin1Char('=') + widget->toolTip();
        QCOMPARE(withTip, QStringList{QStringLiteral("txtOutPath=The folder in which to save the MP3-files")});
    }

    void presetButtonsAreOneExclusiveGroupInFrontOfTheFrame()
    {
        makeWindow();
        QVERIFY(showActive());
        for (const char *name : {"opt128", "optVar", "Opt256"}) {
            auto *button = control<QRadioButton>(name);
            QCOMPARE(m_window->childAt(button->geometry().center()), button);
        }
        const PresetButtons none = m_window->presetButtons();
        QVERIFY(!none.opt128 && !none.optVar && !none.Opt256 && !none.optCustom);
        control<QRadioButton>("opt128")->click();
        // optCustom lies outside the frame, yet choosing it clears the buttons inside.
        control<QRadioButton>("optCustom")->click();
        const PresetButtons custom = m_window->presetButtons();
        QVERIFY(!custom.opt128 && !custom.optVar && !custom.Opt256 && custom.optCustom);
    }

    void lampsAndRulesPaintTheirColours()
    {
        frmMain &window = makeWindow();
        window.setLampColour(Lamp::shpReady, colours::ReadyLit);
        window.setLampColour(Lamp::shpWait, colours::WaitLit);
        window.setLampColour(Lamp::shpRecord, colours::RecordDim);
        const QImage picture = window.grab().toImage();
        const auto centre = [&](const char *name) { return picture.pixel(control(name)->geometry().center()); };
        QCOMPARE(centre("shpReady"), ui::colourFromBgr(colours::ReadyLit).rgb());
        QCOMPARE(centre("shpWait"), ui::colourFromBgr(colours::WaitLit).rgb());
        QCOMPARE(centre("shpRecord"), ui::colourFromBgr(colours::RecordDim).rgb());
        const QRgb text = window.palette().color(QPalette::WindowText).rgb();
        QCOMPARE(picture.pixel(300, 4800 / 15), text);
        QCOMPARE(picture.pixel(300, 5880 / 15), text);
        QVERIFY(picture.pixel(300, 4800 / 15 + 1) != text);
    }

    void rowSelectionAndMessageBoxesGoThroughTheWindow()
    {
        frmMain &window = makeWindow();
        auto *list = control<QListWidget>("lstWavefiles");
        list->addItems({QStringLiteral("/m/a.wav"), QStringLiteral("/m/b.wav")});
        window.selectRow(1);
        QCOMPARE(window.selectedRowText(), QStringLiteral("/m/b.wav"));
        window.selectRow(-1);
        QVERIFY(list->selectedItems().isEmpty());
        QCOMPARE(window.selectedRowText(), QString());
        window.selectRow(2); // past the end: nothing selected
        QCOMPARE(window.selectedRowText(), QString());

        ui::RecordedMessageBoxes boxes;
        window.messageBox(QStringLiteral("one"), QStringLiteral("Error!"));
        window.messageBox(QStringLiteral("two"), std::nullopt);
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Error!"));
        QCOMPARE(boxes.boxes[1].title, QCoreApplication::applicationName());
    }

    void tabVisitsTheFocusableControlsInOrder_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        // With no preset chosen, Tab enters the group at its first button, which
        // then stays the group's one tab stop.
        const QString rest = QStringLiteral(
            "cmdCancel cmdSelectTrg cmdAbout cmdQuit picLogo cmdConfig lstWavefiles cmdClearWav cmdClearCurrent txtOutPath");
        QTest::newRow("no preset chosen") << QString() << QStringLiteral("cmdEncode opt128 txtCustom ") + rest;
        QTest::newRow("256kbps chosen") << QStringLiteral("Opt256") << QStringLiteral("cmdEncode txtCustom Opt256 ") + rest;
        QTest::newRow("VBR chosen") << QStringLiteral("optVar") << QStringLiteral("cmdEncode optVar txtCustom ") + rest;
    }

    void tabVisitsTheFocusableControlsInOrder()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        makeWindow();
        if (!chosen.isEmpty())
            control<QRadioButton>(chosen.toLatin1().constData())->setChecked(true);
        QVERIFY(showActive());
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtOutPath"));
        QStringList visited;
        for (qsizetype i = 0; i < expected.split(QLatin1Char(' ')).size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited.join(QLatin1Char(' ')), expected);
    }

    void accessKeyClicksItsButton_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("button");
        QTest::newRow("Alt+E clicks Encode") << int(Qt::Key_E) << QStringLiteral("cmdEncode");
        QTest::newRow("Alt+R clicks Remove") << int(Qt::Key_R) << QStringLiteral("cmdClearCurrent");
        QTest::newRow("Alt+O clicks Remove all") << int(Qt::Key_O) << QStringLiteral("cmdClearWav");
        QTest::newRow("Alt+Q clicks Quit") << int(Qt::Key_Q) << QStringLiteral("cmdQuit");
        QTest::newRow("Alt+A clicks About") << int(Qt::Key_A) << QStringLiteral("cmdAbout");
    }

    void accessKeyClicksItsButton()
    {
        QFETCH(int, key);
        QFETCH(QString, button);
        ui::RecordedMessageBoxes boxes;
        makeWindow();
        QVERIFY(showActive());
        QStringList clicked;
        for (QPushButton *each : m_window->findChildren<QPushButton *>())
            connect(each, &QPushButton::clicked, this, [&clicked, each] { clicked << each->objectName(); });
        QSignalSpy spy(control<QPushButton>(button.toLatin1().constData()), &QPushButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), Qt::AltModifier);
        QVERIFY(spy.wait());
        QCOMPARE(clicked, QStringList{button});
    }

    void sharedAccessKeyMovesFocusBetweenItsButtons()
    {
        makeWindow();
        QVERIFY(showActive());
        auto *config = control<QPushButton>("cmdConfig");
        auto *cancel = control<QPushButton>("cmdCancel");
        QSignalSpy configClicked(config, &QPushButton::clicked);
        QSignalSpy cancelClicked(cancel, &QPushButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QWidget *first = QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
        QWidget *second = QApplication::focusWidget();
        QVERIFY(first == config || first == cancel);
        QVERIFY(second == config || second == cancel);
        QVERIFY(second != first);
        // Only the focus moves; a click would have pressed the button down.
        QVERIFY(!config->isDown() && !cancel->isDown());
        QCOMPARE(configClicked.size() + cancelClicked.size(), 0);
    }

    void enterStartsARunThroughEncode_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("encodeEnabled");
        QTest::addColumn<bool>("starts");
        QTest::newRow("Return in output box") << QStringLiteral("txtOutPath") << int(Qt::Key_Return) << true << true;
        QTest::newRow("keypad Enter in output box") << QStringLiteral("txtOutPath") << int(Qt::Key_Enter) << true << true;
        QTest::newRow("Return in custom box") << QStringLiteral("txtCustom") << int(Qt::Key_Return) << true << true;
        QTest::newRow("output box, Encode disabled") << QStringLiteral("txtOutPath") << int(Qt::Key_Return) << false << false;
        QTest::newRow("custom box, Encode disabled") << QStringLiteral("txtCustom") << int(Qt::Key_Return) << false << false;
        // A focused button takes Enter as its own click.
        QTest::newRow("Return on Remove all") << QStringLiteral("cmdClearWav") << int(Qt::Key_Return) << true << false;
    }

    void enterStartsARunThroughEncode()
    {
        QFETCH(QString, box);
        QFETCH(int, key);
        QFETCH(bool, encodeEnabled);
        QFETCH(bool, starts);
        ui::RecordedMessageBoxes boxes;
        makeWindow();
        m_window->setEncodeEnabled(encodeEnabled);
        QVERIFY(showActive());
        QWidget *focused = control(box.toLatin1().constData());
        focused->setFocus();
        QSignalSpy clicked(control<QPushButton>("cmdEncode"), &QPushButton::clicked);
        auto *focusedButton = qobject_cast<QPushButton *>(focused);
        int focusedClicks = 0;
        if (focusedButton)
            connect(focusedButton, &QPushButton::clicked, this, [&focusedClicks] { ++focusedClicks; });
        QTest::keyClick(focused, static_cast<Qt::Key>(key));
        // The list is empty, so a run that starts ends at once with its message.
        QCOMPARE(clicked.size(), starts ? 1 : 0);
        QCOMPARE(boxes.boxes.size(), starts ? 1 : 0);
        QCOMPARE(focusedClicks, focusedButton ? 1 : 0);
    }

    void runDisablesEncodeAndEnablesCancelUntilItEnds()
    {
        makeWindow();
        prepareTwoRows();
        m_window->setCancelEnabled(false);
        QVERIFY(showActive());
        const QList<Sample> samples = runSampling();
        QVERIFY(!samples.isEmpty());
        QVERIFY(std::all_of(samples.cbegin(), samples.cend(),
                            [](const Sample &s) { return !s.encode && s.cancel && s.wait == colours::WaitLit; }));
        QVERIFY(std::any_of(samples.cbegin(), samples.cend(),
                            [](const Sample &s) { return s.activity == QLatin1String("Encoding track b.mp3 (2/2)"); }));
        const Sample end = sample();
        QVERIFY(end.encode && !end.cancel);
        QCOMPARE(end.activity, QStringLiteral("Done!"));
        QCOMPARE(control<QLabel>("lblFile2")->text(), QStringLiteral("Done!"));
        QCOMPARE(textColour("lblActivity"), ui::colourFromBgr(colours::TextIdle));
        QCOMPARE(end.wait, colours::WaitDim);
        QCOMPARE(control<QListWidget>("lstWavefiles")->currentRow(), 1);
    }

    void cancelDuringFirstOfTwoFilesStopsAfterIt()
    {
        makeWindow();
        prepareTwoRows();
        QVERIFY(showActive());
        std::optional<Sample> afterPress;
        runSampling([&](const Sample &s) {
            if (!afterPress && s.activity == QLatin1String("Encoding track a.mp3 (1/2)")) {
                control<QPushButton>("cmdCancel")->click();
                afterPress = sample();
            }
        });
        QVERIFY(afterPress);
        QCOMPARE(afterPress->title, QStringLiteral("User requested stop, please wait while finishing current track..."));
        QVERIFY(!afterPress->cancel && !afterPress->encode);

        const Sample end = sample();
        QVERIFY(end.encode && !end.cancel);
        QCOMPARE(end.activity, QStringLiteral("User Requested Stop!"));
        QCOMPARE(textColour("lblActivity"), ui::colourFromBgr(colours::TextWorking));
        QCOMPARE(end.wait, colours::WaitLit); // a stop leaves the lamps as they were
        QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("a.mp3"))));
        QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("b.mp3"))));
    }

    void wholeRunWithRealEncoderEndsDoneWithMp3Files()
    {
        const QString lame = testsupport::realLame();
        if (lame.isEmpty())
            QSKIP("lame is not installed");
        ui::RecordedMessageBoxes boxes;
        makeWindow(lame);
        QDir folder(m_dir->path());
        QVERIFY(folder.mkdir(QStringLiteral("in")) && folder.mkdir(QStringLiteral("out")));
        QStringList rows;
        for (const char *name : {"first take.wav", "Second.WAV"}) {
            rows << folder.filePath(QStringLiteral("in/") + QLatin1String(name));
            QVERIFY(testsupport::writeToneWav(rows.last(), 1.0));
        }
        control<QListWidget>("lstWavefiles")->addItems(rows);
        control<QLineEdit>("txtOutPath")->setText(folder.filePath(QStringLiteral("out")));
        control<QRadioButton>("opt128")->setChecked(true);
        QVERIFY(showActive());

        control<QPushButton>("cmdEncode")->click();

        QCOMPARE(boxes.boxes.size(), 0);
        QCOMPARE(control<QLabel>("lblActivity")->text(), QStringLiteral("Done!"));
        QCOMPARE(control<QLabel>("lblFile2")->text(), QStringLiteral("Done!"));
        QVERIFY(testsupport::looksLikeMp3(folder.filePath(QStringLiteral("out/first take.mp3")), 1.0));
        QVERIFY(testsupport::looksLikeMp3(folder.filePath(QStringLiteral("out/Second.mp3")), 1.0));
        QVERIFY(!m_config.isLoaded()); // the completed run unloaded it
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
