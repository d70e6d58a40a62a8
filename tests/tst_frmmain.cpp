#include "batch/configview.h"
#include "batch/mainview.h"
#include "testsupport.h"
#include "ui/frmmain.h"
#include "ui/messagebox.h"
#include "ui/statuslamp.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
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
#include <optional>

namespace {

const QString DefaultFamily = QStringLiteral("MS Sans Serif");
const QString VerdanaFamily = QStringLiteral("Verdana");

// The configuration window reduced to the encoder path it hands out.
class FakeConfig : public ConfigView {
public:
    QString path;
    int unloads = 0;
    QString lamePath() override { return path; }
    void unloadAndRelease() override { ++unloads; }
};

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

// One snapshot of the window's run-related state, taken from a timer that fires
// inside the batch's event pumping.
struct Sample {
    bool encode;
    bool cancel;
    QString title;
    QString activity;
    QString progress;
    quint32 ready;
    quint32 wait;
};

} // namespace

class tst_frmMain : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsMatchTheLayout_data();
    void controlsMatchTheLayout();
    void windowIsFixedSizeTitledAndCentred();
    void presetFrameLiesBehindItsButtonsWithoutOwningThem();
    void presetButtonsAreOneExclusiveGroupWithNoneChosen();
    void onlyOutputBoxHasATooltip();
    void lampsAndRulesPaintTheirColours();
    void mainViewOperationsReachTheirControls();

    void tabVisitsTheFocusableControlsInOrder();
    void tabEntersPresetGroupOnlyAtTheChosenButton();
    void accessKeyClicksItsButton_data();
    void accessKeyClicksItsButton();
    void sharedAccessKeyMovesFocusBetweenItsButtons();
    void enterStartsARunThroughEncode_data();
    void enterStartsARunThroughEncode();

    void encodeAndCancelStatesFollowARun();
    void cancelDuringFirstOfTwoFilesStopsAfterIt();
    void wholeRunWithRealEncoderEndsDoneWithMp3Files();

private:
    frmMain &makeWindow(const QString &encoder = testsupport::standinEncoder());
    void showActive();
    template <class W = QWidget> W *control(const char *name);
    // Clicks Encode and takes a sample at every tick while the run lasts.
    QList<Sample> runSampling(const std::function<void(const Sample &)> &onTick = {});
    Sample sample();

    QTemporaryDir *m_dir = nullptr;
    FakeConfig m_config;
    QPointer<frmMain> m_window;
};

void tst_frmMain::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_config = FakeConfig();
}

void tst_frmMain::cleanup()
{
    delete m_window.data();
    delete m_dir;
    m_dir = nullptr;
    QTRY_VERIFY(std::none_of(QApplication::topLevelWidgets().cbegin(), QApplication::topLevelWidgets().cend(),
                             [](const QWidget *w) { return w->isVisible() || qobject_cast<const frmMain *>(w); }));
}

frmMain &tst_frmMain::makeWindow(const QString &encoder)
{
    m_config.path = encoder;
    m_window = new frmMain(m_config);
    m_window->settings().setInifile(m_dir->filePath(QStringLiteral("purlwave.ini")));
    return *m_window;
}

