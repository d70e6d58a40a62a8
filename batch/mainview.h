#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace batch {

// Colours are 24-bit numbers laid out as 0x00BBGGRR (red in the low byte).
namespace colours {
inline constexpr quint32 ReadyLit = 65280;  // green
inline constexpr quint32 ReadyDim = 32768;  // dark green
inline constexpr quint32 WaitLit = 33023;   // orange
inline constexpr quint32 WaitDim = 16576;   // brown
inline constexpr quint32 RecordLit = 255;   // red
inline constexpr quint32 RecordDim = 128;   // dark red
inline constexpr quint32 TextWorking = 192; // dark red: a file in work, a stop notice
inline constexpr quint32 TextIdle = 32768;  // dark green: idle and "Done!"
} // namespace colours

// The three status lamps, by the names of their shapes.
enum class Lamp { shpReady, shpWait, shpRecord };

// Which of the four preset buttons read on.
struct PresetButtons {
    bool opt128 = false;
    bool optVar = false;
    bool Opt256 = false;
    bool optCustom = false;
};

// How a run ended, for what tells the user outside the window's own lines: a
// screen reader, the desktop's notification and taskbar entry.
struct RunOutcome {
    enum class End {
        Completed, // every row was tried
        Stopped,   // the user asked for the stop
        Refused,   // an empty list, a refused row, an encoder that could not start: a box said why
    };
    End end = End::Completed;
    int tried = 0;  // files tried in this run
    int failed = 0; // of them, files that failed
};

// The main-window operations that the batch drives. The window implements them
// control by control; the tests implement them with a recorder.
class MainView {
public:
    virtual ~MainView() = default;

    virtual void setCaption(const QString &caption) = 0;
    virtual void setLampColour(Lamp lamp, quint32 colour) = 0;

    // lblActivity, the status line.
    virtual void setActivityText(const QString &text) = 0;
    virtual void setActivityColour(quint32 colour) = 0;
    // lblFile2, the progress line.
    virtual void setProgressText(const QString &text) = 0;
    virtual void setProgressColour(quint32 colour) = 0;

    virtual void setEncodeEnabled(bool enabled) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;

    // lstWavefiles. Rows are 0-based; selecting -1 clears the selection.
    virtual int rowCount() const = 0;
    virtual void selectRow(int row) = 0;
    virtual QString selectedRowText() const = 0;
    // The text of a row, without selecting it.
    virtual QString rowText(int row) const = 0;

    virtual QString outPathText() const = 0; // txtOutPath
    virtual QString customText() const = 0;  // txtCustom
    virtual PresetButtons presetButtons() const = 0;

    // A modal box with one OK button; returns when the user closes it. Without a
    // title the application's title stands in the title bar.
    virtual void messageBox(const QString &text, const std::optional<QString> &title) = 0;

    // Beside the window, which shows neither. The whole run's progress, 0 to 1:
    // the files finished and the current file's share.
    virtual void showRunProgress(double fraction) { Q_UNUSED(fraction); }
    // Once at every end of a run, after the window shows it.
    virtual void runEnded(const RunOutcome &outcome) { Q_UNUSED(outcome); }
};

} // namespace batch
