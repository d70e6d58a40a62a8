// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/windows/frmmain.h"

#include "settings/keys.h"
#include "settings/location.h"
#include "ui/announcement.h"
#include "ui/artwork.h"
#include "ui/dialogs/help.h"
#include "ui/dialogs/messagebox.h"
#include "ui/dialogs/modfolderbrowse.h"
#include "ui/enterkey.h"
#include "ui/layout.h"
#include "ui/widgets/contrast.h"
#include "ui/widgets/droppedfiles.h"
#include "ui/widgets/logo.h"
#include "ui/widgets/optionbutton.h"
#include "ui/widgets/outpathbox.h"
#include "ui/widgets/statuslamp.h"
#include "ui/widgets/wavelist.h"
#include "ui/windows/configuration.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

using namespace batch;

namespace ui {

namespace {

template <class Widget>
Widget *placed(Widget *widget, const char *name, QRect geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, QRect geometry)
{
    auto *label = placed(new QLabel(caption, parent), name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A one-pixel rule across the window in the window-text colour.
QFrame *makeRule(QWidget *parent, const char *name, int top, int right)
{
    auto *rule = placed(new QFrame(parent), name, QRect(0, px(top), px(right), 1));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setLineWidth(1);
    return rule;
}

void setTextColour(QLabel *label, quint32 bgr)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colourFromBgr(bgr));
    label->setPalette(palette);
}

} // namespace

frmMain::frmMain(ConfigurationRef &configuration, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_configuration(configuration),
      m_batch(*this, configuration, m_settings, [] { QCoreApplication::processEvents(); }),
      m_taskbar(m_sessionBus, QGuiApplication::desktopFileName()),
      m_notification(m_sessionBus, QStringLiteral("Purlwave"), QGuiApplication::desktopFileName())
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Purlwave v1.3 - Press F1 for help"));
    setWindowIcon(applicationIcon());
    setFont(systemFont(8.25));
    setFixedSize(px(10305), px(5955));

    createControls();
    arrangeTabOrder();
    connectHandlers();
    placeCentred();
    txtOutPath->setFocus();
}

frmMain::~frmMain() = default;

void frmMain::createControls()
{
    cmdClearCurrent = placed(new QPushButton(QStringLiteral("&Remove"), this), "cmdClearCurrent",
                             twipsRect(5850, 3990, 825, 345));
    cmdClearWav = placed(new QPushButton(QStringLiteral("Rem&ove all"), this), "cmdClearWav",
                         twipsRect(6690, 3990, 945, 345));

    lstWavefiles = placed(new WaveList(this), "lstWavefiles", twipsRect(30, 1950, 7605, 2010));
    lstWavefiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lstWavefiles->setSortingEnabled(false);

    cmdConfig = placed(new QPushButton(QStringLiteral("&Config"), this), "cmdConfig",
                       twipsRect(0, 1200, 1215, 375));
    cmdQuit = placed(new QPushButton(QStringLiteral("&Quit"), this), "cmdQuit",
                     twipsRect(3720, 1200, 1215, 375));
    cmdAbout = placed(new QPushButton(QStringLiteral("&About"), this), "cmdAbout",
                      twipsRect(1200, 1200, 1215, 375));
    cmdSelectTrg = placed(new QPushButton(QStringLiteral("..."), this), "cmdSelectTrg",
                          twipsRect(4680, 4470, 315, 285));
    cmdSelectTrg->setFont(systemFont(8.25, true));
    cmdCancel = placed(new QPushButton(QStringLiteral("&Cancel"), this), "cmdCancel",
                       twipsRect(9000, 3840, 1215, 375));

    const QFont presetFont = systemFont(9.75);
    Opt256 = placed(new OptionButton(QStringLiteral("256kbps"), this), "Opt256",
                    twipsRect(8040, 2040, 1695, 375));
    Opt256->setFont(presetFont);
    txtCustom = placed(new QLineEdit(QStringLiteral(" (ignored in preset mode)"), this), "txtCustom",
                       twipsRect(7920, 3000, 2295, 285));
    txtCustom->setCursorPosition(0);
    // Only the list and the output box take drops; a drag over this box is one
    // over the window, which shows copy and takes nothing.
    txtCustom->setAcceptDrops(false);
    optCustom = placed(new OptionButton(QStringLiteral("Custom settings"), this), "optCustom",
                       twipsRect(8040, 2640, 2175, 255));
    optCustom->setFont(presetFont);
    optVar = placed(new OptionButton(QStringLiteral("VBR 150-200kbps"), this), "optVar",
                    twipsRect(8040, 1080, 1815, 615));
    optVar->setFont(presetFont);
    opt128 = placed(new OptionButton(QStringLiteral("128kbps"), this), "opt128",
                    twipsRect(8040, 480, 1455, 255));
    opt128->setFont(presetFont);

    // The four share the window as parent, so the group makes them exclusive.
    m_presets = new QButtonGroup(this);
    m_presets->setObjectName(QStringLiteral("presets"));
    m_presets->setExclusive(true);
    for (QRadioButton *button : {opt128, optVar, Opt256, optCustom})
        m_presets->addButton(button);

    cmdEncode = placed(new QPushButton(QStringLiteral("&Encode"), this), "cmdEncode",
                       twipsRect(9000, 4320, 1215, 375));
    cmdEncode->setFont(systemFont(8.25, true));

    txtOutPath = placed(new OutPathBox(this), "txtOutPath", twipsRect(90, 4470, 4575, 285));
    txtOutPath->setToolTip(QStringLiteral("The folder in which to save the MP3-files"));

    // The frame only groups the presets to the eye: it is not their parent, and it
    // lies behind them.
    frmOptions = placed(groupBoxFramedAsPng(QStringLiteral("Presets"), this), "frmOptions",
                        twipsRect(7920, 0, 2295, 2535));
    frmOptions->setFont(verdanaFont(9.75, true));
    frmOptions->setFocusPolicy(Qt::NoFocus);
    frmOptions->lower();

    picLogo = placed(new Logo(this), "picLogo", twipsRect(0, 0, 4950, 1170));

    lblWavelist = makeLabel(this, "lblWavelist", QStringLiteral("Drag your wave files into this list box:"),
                            twipsRect(30, 1650, 3825, 255));
    lblWavelist->setFont(verdanaFont(9));
    lblWait = makeLabel(this, "lblWait", QStringLiteral("Busy"), twipsRect(9360, 5280, 735, 255));
    shpWait = placed(new StatusLamp(colours::WaitLit, colours::WaitDim, this), "shpWait",
                     twipsRect(9120, 5280, 135, 135));
    lblRecord = makeLabel(this, "lblRecord", QStringLiteral("Encoding"), twipsRect(9360, 5520, 855, 255));
    lblReady = makeLabel(this, "lblReady", QStringLiteral("Ready"), twipsRect(9360, 5040, 615, 255));
    shpReady = placed(new StatusLamp(colours::ReadyLit, colours::ReadyDim, this), "shpReady",
                      twipsRect(9120, 5040, 135, 135));
    shpRecord = placed(new StatusLamp(colours::RecordLit, colours::RecordDim, this), "shpRecord",
                       twipsRect(9120, 5520, 135, 135));

    Line2 = makeRule(this, "Line2", 5880, 10320);
    Line1 = makeRule(this, "Line1", 4800, 10320);

    const QFont reportFont = systemFont(9.75, true);
    lblFile2 = makeLabel(this, "lblFile2", QStringLiteral("Stopped"), twipsRect(1200, 5400, 1695, 255));
    lblFile2->setFont(reportFont);
    setTextColour(lblFile2, colours::TextWorking);
    lblFile = makeLabel(this, "lblFile", QStringLiteral("Progress:"), twipsRect(120, 5400, 1095, 375));
    lblFile->setFont(reportFont);
    lblActivity = makeLabel(this, "lblActivity", QStringLiteral("Ready"), twipsRect(960, 5040, 8055, 255));
    lblActivity->setFont(reportFont);
    setTextColour(lblActivity, colours::TextIdle);
    lblProgress = makeLabel(this, "lblProgress", QStringLiteral("Status:"), twipsRect(120, 5040, 1095, 255));
    lblProgress->setFont(reportFont);
    lblOut = makeLabel(this, "lblOut", QStringLiteral("Destination path: (optional)"),
                       twipsRect(90, 4230, 2835, 255));
    lblOut->setFont(verdanaFont(9));

    describeForScreenReaders();
    showReportColoursOnTheirFace();
}

void frmMain::describeForScreenReaders()
{
    // A caption names the control it stands over. The captions carry no '&', so
    // a buddy gives them no access key.
    lblWavelist->setBuddy(lstWavefiles);
    lblOut->setBuddy(txtOutPath);
    // A list takes no name from its caption; the caption tells how to fill it.
    lstWavefiles->setAccessibleName(QStringLiteral("Files to encode"));
    lstWavefiles->setAccessibleDescription(lblWavelist->text());
    txtCustom->setAccessibleName(QStringLiteral("Custom encoder parameters"));
    cmdSelectTrg->setAccessibleName(QStringLiteral("Choose the destination folder"));
    picLogo->setAccessibleName(QStringLiteral("Purlwave logo"));
    shpReady->setLampName(lblReady->text());
    shpWait->setLampName(lblWait->text());
    shpRecord->setLampName(lblRecord->text());
    // Rows added in any way are counted aloud; nothing on the window shows it.
    m_announcement = new Announcement(this);
    connect(lstWavefiles, &WaveList::filesAdded, m_announcement,
            [this](int count) { m_announcement->say(filesAddedSentence(count)); });
}

void frmMain::runEnded(const RunOutcome &outcome)
{
    announceRunEnd(outcome);
    tellDesktopRunEnded(outcome);
}

void frmMain::announceRunEnd(const RunOutcome &outcome) { m_announcement->say(runEndSentence(outcome)); }

void frmMain::showReportColoursOnTheirFace()
{
    // The report colours were made for a light window face. Where the palette's
    // face is too dark for them (or, like Fusion's light grey, just short of a
    // 4.5:1 contrast for the dark green), the two lines get the light grey face
    // they were chosen for; the colours themselves stay. The lamps see to their
    // own ring.
    const QColor face = palette().color(QPalette::Window);
    const bool lightFace = needsLightFace(face);
    for (QLabel *line : {lblActivity, lblFile2}) {
        QPalette linePalette = line->palette();
        linePalette.setColor(QPalette::Window, lightFace ? QColor(kStatusFace) : face);
        line->setPalette(linePalette);
        line->setAutoFillBackground(lightFace);
    }
}

void frmMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        showReportColoursOnTheirFace();
    QWidget::changeEvent(event);
}