void tst_frmMain::showActive()
{
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

template <class W> W *tst_frmMain::control(const char *name)
{
    auto *widget = m_window->findChild<W *>(QLatin1String(name));
    if (!widget)
        qWarning("no control %s", name);
    return widget;
}

void tst_frmMain::controlsMatchTheLayout_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("family"); // empty: no text, font not checked
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<int>("colour"); // -1: the palette's own

    const auto row = [](const char *name, const char *kind, const char *text, QRect twips,
                        const QString &family, double points, bool bold, int colour = -1) {
        QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(text) << twips << family
                            << points << bold << colour;
    };
    const QString none;
    row("cmdClearCurrent", "QPushButton", "&Remove", {5850, 3990, 825, 345}, DefaultFamily, 8.25, false);
    row("cmdClearWav", "QPushButton", "Rem&ove all", {6690, 3990, 945, 345}, DefaultFamily, 8.25, false);
    row("lstWavefiles", "QListWidget", "", {30, 1950, 7605, 2010}, DefaultFamily, 8.25, false);
    row("cmdConfig", "QPushButton", "&Config", {0, 1200, 1215, 375}, DefaultFamily, 8.25, false);
    row("cmdQuit", "QPushButton", "&Quit", {3720, 1200, 1215, 375}, DefaultFamily, 8.25, false);
    row("cmdAbout", "QPushButton", "&About", {1200, 1200, 1215, 375}, DefaultFamily, 8.25, false);
    row("cmdSelectTrg", "QPushButton", "...", {4680, 4470, 315, 285}, DefaultFamily, 8.25, true);
    row("cmdCancel", "QPushButton", "&Cancel", {9000, 3840, 1215, 375}, DefaultFamily, 8.25, false);
    row("Opt256", "QRadioButton", "256kbps", {8040, 2040, 1695, 375}, DefaultFamily, 9.75, false);
    row("txtCustom", "QLineEdit", " (ignored in preset mode)", {7920, 3000, 2295, 285}, DefaultFamily, 8.25,
        false);
    row("optCustom", "QRadioButton", "Custom settings", {8040, 2640, 2175, 255}, DefaultFamily, 9.75, false);
    row("optVar", "QRadioButton", "VBR 150-200kbps", {8040, 1080, 1815, 615}, DefaultFamily, 9.75, false);
    row("opt128", "QRadioButton", "128kbps", {8040, 480, 1455, 255}, DefaultFamily, 9.75, false);
    row("cmdEncode", "QPushButton", "&Encode", {9000, 4320, 1215, 375}, DefaultFamily, 8.25, true);
    row("txtOutPath", "QLineEdit", "", {90, 4470, 4575, 285}, DefaultFamily, 8.25, false);
    row("frmOptions", "QGroupBox", "Presets", {7920, 0, 2295, 2535}, VerdanaFamily, 9.75, true);
    row("picLogo", "ui::Logo", "", {0, 0, 4950, 1170}, none, 0, false);
    row("lblWavelist", "QLabel", "Drag your wave files into this list box:", {30, 1650, 3825, 255},
        VerdanaFamily, 9, false);
    row("lblWait", "QLabel", "Busy", {9360, 5280, 735, 255}, DefaultFamily, 8.25, false);
    row("shpWait", "ui::StatusLamp", "", {9120, 5280, 135, 135}, none, 0, false);
    row("lblRecord", "QLabel", "Encoding", {9360, 5520, 855, 255}, DefaultFamily, 8.25, false);
    row("lblReady", "QLabel", "Ready", {9360, 5040, 615, 255}, DefaultFamily, 8.25, false);
    row("shpReady", "ui::StatusLamp", "", {9120, 5040, 135, 135}, none, 0, false);
    row("shpRecord", "ui::StatusLamp", "", {9120, 5520, 135, 135}, none, 0, false);
    // A rule of one pixel from x 0 to x 10320.
    row("Line2", "QFrame", "", {0, 5880, 10320, 15}, none, 0, false);
    row("Line1", "QFrame", "", {0, 4800, 10320, 15}, none, 0, false);
    row("lblFile2", "QLabel", "Stopped", {1200, 5400, 1695, 255}, DefaultFamily, 9.75, true, 192);
    row("lblFile", "QLabel", "Progress:", {120, 5400, 1095, 375}, DefaultFamily, 9.75, true);
    row("lblActivity", "QLabel", "Ready", {960, 5040, 8055, 255}, DefaultFamily, 9.75, true, 32768);
    row("lblProgress", "QLabel", "Status:", {120, 5040, 1095, 255}, DefaultFamily, 9.75, true);
    row("lblOut", "QLabel", "Destination path: (optional)", {90, 4230, 2835, 255}, VerdanaFamily, 9, false);
}

void tst_frmMain::controlsMatchTheLayout()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    QFETCH(QString, family);
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(int, colour);

    makeWindow();
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    auto *widget = m_window->findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->parentWidget(), m_window.data());
    QVERIFY2(widget->inherits(kind.toLatin1().constData()), widget->metaObject()->className());
    QCOMPARE(widget->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(caption(widget), text);
    if (!family.isEmpty()) {
        QCOMPARE(widget->font().family(), family);
        QCOMPARE(widget->font().pointSizeF(), points);
        QCOMPARE(widget->font().bold(), bold);
    }
    const QColor expected = colour < 0 ? m_window->palette().color(QPalette::WindowText)
                                       : ui::colourFromBgr(static_cast<quint32>(colour));
    QCOMPARE(widget->palette().color(QPalette::WindowText), expected);
    if (auto *list = qobject_cast<QListWidget *>(widget)) {
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(!list->isSortingEnabled());
        QCOMPARE(list->count(), 0);
    }
    if (kind == QLatin1String("QFrame"))
        QCOMPARE(static_cast<QFrame *>(widget)->frameShape(), QFrame::HLine);
}

