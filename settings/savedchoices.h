// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace settings {

class Cinifile;

// The controls of the main window that the start-up fills from the settings file.
// Putting a text into a box that differs from what the box holds is a change of
// the box: the window then runs the box's change handler at once, which passes
// the new text to SavedChoices::txtOutPath_Change or txtCustom_Change. The same
// text again is no change and runs nothing.
class ChoicesView {
public:
    virtual ~ChoicesView() = default;

    virtual void setOutPathText(const QString &text) = 0; // txtOutPath
    virtual void setCustomText(const QString &text) = 0;  // txtCustom
    // Turns one preset button on, by its stored code: 1 opt128, 2 optVar,
    // 3 Opt256, 4 optCustom. Runs no handler of the program.
    virtual void setPresetButton(int code) = 0;
};

enum class StartKind { Restored, FirstRun };

// The main window's saved choices: the load's restore or first run, and the
// writes of its two setting boxes. Works on the window's own settings object,
// which must outlive it.
class SavedChoices {
public:
    explicit SavedChoices(Cinifile &settings);

    // The load's last steps, after the lamps are idle: looks for the settings
    // file; restores the output folder, the custom parameters and the preset
    // from it when it is there, or else writes a new one with the defaults,
    // chooses the 128 kbps preset and puts the output folder into txtOutPath.
    StartKind restoreOrCreate(ChoicesView &view);

    // What the window's change handlers call with the box's whole new text.
    void txtOutPath_Change(const QString &text);
    void txtCustom_Change(const QString &text);

private:
    void restore(ChoicesView &view, const QString &path);
    void createWithDefaults(ChoicesView &view, const QString &folder, const QString &path);

    Cinifile &m_settings;
};

// The preset button a stored "Default Encoding" names: 1 to 4, or 0 for none
// (another number, an empty text, or no number at all).
int presetCodeFromText(const QString &text);

// The encoder a new settings file names: the program folder's own lame when it
// is there, else lame on the search path, else the program folder's lame all the
// same, for the user to correct.
QString defaultLamePath();

} // namespace settings