void frmMain::addArgumentFiles(const QList<QByteArray> &arguments)
{
    lstWavefiles->addFiles(filesFromArguments(arguments, QDir::currentPath()), WaveList::Source::Arguments);
}

void frmMain::arrangeTabOrder()
{
    QWidget *const sequence[] = {txtOutPath, cmdEncode,    opt128,       optVar,         optCustom, txtCustom,
                                 Opt256,     cmdCancel,    cmdSelectTrg, cmdAbout,       cmdQuit,   picLogo,
                                 cmdConfig,  lstWavefiles, cmdClearWav,  cmdClearCurrent};
    for (size_t i = 1; i < std::size(sequence); ++i)
        QWidget::setTabOrder(sequence[i - 1], sequence[i]);
}

void frmMain::connectHandlers()
{
    connect(cmdEncode, &QPushButton::clicked, this, &frmMain::cmdEncode_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmMain::cmdCancel_Click);
    connect(cmdClearCurrent, &QPushButton::clicked, this, &frmMain::cmdClearCurrent_Click);
    connect(cmdClearWav, &QPushButton::clicked, this, &frmMain::cmdClearWav_Click);
    connect(cmdConfig, &QPushButton::clicked, this, &frmMain::cmdConfig_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &frmMain::cmdQuit_Click);
    connect(cmdSelectTrg, &QPushButton::clicked, this, &frmMain::cmdSelectTrg_Click);
    // A click on the note of a run's end brings the window back to the user.
    connect(&m_notification, &platform::DesktopNotification::activated, this, [this] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        raise();
        activateWindow();
    });
    connect(lstWavefiles, &WaveList::removeRequested, this, &frmMain::cmdClearCurrent_Click);
    connect(lstWavefiles, &WaveList::removeAllRequested, this, &frmMain::cmdClearWav_Click);
    // The one place a run hears of rows taken out from under it, whichever
    // command took them.
    connect(lstWavefiles, &WaveList::rowsLeftList, this,
            [this](int first, int count) { m_batch.rowsRemoved(first, count); });
    // Connected after the design texts are in place, so that only the load and
    // later changes are saved.
    connect(txtOutPath, &QLineEdit::textChanged, this, &frmMain::txtOutPath_Change);
    connect(txtCustom, &QLineEdit::textChanged, this, &frmMain::txtCustom_Change);

    // Within the preset group only the chosen button is a tab stop. Qt moves the
    // tab stop only when a button of the group takes the focus, not when the
    // choice is made by a click or by the program, so it is kept here as well.
    connect(m_presets, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool checked) {
        if (!checked)
            return;
        for (QAbstractButton *button : m_presets->buttons()) {
            const Qt::FocusPolicy policy = button->focusPolicy();
            button->setFocusPolicy(button->isChecked() ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                       : Qt::FocusPolicy(policy & ~Qt::TabFocus));
        }
    });
}