void tst_frmMain::windowIsFixedSizeTitledAndCentred()
{
    frmMain &window = makeWindow();
    QCOMPARE(window.objectName(), QStringLiteral("frmMain"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Purlwave v1.3 - Press F1 for help"));
    QCOMPARE(window.size(), QSize(10305 / 15, 5955 / 15));
    QCOMPARE(window.minimumSize(), window.size());
    QCOMPARE(window.maximumSize(), window.size());
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!window.windowIcon().isNull());
    showActive();
    const QPoint offCentre = window.frameGeometry().center() - window.screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 16, qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
}

void tst_frmMain::presetFrameLiesBehindItsButtonsWithoutOwningThem()
{
    makeWindow();
    showActive();
    for (const char *name : {"opt128", "optVar", "Opt256"}) {
        auto *button = control<QRadioButton>(name);
        QCOMPARE(m_window->childAt(button->geometry().center()), button);
    }
    QVERIFY(control<QGroupBox>("frmOptions")->findChildren<QWidget *>().isEmpty());
}

void tst_frmMain::presetButtonsAreOneExclusiveGroupWithNoneChosen()
{
    makeWindow();
    QCOMPARE(m_window->presetButtons().opt128 || m_window->presetButtons().optVar ||
                 m_window->presetButtons().Opt256 || m_window->presetButtons().optCustom,
             false);
    control<QRadioButton>("opt128")->click();
    // optCustom lies outside the frame, yet choosing it clears the buttons inside.
    control<QRadioButton>("optCustom")->click();
    const PresetButtons after = m_window->presetButtons();
    QVERIFY(!after.opt128 && !after.optVar && !after.Opt256 && after.optCustom);
    control<QRadioButton>("optVar")->click();
    QVERIFY(!control<QRadioButton>("optCustom")->isChecked());
    QVERIFY(m_window->presetButtons().optVar);
}

void tst_frmMain::onlyOutputBoxHasATooltip()
{
    makeWindow();
    QStringList withTip;
    for (const QWidget *widget : m_window->findChildren<QWidget *>())
        if (!widget->toolTip().isEmpty())
            withTip << widget->objectName();
    QCOMPARE(withTip, QStringList{QStringLiteral("txtOutPath")});
    QCOMPARE(control<QLineEdit>("txtOutPath")->toolTip(), QStringLiteral("The folder in which to save the MP3-files"));
}

void tst_frmMain::lampsAndRulesPaintTheirColours()
{
    frmMain &window = makeWindow();
    window.setLampColour(Lamp::shpReady, colours::ReadyLit);
    window.setLampColour(Lamp::shpWait, colours::WaitLit);
    window.setLampColour(Lamp::shpRecord, colours::RecordDim);
    const QImage picture = window.grab().toImage();
    const auto at = [&](const char *name) {
        return picture.pixelColor(control(name)->geometry().center()).rgb();
    };
    QCOMPARE(at("shpReady"), ui::colourFromBgr(colours::ReadyLit).rgb());
    QCOMPARE(at("shpWait"), ui::colourFromBgr(colours::WaitLit).rgb());
    QCOMPARE(at("shpRecord"), ui::colourFromBgr(colours::RecordDim).rgb());
    const QRgb text = window.palette().color(QPalette::WindowText).rgb();
    QCOMPARE(picture.pixelColor(300, 4800 / 15).rgb(), text);
    QCOMPARE(picture.pixelColor(300, 5880 / 15).rgb(), text);
    QVERIFY(picture.pixelColor(300, 4800 / 15 + 1).rgb() != text);
}

void tst_frmMain::mainViewOperationsReachTheirControls()
{
    frmMain &window = makeWindow();
    window.setCaption(QStringLiteral("Encoding failed."));
    QCOMPARE(window.windowTitle(), QStringLiteral("Encoding failed."));

    window.setActivityText(QStringLiteral("Encoding track a.mp3 (1/3)"));
    window.setActivityColour(colours::TextWorking);
    window.setProgressText(QStringLiteral("12kbytes"));
    window.setProgressColour(colours::TextIdle);
    QCOMPARE(control<QLabel>("lblActivity")->text(), QStringLiteral("Encoding track a.mp3 (1/3)"));
    QCOMPARE(control<QLabel>("lblActivity")->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
    QCOMPARE(control<QLabel>("lblFile2")->text(), QStringLiteral("12kbytes"));
    QCOMPARE(control<QLabel>("lblFile2")->palette().color(QPalette::WindowText), QColor(0, 0x80, 0));

    window.setEncodeEnabled(false);
    window.setCancelEnabled(false);
    QVERIFY(!control("cmdEncode")->isEnabled());
    QVERIFY(!control("cmdCancel")->isEnabled());

    auto *list = control<QListWidget>("lstWavefiles");
    list->addItems({QStringLiteral("/m/a.wav"), QStringLiteral("/m/b.wav")});
    QCOMPARE(window.rowCount(), 2);
    window.selectRow(1);
    QCOMPARE(list->currentRow(), 1);
    QCOMPARE(window.selectedRowText(), QStringLiteral("/m/b.wav"));
    window.selectRow(-1);
    QVERIFY(list->selectedItems().isEmpty());
    QCOMPARE(window.selectedRowText(), QString());
    window.selectRow(2); // past the end: nothing is selected, nothing breaks
    QCOMPARE(window.selectedRowText(), QString());

    control<QLineEdit>("txtOutPath")->setText(QStringLiteral("/out"));
    QCOMPARE(window.outPathText(), QStringLiteral("/out"));
    QCOMPARE(window.customText(), QStringLiteral(" (ignored in preset mode)"));

    ui::RecordedMessageBoxes boxes;
    window.messageBox(QStringLiteral("No wav-files selected for encoding!"), QStringLiteral("Error!"));
    window.messageBox(QStringLiteral("MP3 is not a valid extension."), std::nullopt);
    QCOMPARE(boxes.boxes.size(), 2);
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("Error!"));
    QCOMPARE(boxes.boxes[1].title, QCoreApplication::applicationName());
    QCOMPARE(boxes.boxes[1].text, QStringLiteral("MP3 is not a valid extension."));
}

void tst_frmMain::tabVisitsTheFocusableControlsInOrder()
{
    makeWindow();
    showActive();
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtOutPath"));
    // With no preset chosen, Tab enters the group at its first button; the others
    // are then left out of the round, as Qt does with a group of radio buttons.
    const QStringList expected = {
        QStringLiteral("cmdEncode"),    QStringLiteral("opt128"),  QStringLiteral("txtCustom"),
        QStringLiteral("cmdCancel"),    QStringLiteral("cmdSelectTrg"), QStringLiteral("cmdAbout"),
        QStringLiteral("cmdQuit"),      QStringLiteral("picLogo"),  QStringLiteral("cmdConfig"),
        QStringLiteral("lstWavefiles"), QStringLiteral("cmdClearWav"), QStringLiteral("cmdClearCurrent"),
        QStringLiteral("txtOutPath")};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

void tst_frmMain::tabEntersPresetGroupOnlyAtTheChosenButton()
{
    makeWindow();
    control<QRadioButton>("Opt256")->setChecked(true);
    showActive();
    control("cmdEncode")->setFocus();
    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, (QStringList{QStringLiteral("txtCustom"), QStringLiteral("Opt256"),
                                   QStringLiteral("cmdCancel"), QStringLiteral("cmdSelectTrg")}));
}

void tst_frmMain::accessKeyClicksItsButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("button");
    QTest::newRow("Alt+E clicks Encode") << int(Qt::Key_E) << QStringLiteral("cmdEncode");
    QTest::newRow("Alt+R clicks Remove") << int(Qt::Key_R) << QStringLiteral("cmdClearCurrent");
    QTest::newRow("Alt+O clicks Remove all") << int(Qt::Key_O) << QStringLiteral("cmdClearWav");
    QTest::newRow("Alt+Q clicks Quit") << int(Qt::Key_Q) << QStringLiteral("cmdQuit");
    QTest::newRow("Alt+A clicks About") << int(Qt::Key_A) << QStringLiteral("cmdAbout");
}

