// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "batch/batchrun.h"
#include "batch/mainview.h"
#include "platform/notification.h"
#include "platform/taskbar.h"
#include "settings/cinifile.h"
#include "settings/savedchoices.h"
#include "ui/windows/configurationref.h"

#include <QWidget>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QShortcut;

namespace ui {

class Announcement;
class Logo;
class OutPathBox;
class StatusLamp;
class WaveList;

// The main window. Every control is a direct child of the window, placed at a
// fixed position; the controls carry their own names as object names. The batch
// drives the window through MainView; the start-up fills it through ChoicesView.
class frmMain : public QWidget, public batch::MainView, public settings::ChoicesView {
    Q_OBJECT
public:
    explicit frmMain(ConfigurationRef &configuration, QWidget *parent = nullptr);
    ~frmMain() override;

    // MainView, control by control.
    void setCaption(const QString &caption) override;
    void setLampColour(batch::Lamp lamp, quint32 colour) override;
    void setActivityText(const QString &text) override;
    void setActivityColour(quint32 colour) override;
    void setProgressText(const QString &text) override;
    void setProgressColour(quint32 colour) override;
    void setEncodeEnabled(bool enabled) override;
    void setCancelEnabled(bool enabled) override;
    int rowCount() const override;
    void selectRow(int row) override;
    QString selectedRowText() const override;
    QString rowText(int row) const override;
    QString outPathText() const override;
    QString customText() const override;
    batch::PresetButtons presetButtons() const override;
    void messageBox(const QString &text, const std::optional<QString> &title) override;
    // Beside the window: the taskbar entry's progress bar, and at the end of a run
    // a sentence for screen readers and a note on the desktop.
    void showRunProgress(double fraction) override;
    void runEnded(const batch::RunOutcome &outcome) override;

    // ChoicesView: the setting boxes and the presets, as the start-up fills them.
    void setOutPathText(const QString &text) override;
    void setCustomText(const QString &text) override;
    void setPresetButton(int code) override;

    // The window's load, once per window: readies the window, restores the saved
    // choices (or writes a new settings file with the defaults) and shows the
    // window. No configuration window is held yet, so the program's reference to
    // it has nothing to clear.
    void Form_Load();

    // Files given to the program: each argument (raw bytes) a path or a file://
    // URL, added to the list as a drop of those files would add them.
    void addArgumentFiles(const QList<QByteArray> &arguments);

public slots:
    void cmdEncode_Click();
    void cmdCancel_Click();
    // Save the box's whole text at every change of it, whatever made the change.
    void txtOutPath_Change();
    void txtCustom_Change();
    // The list and window commands.
    void cmdClearCurrent_Click();
    void cmdClearWav_Click();
    void cmdConfig_Click();
    void cmdAbout_Click();
    void cmdQuit_Click();
    void cmdSelectTrg_Click();

protected:
    // Closing during a batch run ends the running encoder and closes the window
    // once the run has unwound.
    void closeEvent(QCloseEvent *event) override;
    // A drag over the window outside the list and the output box shows the copy
    // effect, whatever it carries; a drop there does nothing.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void Form_OLEDragOver(QDragMoveEvent *event);
    // Enter acts on the window's default button, cmdEncode, unless a push button
    // has the focus: that one is clicked instead. Escape during a run clicks
    // Cancel.
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createControls();
    void arrangeTabOrder();
    void connectHandlers();
    void placeCentred();
    void describeForScreenReaders();
    void showReportColoursOnTheirFace();
    // Says how the run ended to a screen reader, once.
    void announceRunEnd(const batch::RunOutcome &outcome);
    void tellDesktopRunEnded(const batch::RunOutcome &outcome);

    ConfigurationRef &m_configuration;
    settings::Cinifile m_settings;
    settings::SavedChoices m_choices{m_settings};
    batch::BatchRun m_batch;
    bool m_closeAfterRun = false; // closed during a run: close once it has unwound
    platform::SessionBus m_sessionBus;
    platform::TaskbarEntry m_taskbar;
    platform::DesktopNotification m_notification;

    // The controls, in the order in which the window creates them.
    QPushButton *cmdClearCurrent = nullptr;
    QPushButton *cmdClearWav = nullptr;
    WaveList *lstWavefiles = nullptr;
    QPushButton *cmdConfig = nullptr;
    QPushButton *cmdQuit = nullptr;
    QPushButton *cmdAbout = nullptr;
    QPushButton *cmdSelectTrg = nullptr;
    QPushButton *cmdCancel = nullptr;
    QRadioButton *Opt256 = nullptr;
    QLineEdit *txtCustom = nullptr;
    QRadioButton *optCustom = nullptr;
    QRadioButton *optVar = nullptr;
    QRadioButton *opt128 = nullptr;
    QPushButton *cmdEncode = nullptr;
    OutPathBox *txtOutPath = nullptr;
    QGroupBox *frmOptions = nullptr;
    Logo *picLogo = nullptr;
    QLabel *lblWavelist = nullptr;
    QLabel *lblWait = nullptr;
    StatusLamp *shpWait = nullptr;
    QLabel *lblRecord = nullptr;
    QLabel *lblReady = nullptr;
    StatusLamp *shpReady = nullptr;
    StatusLamp *shpRecord = nullptr;
    QFrame *Line2 = nullptr;
    QFrame *Line1 = nullptr;
    QLabel *lblFile2 = nullptr;
    QLabel *lblFile = nullptr;
    QLabel *lblActivity = nullptr;
    QLabel *lblProgress = nullptr;
    QLabel *lblOut = nullptr;

    QButtonGroup *m_presets = nullptr;
    Announcement *m_announcement = nullptr; // what a screen reader is told beside the window
};

} // namespace ui