void frmMain::placeCentred()
{
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmMain::cmdEncode_Click()
{
    m_batch.cmdEncode_Click();
    // A close during the run was put off until the run had unwound. A press of
    // Encode nested inside a run returns at once and leaves it to the outer one.
    if (m_closeAfterRun && !m_batch.isRunning()) {
        m_closeAfterRun = false;
        close();
    }
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (m_batch.isRunning()) {
        // The run is further up this very call stack and still uses the window,
        // which closes, and may be destroyed, only once the run has returned. As
        // the run unwinds, the encoder is killed, its incomplete MP3 removed and
        // nothing more encoded.
        m_batch.abandon();
        m_closeAfterRun = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmMain::cmdClearCurrent_Click()
{
    const QList<QListWidgetItem *> selected = lstWavefiles->selectedItems();
    if (selected.isEmpty()) {
        MessageBox::information(this, QStringLiteral("No file selected for removal or unknown error"),
                                QStringLiteral("Error"));
        return;
    }
    lstWavefiles->removeRow(lstWavefiles->row(selected.first()));
    selectRow(-1);
}

void frmMain::cmdClearWav_Click() { lstWavefiles->removeAllRows(); }

void frmMain::cmdConfig_Click() { m_configuration.show(); }

void frmMain::cmdAbout_Click()
{
    // The encoder path as the next run would take it, without loading the
    // configuration window to read it.
    QString encoder;
    if (Configuration *configuration = m_configuration.window()) {
        encoder = configuration->lamePath();
    } else {
        settings::Cinifile stored;
        stored.setInifile(settings::settingsFilePath());
        encoder = stored.GetWholeValue(settings::keys::kPaths, settings::keys::kLame);
    }
    MessageBox::information(
        this,
        QStringLiteral("Purlwave turns your WAV files into MP3 files.\n\n"
                       "News, updates and help are waiting for you on our web site:\n"
                       "https://purlwave.example.org\n\n"
                       "Questions, ideas and bug reports are welcome at:\n"
                       "support@purlwave.example.org\n\n"
                       "Version %1\n"
                       "Licence: GPL-3.0-or-later\n"
                       "Encoding is done by the LAME encoder: %2")
            .arg(QStringLiteral(PURLWAVE_VERSION),
                 encoder.isEmpty() ? QStringLiteral("(no encoder path is set)") : encoder),
        QStringLiteral("About Purlwave - by the Purlwave developers"));
}

void frmMain::cmdQuit_Click() { close(); }

void frmMain::cmdSelectTrg_Click()
{
    const QPointer<frmMain> self(this);
    const QString folder = BrowseForFolder(this, QStringLiteral("Select folder to store MP3-files"));
    // A cancelled dialog leaves the box, and so the saved output folder, as they
    // were; so does a window that went away while its dialog was open.
    if (!self || folder.isEmpty())
        return;
    // At the root the folder already ends in a separator, and the box then ends in
    // two, which names the same folder.
    txtOutPath->setText(folder + QDir::separator());
}

void frmMain::dragEnterEvent(QDragEnterEvent *event) { Form_OLEDragOver(event); }

void frmMain::dragMoveEvent(QDragMoveEvent *event) { Form_OLEDragOver(event); }

void frmMain::Form_OLEDragOver(QDragMoveEvent *event)
{
    // A drag that the list or the output box refused comes up to the window as
    // well; over them the refusal stands.
    const QPoint pos = event->position().toPoint();
    if (lstWavefiles->geometry().contains(pos) || txtOutPath->geometry().contains(pos)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void frmMain::dropEvent(QDropEvent *event) { event->ignore(); }

void frmMain::cmdCancel_Click() { m_batch.cmdCancel_Click(); }

void frmMain::Form_Load()
{
    // Files dragged from the file manager; the drop handlers decide what a drop does.
    setAcceptDrops(true);

    // F1 opens the help file beside the program, looked up at each press.
    installHelpKey(this);

    // The settings object is a member and lives as long as the window; the start-up
    // below names its file before either box changes.

    cmdCancel->setEnabled(false);
    setLampColour(Lamp::shpRecord, colours::RecordDim);
    setLampColour(Lamp::shpWait, colours::WaitDim);
    setLampColour(Lamp::shpReady, colours::ReadyLit);

    m_choices.restoreOrCreate(*this);

    // Modeless and without an owner: the window becomes visible at the end of its load.
    show();
}

void frmMain::txtOutPath_Change() { m_choices.txtOutPath_Change(txtOutPath->text()); }

void frmMain::txtCustom_Change() { m_choices.txtCustom_Change(txtCustom->text()); }

// A box shows the start of a text put into it, as it does its design text.
void frmMain::setOutPathText(const QString &text)
{
    txtOutPath->setText(text);
    txtOutPath->setCursorPosition(0);
}

void frmMain::setCustomText(const QString &text)
{
    txtCustom->setText(text);
    txtCustom->setCursorPosition(0);
}

void frmMain::setPresetButton(int code)
{
    QRadioButton *const byCode[] = {opt128, optVar, Opt256, optCustom};
    if (code >= 1 && code <= static_cast<int>(std::size(byCode)))
        byCode[code - 1]->setChecked(true);
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    // A focused button takes Enter as its own click; everywhere else (the text
    // boxes, the list, the preset buttons) Enter goes to the default button.
    if (clickForEnter(this, event, cmdEncode))
        return;
    // Cancel's access key is Config's as well, so Escape is the one key that
    // stops a run. Outside a run Cancel is disabled, and Escape does nothing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && cmdCancel->isEnabled()
        && m_batch.isRunning()) {
        cmdCancel->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmMain::setCaption(const QString &caption) { setWindowTitle(caption); }

void frmMain::setLampColour(Lamp lamp, quint32 colour)
{
    switch (lamp) {
    case Lamp::shpReady:
        shpReady->setFillColour(colour);
        break;
    case Lamp::shpWait:
        shpWait->setFillColour(colour);
        break;
    case Lamp::shpRecord:
        shpRecord->setFillColour(colour);
        break;
    }
}

// A label tells a screen reader of each new text itself, as long as it has no
// accessible name of its own: the report lines must not be given one.
void frmMain::setActivityText(const QString &text) { lblActivity->setText(text); }

void frmMain::setActivityColour(quint32 colour) { setTextColour(lblActivity, colour); }

void frmMain::setProgressText(const QString &text) { lblFile2->setText(text); }

void frmMain::setProgressColour(quint32 colour) { setTextColour(lblFile2, colour); }

void frmMain::setEncodeEnabled(bool enabled) { cmdEncode->setEnabled(enabled); }

void frmMain::setCancelEnabled(bool enabled) { cmdCancel->setEnabled(enabled); }

int frmMain::rowCount() const { return lstWavefiles->count(); }

void frmMain::selectRow(int row)
{
    if (row < 0 || row >= lstWavefiles->count()) {
        lstWavefiles->clearSelection();
        lstWavefiles->setCurrentRow(-1);
        return;
    }
    lstWavefiles->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    lstWavefiles->scrollToItem(lstWavefiles->item(row));
}

QString frmMain::selectedRowText() const
{
    const QList<QListWidgetItem *> selected = lstWavefiles->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

QString frmMain::rowText(int row) const
{
    const QListWidgetItem *item = lstWavefiles->item(row);
    return item ? item->text() : QString();
}

QString frmMain::outPathText() const { return txtOutPath->text(); }

QString frmMain::customText() const { return txtCustom->text(); }

PresetButtons frmMain::presetButtons() const
{
    return {opt128->isChecked(), optVar->isChecked(), Opt256->isChecked(), optCustom->isChecked()};
}

void frmMain::messageBox(const QString &text, const std::optional<QString> &title)
{
    MessageBox::information(this, text, title);
}

void frmMain::showRunProgress(double fraction) { m_taskbar.showProgress(fraction); }

void frmMain::tellDesktopRunEnded(const RunOutcome &outcome)
{
    // Only a user who is at another window needs telling: the window's own
    // lines show the end to one who is at it. A refused run tells why in a box
    // of its own.
    if (!isActiveWindow() && outcome.end != RunOutcome::End::Refused) {
        const QString files = fileCount(outcome.tried);
        const QString summary = outcome.failed > 0
                                    ? QStringLiteral("%1 of %2 failed").arg(outcome.failed).arg(files)
                                    : files + QStringLiteral(" encoded");
        m_notification.notify(outcome.end == RunOutcome::End::Stopped ? QStringLiteral("Stopped: ") + summary
                                                                      : summary);
    }
    // Cleared last, so that a listener who sees the progress go has had the note.
    m_taskbar.clearProgress();
}

} // namespace ui