void tst_frmMain::accessKeyClicksItsButton()
{
    QFETCH(int, key);
    QFETCH(QString, button);
    ui::RecordedMessageBoxes boxes;
    makeWindow();
    showActive();
    QList<QSignalSpy *> spies;
    const QList<QPushButton *> buttons = m_window->findChildren<QPushButton *>();
    for (QPushButton *each : buttons)
        spies << new QSignalSpy(each, &QPushButton::clicked);
    auto *target = control<QPushButton>(button.toLatin1().constData());
    QSignalSpy clicked(target, &QPushButton::clicked);

    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), Qt::AltModifier);
    QVERIFY(clicked.wait());
    for (qsizetype i = 0; i < buttons.size(); ++i)
        QCOMPARE(spies[i]->size(), buttons[i] == target ? 1 : 0);
    qDeleteAll(spies);
}

void tst_frmMain::sharedAccessKeyMovesFocusBetweenItsButtons()
{
    makeWindow();
    showActive();
    auto *config = control<QPushButton>("cmdConfig");
    auto *cancel = control<QPushButton>("cmdCancel");
    QSignalSpy configClicked(config, &QPushButton::clicked);
    QSignalSpy cancelClicked(cancel, &QPushButton::clicked);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    QWidget *first = QApplication::focusWidget();
    QVERIFY(first == config || first == cancel);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    QWidget *second = QApplication::focusWidget();
    QVERIFY(second == config || second == cancel);
    QVERIFY(second != first);
    // A shared key only moves the focus; a click would have pressed the button down.
    QVERIFY(!config->isDown() && !cancel->isDown());
    QCOMPARE(configClicked.size() + cancelClicked.size(), 0);
}

void tst_frmMain::enterStartsARunThroughEncode_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("encodeEnabled");
    QTest::newRow("Return in output box") << QStringLiteral("txtOutPath") << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter in output box") << QStringLiteral("txtOutPath") << int(Qt::Key_Enter) << true;
    QTest::newRow("Return in custom box") << QStringLiteral("txtCustom") << int(Qt::Key_Return) << true;
    QTest::newRow("output box, Encode disabled") << QStringLiteral("txtOutPath") << int(Qt::Key_Return) << false;
    QTest::newRow("custom box, Encode disabled") << QStringLiteral("txtCustom") << int(Qt::Key_Return) << false;
}

void tst_frmMain::enterStartsARunThroughEncode()
{
    QFETCH(QString, box);
    QFETCH(int, key);
    QFETCH(bool, encodeEnabled);
    ui::RecordedMessageBoxes boxes;
    makeWindow();
    m_window->setEncodeEnabled(encodeEnabled);
    showActive();
    auto *edit = control<QLineEdit>(box.toLatin1().constData());
    edit->setFocus();
    QSignalSpy clicked(control<QPushButton>("cmdEncode"), &QPushButton::clicked);

    QTest::keyClick(edit, static_cast<Qt::Key>(key));
    // The list is empty, so a run that starts ends at once with its message.
    QCOMPARE(clicked.size(), encodeEnabled ? 1 : 0);
    QCOMPARE(boxes.boxes.size(), encodeEnabled ? 1 : 0);
    if (encodeEnabled)
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("No wav-files selected for encoding!"));
    QCOMPARE(edit->text(), box == QLatin1String("txtCustom") ? QStringLiteral(" (ignored in preset mode)") : QString());
}

Sample tst_frmMain::sample()
{
    return {control("cmdEncode")->isEnabled(),
            control("cmdCancel")->isEnabled(),
            m_window->windowTitle(),
            control<QLabel>("lblActivity")->text(),
            control<QLabel>("lblFile2")->text(),
            control<ui::StatusLamp>("shpReady")->fillColour(),
            control<ui::StatusLamp>("shpWait")->fillColour()};
}

QList<Sample> tst_frmMain::runSampling(const std::function<void(const Sample &)> &onTick)
{
    QList<Sample> samples;
    QTimer ticker;
    ticker.setInterval(0); // once at every pass of the event loop
    connect(&ticker, &QTimer::timeout, this, [&] {
        samples << sample();
        if (onTick)
            onTick(samples.last());
    });
    ticker.start();
    // The run is one long click: the ticks fire inside it, as the batch lets events run.
    control<QPushButton>("cmdEncode")->click();
    ticker.stop();
    return samples;
}

void tst_frmMain::encodeAndCancelStatesFollowARun()
{
    makeWindow();
    control<QListWidget>("lstWavefiles")->addItems({m_dir->filePath(QStringLiteral("a.wav")),
                                                     m_dir->filePath(QStringLiteral("b.wav"))});
    control<QRadioButton>("optCustom")->setChecked(true);
    control<QLineEdit>("txtCustom")->setText(QStringLiteral("--bytes 5000 --chunk 1000 --interval 100"));
    m_window->setCancelEnabled(false);
    showActive();

    const QList<Sample> samples = runSampling();
    QVERIFY(!samples.isEmpty());
    for (const Sample &s : samples) {
        QVERIFY(!s.encode);
        QVERIFY(s.cancel);
        QCOMPARE(s.wait, colours::WaitLit);
        QCOMPARE(s.ready, colours::ReadyDim);
    }
    QVERIFY(std::any_of(samples.cbegin(), samples.cend(), [](const Sample &s) {
        return s.activity == QLatin1String("Encoding track b.mp3 (2/2)");
    }));
    const Sample end = sample();
    QVERIFY(end.encode);
    QVERIFY(!end.cancel);
    QCOMPARE(end.activity, QStringLiteral("Done!"));
    QCOMPARE(end.progress, QStringLiteral("Done!"));
    QCOMPARE(control<QLabel>("lblActivity")->palette().color(QPalette::WindowText), ui::colourFromBgr(colours::TextIdle));
    QCOMPARE(end.ready, colours::ReadyLit);
    QCOMPARE(end.wait, colours::WaitDim);
    QCOMPARE(m_config.unloads, 1);
    QCOMPARE(control<QListWidget>("lstWavefiles")->currentRow(), 1);
}

void tst_frmMain::cancelDuringFirstOfTwoFilesStopsAfterIt()
{
    makeWindow();
    control<QListWidget>("lstWavefiles")->addItems({m_dir->filePath(QStringLiteral("a.wav")),
                                                     m_dir->filePath(QStringLiteral("b.wav"))});
    control<QRadioButton>("optCustom")->setChecked(true);
    control<QLineEdit>("txtCustom")->setText(QStringLiteral("--bytes 5000 --chunk 1000 --interval 100"));
    showActive();

    std::optional<Sample> afterPress;
    runSampling([&](const Sample &s) {
        if (!afterPress && s.activity == QLatin1String("Encoding track a.mp3 (1/2)")) {
            control<QPushButton>("cmdCancel")->click();
            afterPress = sample();
        }
    });
    QVERIFY(afterPress);
    QCOMPARE(afterPress->title, QStringLiteral("User requested stop, please wait while finishing current track..."));
    QVERIFY(!afterPress->cancel);
    QVERIFY(!afterPress->encode);

    const Sample end = sample();
    QVERIFY(end.encode);
    QVERIFY(!end.cancel);
    QCOMPARE(end.activity, QStringLiteral("User Requested Stop!"));
    QCOMPARE(control<QLabel>("lblActivity")->palette().color(QPalette::WindowText),
             ui::colourFromBgr(colours::TextWorking));
    // A stop leaves the lamps as the run left them.
    QCOMPARE(end.wait, colours::WaitLit);
    QCOMPARE(end.ready, colours::ReadyDim);
    QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("a.mp3"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("b.mp3"))));
    QCOMPARE(m_config.unloads, 0);
}

void tst_frmMain::wholeRunWithRealEncoderEndsDoneWithMp3Files()
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
    showActive();

    control<QPushButton>("cmdEncode")->click();

    QCOMPARE(boxes.boxes.size(), 0);
    QCOMPARE(control<QLabel>("lblActivity")->text(), QStringLiteral("Done!"));
    QCOMPARE(control<QLabel>("lblFile2")->text(), QStringLiteral("Done!"));
    QVERIFY(testsupport::looksLikeMp3(folder.filePath(QStringLiteral("out/first take.mp3")), 1.0));
    QVERIFY(testsupport::looksLikeMp3(folder.filePath(QStringLiteral("out/Second.mp3")), 1.0));
    QVERIFY(control("cmdEncode")->isEnabled());
    QVERIFY(!control("cmdCancel")->isEnabled());
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
